// The cell view window: a top-level SDL window that shows an off-screen
// picture, run by a thread of its own that owns everything SDL. The program
// thread attaches to the window, plots pixels into the picture and asks for
// it to be shown; once the user closes the window every plot and redraw does
// nothing and the size reads 0 by 0, which tells the program to end.
#pragma once

#include <cstdint>
#include <string>

#include "automaton/colour.h"
#include "view/registry.h"

namespace glimmet {

// The colours a fresh picture and colour -1 stand for: the button face and
// the window text of a classic desktop theme.
constexpr Colour kButtonFace = 0xF0F0F0;
constexpr Colour kWindowText = 0x000000;

// Called on the window thread when the connection to the X server is lost
// (the server went away); the process then ends with status 1. It must only
// do what is safe while the program thread carries on.
using DisplayLostHandler = void (*)();

struct ViewOptions {
  DisplayLostHandler display_lost_ = nullptr;
};

struct ViewSize {
  double width_ = 0;
  double height_ = 0;
};

// Starts a window thread that opens a window whose client area is width by
// height pixels with its outer top-left corner at (x, y), and returns its
// handle once it is shown, or 0 when no window could be opened (see
// ViewWindowError). An empty caption gives a window without a caption bar;
// style 0 is the default style, any other value is used as SDL window flags.
Handle OpenViewWindow(const std::string& caption, int x, int y, int width,
                      int height, std::uint32_t style,
                      const ViewOptions& options = {});

// Why this thread's last OpenViewWindow returned 0.
std::string ViewWindowError();

// Makes the window's drawing surface this thread's current target; with
// redraw-on-request off, every plot is shown at once.
void AttachViewWindow(Handle window, bool redraw_on_request);

// Sets the pixel nearest to (x, y), ties to even, ignoring points outside
// the picture. Colour -1 is kWindowText.
void PlotPixel(double x, double y, Colour colour);

// Returns once the window shows the whole picture, or at once when there is
// no window any more.
void RedrawView();

// The current target's picture size; 0 by 0 when there is none or it is gone.
ViewSize QueryViewSize();

// Closes every window that is still open, stops the window threads and
// waits for them to end.
void StopViewWindows();

}  // namespace glimmet
