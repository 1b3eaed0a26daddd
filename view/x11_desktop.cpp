// Xlib for the desktop integration SDL has no call for.
#include "view/x11_desktop.h"

#include <X11/Xutil.h>

#include <atomic>
#include <cstdlib>

namespace glimmet {

namespace {

// Xlib's handler for a lost connection is process-wide, so its hook is too.
std::atomic<void (*)()> display_lost{nullptr};

int OnDisplayLost(Display*) {
  if (void (*lost)() = display_lost.load()) lost();
  return 0;  // Xlib prints its message and exits
}

// X errors while the terminal's window is looked up; only the window thread
// touches Xlib, and only while the lookup's own handler is in place.
int lookup_errors = 0;
int CountLookupError(Display*, XErrorEvent*) {
  ++lookup_errors;
  return 0;
}

bool HasWmState(Display* display, Window w) {
  const Atom wm_state = XInternAtom(display, "WM_STATE", True);
  if (wm_state == None) return false;
  Atom type = None;
  int format = 0;
  unsigned long items = 0, left = 0;
  unsigned char* data = nullptr;
  const bool found = XGetWindowProperty(display, w, wm_state, 0, 0, False, AnyPropertyType,
                                        &type, &format, &items, &left, &data) == Success &&
                     type != None;
  if (data != nullptr) XFree(data);
  return found;
}

// The top-level window that holds `id`: the first window up the tree that
// a window manager manages (it has WM_STATE), else the child of the root.
// 0 when `id` names no window on this display.
Window TopLevelOf(Display* display, Window id) {
  lookup_errors = 0;
  XErrorHandler former = XSetErrorHandler(CountLookupError);
  Window found = 0, below_root = 0;
  for (Window w = id; w != 0 && found == 0;) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, w, &root, &parent, &children, &count) || lookup_errors) break;
    if (children != nullptr) XFree(children);
    if (w == root) break;
    if (HasWmState(display, w)) found = w;
    if (parent == root) below_root = w;
    w = parent == root ? 0 : parent;
  }
  XSync(display, False);
  XSetErrorHandler(former);
  if (lookup_errors) return 0;
  return found != 0 ? found : below_root;
}

}  // namespace

void HookDisplayLoss(void (*lost)()) {
  display_lost.store(lost);
  XSetIOErrorHandler(OnDisplayLost);
}

Window FindTerminalWindow(Display* display, Window own) {
  const char* text = std::getenv("WINDOWID");
  if (text == nullptr || *text == '\0') return 0;
  char* end = nullptr;
  const unsigned long id = std::strtoul(text, &end, 0);
  if (*end != '\0' || id == 0) return 0;
  const Window top = TopLevelOf(display, static_cast<Window>(id));
  return top == own ? 0 : top;
}

bool KeepAboveTerminal(Display* display, Window own) {
  const Window terminal = FindTerminalWindow(display, own);
  if (terminal == 0) return false;
  XSetTransientForHint(display, own, terminal);
  return true;
}

}  // namespace glimmet
