// The field window's place on an X11 desktop, straight through Xlib on the
// window thread: finding the terminal's own window, keeping the field above
// it, keeping the panel in it clear, and hearing of a lost X server.
#pragma once

#include <X11/Xlib.h>

#include "view/placement.h"
#include "view/view_window.h"

namespace glimmet {

// Has `lost` run when the connection to the X server breaks. Xlib ends the
// process after `lost` returns, so it should end the process itself with
// the status it wants.
void HookDisplayLoss(void (*lost)());

// The terminal's windows: the top-level one that the window manager
// manages, and the one that holds the text (the same, or a child of it).
struct TerminalWindow {
  Window top_level_ = 0;
  Window text_ = 0;
};

// The terminal's windows, or zeros when they cannot be found: the window
// that WINDOWID names, where the terminal publishes it; else the window
// that has the focus as the program starts, if it is a normal top-level
// window of a process this program descends from (on this machine). `own`
// is never the answer.
TerminalWindow FindTerminalWindow(Display* display, Window own);

// Makes `own` a transient of the terminal's window, so that it stays above
// that window and no other.
void KeepAbove(Display* display, Window own, const TerminalWindow& terminal);

// Where the terminal's text window lies on the screen, with the client-side
// shadow of a top-level window that holds the text itself; false when its
// geometry cannot be read.
bool TerminalPlace(Display* display, const TerminalWindow& terminal, TerminalOnScreen& place);

// True when a window manager says it runs (_NET_SUPPORTING_WM_CHECK).
bool WindowManagerRuns(Display* display);

// Where `own` lies on the screen with the frame the window manager put
// around it, and that frame's extents, as far as the manager publishes
// them (_NET_FRAME_EXTENTS); false when its geometry cannot be read.
bool FrameOnScreen(Display* display, Window own, ScreenRect& frame, Extents& extents);

}  // namespace glimmet
