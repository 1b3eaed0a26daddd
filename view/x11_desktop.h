// The field window's place on an X11 desktop, straight through Xlib on the
// window thread: finding the terminal's own window, keeping the field
// above it, and hearing of a lost X server.
#pragma once

#include <X11/Xlib.h>

namespace glimmet {

// Has `lost` run when the connection to the X server breaks. Xlib ends the
// process after `lost` returns, so it should end the process itself with
// the status it wants.
void HookDisplayLoss(void (*lost)());

// The terminal's top-level window, or 0 when it cannot be found: the window
// that WINDOWID names (many terminals publish it), walked up to the window
// that the window manager manages. `own` is never the answer.
Window FindTerminalWindow(Display* display, Window own);

// Makes `own` a transient of the terminal's window, so that it stays above
// that window and no other; false when the terminal's window is not known.
bool KeepAboveTerminal(Display* display, Window own);

}  // namespace glimmet
