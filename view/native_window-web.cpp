// The field's window in a web page: a canvas in a small frame of the page's
// own, captioned and with a close box. A page has one thread, so nothing
// runs beside the program: the window opens at once, a redraw only marks
// the picture, and the page's frame puts the last one marked on the canvas
// (the window channel's other side, window_channel-web.cpp).
#include <emscripten.h>

#include <memory>
#include <vector>

#include "view/native_window-web.h"
#include "view/native_window.h"

namespace glimmet {

namespace {

// The canvas takes red, green, blue and alpha bytes in that order: the
// picture's own order, with an opaque alpha in the byte the picture leaves 0.
constexpr std::uint32_t kOpaque = 0xFF000000u;

// The one window a page shows, between its opening and its closing.
struct PageWindow {
  Handle handle_ = 0;
  std::shared_ptr<Picture> picture_;
  std::shared_ptr<WindowChannel> channel_;
  std::uint64_t put_ = 0;  // the last redraw request put on the canvas
  std::vector<std::uint32_t> rgba_;
};

PageWindow page_window;

EM_JS(void, PageOpenWindow, (const char* caption, int width, int height), {
  Module.page.openWindow(UTF8ToString(caption), width, height);
});

EM_JS(void, PagePutPicture, (const std::uint32_t* rgba, int width, int height), {
  Module.page.putPicture(HEAPU8.subarray(rgba, rgba + width * height * 4), width, height);
});

EM_JS(void, PageCloseWindow, (), { Module.page.closeWindow(); });

void Close() {
  if (page_window.handle_ == 0) return;
  RemoveRecordsOf(page_window.handle_);
  page_window.channel_->Finish();
  page_window = PageWindow{};
  PageCloseWindow();
}

}  // namespace

Handle StartWindowThread(const OpeningBlock& block, std::string& error) {
  if (page_window.handle_ != 0) {
    error = "a view window is already open";
    return 0;
  }
  std::shared_ptr<Picture> picture(Picture::Create(block.width_, block.height_, kButtonFace));
  if (!picture) {
    error = "no memory for the picture";
    return 0;
  }
  auto channel = std::make_shared<WindowChannel>();
  const Handle handle =
      AddWindowRecords(block.style_, block.width_, block.height_, picture, channel, error);
  if (handle == 0) return 0;
  page_window = PageWindow{handle, picture, channel, 0,
                           std::vector<std::uint32_t>(std::size_t(block.width_) * block.height_)};
  PageOpenWindow(block.caption_.c_str(), block.width_, block.height_);
  ++channel->requested_;  // the fresh picture is shown as the window opens
  ShowPictureOnPage();
  return handle;
}

void StopWindowThreads() { Close(); }

void ShowPictureOnPage() {
  PageWindow& w = page_window;
  if (w.handle_ == 0) return;
  const std::uint64_t requested = w.channel_->requested_.load();
  if (requested == w.put_) return;
  const Picture& p = *w.picture_;
  std::uint32_t* to = w.rgba_.data();
  for (int y = 0; y < p.Height(); ++y) {
    const std::uint32_t* row = p.Pixels() + y * p.Stride();
    for (int x = 0; x < p.Width(); ++x) *to++ = row[x] | kOpaque;
  }
  PagePutPicture(w.rgba_.data(), p.Width(), p.Height());
  w.put_ = requested;
}

// The close box: the window goes at once, and the program, seeing its
// size read 0 by 0, ends.
extern "C" EMSCRIPTEN_KEEPALIVE void glimmet_close_window() { Close(); }

}  // namespace glimmet
