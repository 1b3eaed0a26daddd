// The five drawing operations over the window records. The window itself,
// and everything of the window system, belongs to the window's platform file
// (native_window-*), on a thread of its own where there are threads; the
// program thread plots into the picture of its attached surface and hands
// redraws over through the surface's channel.
#include "view/view_window.h"

#include <memory>

#include "view/native_window.h"
#include "view/window_channel.h"

namespace glimmet {

namespace view_internal {
thread_local constinit PlotTarget plot_target;
}  // namespace view_internal

namespace {

// This thread's current target, kept alive (and its picture with it) while
// the thread may still plot into it; view_internal::plot_target points into
// it.
thread_local std::shared_ptr<Record> current_target;

void Detach() {
  view_internal::plot_target = {};
  current_target.reset();
}

// The live surface record of this thread's current target, or null.
Record* CurrentSurface() {
  Record* record = view_internal::plot_target.record_;
  if (record != nullptr && !record->alive_.load(std::memory_order_acquire)) {
    Detach();
    return nullptr;
  }
  return record;
}

}  // namespace

Handle OpenViewWindow(const std::string& caption, int x, int y, int width,
                      int height, std::uint32_t style, const ViewOptions& options,
                      std::string& error) {
  error.clear();
  return StartWindowThread(OpeningBlock{caption, x, y, width, height, style, options}, error);
}

void AttachViewWindow(Handle window, bool redraw_on_request) {
  Detach();
  std::shared_ptr<Record> surface = FindSurfaceOf(window);
  if (!surface) surface = FindRecord(window);
  if (!surface || surface->kind_ != RecordKind::kSurface) return;
  surface->redraw_on_request_.store(redraw_on_request);
  const Picture& picture = *surface->picture_;
  view_internal::plot_target = {picture.Pixels(),
                                picture.Stride(),
                                static_cast<std::size_t>(surface->width_),
                                static_cast<std::size_t>(surface->height_),
                                surface.get(),
                                redraw_on_request};
  current_target = std::move(surface);
}

void view_internal::RedrawPlotted() { RedrawView(); }

void RedrawView() {
  if (Record* surface = CurrentSurface()) surface->channel_->Redraw();
}

ViewSize QueryViewSize() {
  Record* surface = CurrentSurface();
  if (surface == nullptr) return {};
  return {static_cast<double>(surface->width_), static_cast<double>(surface->height_)};
}

void StopViewWindows() { StopWindowThreads(); }

}  // namespace glimmet
