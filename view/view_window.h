// The cell view window: a top-level SDL window that shows an off-screen
// picture, run by a thread of its own that owns everything SDL. The program
// thread attaches to the window, plots pixels into the picture and asks for
// it to be shown; once the user closes the window every plot and redraw does
// nothing and the size reads 0 by 0, which tells the program to end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "automaton/colour.h"
#include "view/placement.h"
#include "view/registry.h"

namespace glimmet {

// The colours a fresh picture and colour -1 stand for: the button face and
// the window text of a classic desktop theme.
constexpr Colour kButtonFace = 0xF0F0F0;
constexpr Colour kWindowText = 0x000000;

// Called on the window thread when the connection to the X server is lost
// (the server went away). It must only do what is safe while the program
// thread carries on, and should end the process: if it returns, Xlib ends
// it with status 1.
using DisplayLostHandler = void (*)();

struct ViewOptions {
  DisplayLostHandler display_lost_ = nullptr;
  // The window's icon, icon_size_ by icon_size_, row by row; none if empty.
  std::vector<Colour> icon_;
  int icon_size_ = 0;
  // The asynchronous signals that the program thread alone takes: the
  // window thread blocks them.
  std::vector<int> program_signals_;
  TerminalGrid terminal_;  // no panel to keep clear when its sizes are 0
};

struct ViewSize {
  double width_ = 0;
  double height_ = 0;
};

// Starts a window thread that opens a window whose client area is width by
// height pixels with its outer top-left corner at (x, y), and returns its
// handle once it is shown, or 0, with the reason in `error`, when no window
// could be opened. An empty caption gives a window without a caption bar;
// style 0 is the default style, any other value is used as SDL window flags.
Handle OpenViewWindow(const std::string& caption, int x, int y, int width,
                      int height, std::uint32_t style, const ViewOptions& options,
                      std::string& error);

// Makes the window's drawing surface this thread's current target; with
// redraw-on-request off, every plot is shown at once.
void AttachViewWindow(Handle window, bool redraw_on_request);

namespace view_internal {

// This thread's current target as the plots need it, taken from its
// surface record when it is attached, so that the 10 000 plots of a pass,
// inlined into its loop, find it without a look-up.
struct PlotTarget {
  std::uint32_t* pixels_ = nullptr;
  std::ptrdiff_t stride_ = 0;
  std::size_t width_ = 0;  // 0 by 0 when there is no target: every plot misses
  std::size_t height_ = 0;
  Record* record_ = nullptr;
  bool redraw_on_request_ = true;
};
extern thread_local constinit PlotTarget plot_target;

// The pixel index nearest to v, ties to even, if it is within 0 to size - 1.
// For a whole-numbered v, as the cells of a pass are, the compiler folds
// the rounding and the range test into integer compares; otherwise rint
// rounds in the default mode, nearest with ties to even.
inline bool ToPixel(double v, std::size_t size, std::size_t& pixel) {
  const double rounded = __builtin_rint(v);
  if (!(rounded > -1.0 && rounded < 2147483648.0)) return false;  // NaN fails too
  pixel = static_cast<std::uint32_t>(static_cast<std::int32_t>(rounded));
  return pixel < size;
}

// Shows the picture at once, for a target attached without
// redraw-on-request.
void RedrawPlotted();

}  // namespace view_internal

// Sets the pixel nearest to (x, y), ties to even, ignoring points outside
// the picture. Colour -1 is kWindowText. Once the window is gone it changes
// nothing that can be seen: the picture is no longer shown, and the next
// redraw or size query lets it go.
inline void PlotPixel(double x, double y, Colour colour) {
  const view_internal::PlotTarget& t = view_internal::plot_target;
  std::size_t px, py;
  if (!view_internal::ToPixel(x, t.width_, px) || !view_internal::ToPixel(y, t.height_, py))
    return;
  t.pixels_[static_cast<std::ptrdiff_t>(py) * t.stride_ + static_cast<std::ptrdiff_t>(px)] =
      static_cast<std::uint32_t>(colour == -1 ? kWindowText : colour);
  if (!t.redraw_on_request_) view_internal::RedrawPlotted();
}

// Returns once the window shows the whole picture, or at once when there is
// no window any more.
void RedrawView();

// The current target's picture size; 0 by 0 when there is none or it is gone.
ViewSize QueryViewSize();

// Closes every window that is still open, stops the window threads and
// waits for them to end.
void StopViewWindows();

}  // namespace glimmet
