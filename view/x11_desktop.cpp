// Xlib for the desktop integration SDL has no call for.
#include "view/x11_desktop.h"

#include <X11/Xutil.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

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

// While it lives, X errors are counted instead of ending the process, as
// Xlib's own handler would: a window being looked up may vanish meanwhile.
class ErrorTrap {
 public:
  explicit ErrorTrap(Display* display) : display_(display) {
    lookup_errors = 0;
    former_ = XSetErrorHandler(CountLookupError);
  }
  ~ErrorTrap() { End(); }
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

  // An error has come back so far.
  bool Seen() const { return lookup_errors != 0; }
  // Waits for the answers to every request made, then gives Xlib its
  // handler back; true when none was an error.
  bool Clean() {
    End();
    return lookup_errors == 0;
  }

 private:
  void End() {
    if (display_ == nullptr) return;
    XSync(display_, False);
    XSetErrorHandler(former_);
    display_ = nullptr;
  }

  Display* display_;
  XErrorHandler former_ = nullptr;
};

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
  ErrorTrap trap(display);
  Window found = 0, below_root = 0;
  for (Window w = id; w != 0 && found == 0;) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, w, &root, &parent, &children, &count) || trap.Seen()) break;
    if (children != nullptr) XFree(children);
    if (w == root) break;
    if (HasWmState(display, w)) found = w;
    if (parent == root) below_root = w;
    w = parent == root ? 0 : parent;
  }
  if (!trap.Clean()) return 0;
  return found != 0 ? found : below_root;
}

// One property of a window as 32-bit items (XIDs, atoms, cardinals), at
// most `most` of them; empty when it is absent or of another format.
std::vector<unsigned long> Property(Display* display, Window w, const char* name,
                                    long most = 1) {
  std::vector<unsigned long> items;
  const Atom atom = XInternAtom(display, name, True);
  if (atom == None) return items;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, w, atom, 0, most, False, AnyPropertyType, &type, &format,
                         &count, &left, &data) == Success &&
      format == 32 && data != nullptr) {
    const auto* values = reinterpret_cast<const unsigned long*>(data);
    items.assign(values, values + count);
  }
  if (data != nullptr) XFree(data);
  return items;
}

// The parent of a process, from /proc; 0 when it cannot be read.
pid_t ParentOf(pid_t pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  std::FILE* f = std::fopen(path, "r");
  if (f == nullptr) return 0;
  char text[512];
  const std::size_t n = std::fread(text, 1, sizeof text - 1, f);
  std::fclose(f);
  text[n] = '\0';
  const char* end = std::strrchr(text, ')');  // the name may hold anything
  int parent = 0;
  if (end == nullptr || std::sscanf(end + 1, " %*c %d", &parent) != 1) return 0;
  return parent;
}

bool IsAncestor(pid_t candidate) {
  for (pid_t p = getppid(); p > 1; p = ParentOf(p))
    if (p == candidate) return true;
  return false;
}

// The process id a window names is this machine's only if it names this
// machine, when it names one at all.
bool OnThisMachine(Display* display, Window w) {
  XTextProperty machine{};
  if (!XGetWMClientMachine(display, w, &machine) || machine.value == nullptr) return true;
  char host[256] = "";
  gethostname(host, sizeof host - 1);
  const bool same = std::strncmp(reinterpret_cast<char*>(machine.value), host,
                                 machine.nitems) == 0 && host[machine.nitems] == '\0';
  XFree(machine.value);
  return same;
}

// The window with the focus, if it is a normal top-level window of a
// process this one descends from: the terminal the user typed the command
// in.
Window ActiveTerminal(Display* display, Window own) {
  const Window root = DefaultRootWindow(display);
  const auto active = Property(display, root, "_NET_ACTIVE_WINDOW");
  if (active.empty() || active[0] == 0 || active[0] == own) return 0;
  const Window w = active[0];
  ErrorTrap trap(display);
  const auto types = Property(display, w, "_NET_WM_WINDOW_TYPE", 16);
  const Atom normal = XInternAtom(display, "_NET_WM_WINDOW_TYPE_NORMAL", False);
  const bool is_normal =
      types.empty() || std::find(types.begin(), types.end(), normal) != types.end();
  const auto pid = Property(display, w, "_NET_WM_PID");
  const bool ours = !pid.empty() && OnThisMachine(display, w) &&
                    IsAncestor(static_cast<pid_t>(pid[0]));
  const bool managed = HasWmState(display, w);
  return trap.Clean() && is_normal && ours && managed ? w : 0;
}

// The window that WINDOWID names, or 0.
Window WindowFromEnvironment() {
  const char* text = std::getenv("WINDOWID");
  if (text == nullptr || *text == '\0') return 0;
  char* end = nullptr;
  const unsigned long id = std::strtoul(text, &end, 0);
  if (*end != '\0' || id == 0) return 0;
  return static_cast<Window>(id);
}

// Where `window` lies on the screen, and the four sides its property
// `sides` tells of (zeros where it has none, or `sides` is null); false when
// its geometry cannot be read.
bool RootPlace(Display* display, Window window, const char* sides, ScreenRect& place,
               Extents& told) {
  ErrorTrap trap(display);
  XWindowAttributes a{};
  int x = 0, y = 0;
  Window child = 0;
  const bool read = XGetWindowAttributes(display, window, &a) &&
                    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0,
                                          &x, &y, &child);
  const auto four = sides != nullptr ? Property(display, window, sides, 4)
                                     : std::vector<unsigned long>{};
  if (!trap.Clean() || !read) return false;
  place = {x, y, a.width, a.height};
  told = {};
  if (four.size() == 4) told = {int(four[0]), int(four[1]), int(four[2]), int(four[3])};
  return true;
}

}  // namespace

void HookDisplayLoss(void (*lost)()) {
  display_lost.store(lost);
  XSetIOErrorHandler(OnDisplayLost);
}

TerminalWindow FindTerminalWindow(Display* display, Window own) {
  if (const Window named = WindowFromEnvironment()) {
    const Window top = TopLevelOf(display, named);
    if (top != 0 && top != own) return {top, named};
  }
  const Window active = ActiveTerminal(display, own);
  return {active, active};
}

void KeepAbove(Display* display, Window own, const TerminalWindow& terminal) {
  XSetTransientForHint(display, own, terminal.top_level_);
}

bool TerminalPlace(Display* display, const TerminalWindow& terminal, TerminalOnScreen& place) {
  if (terminal.text_ == 0) return false;
  // GTK draws its shadow inside its own top-level window.
  const char* shadow = terminal.text_ == terminal.top_level_ ? "_GTK_FRAME_EXTENTS" : nullptr;
  Extents drawn;
  if (!RootPlace(display, terminal.text_, shadow, place.window_, drawn) ||
      place.window_.width_ <= 0 || place.window_.height_ <= 0)
    return false;
  place.shadow_ = drawn;
  return true;
}

bool WindowManagerRuns(Display* display) {
  ErrorTrap trap(display);
  const auto check = Property(display, DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK");
  return trap.Clean() && !check.empty() && check[0] != 0;
}

bool FrameOnScreen(Display* display, Window own, ScreenRect& frame, Extents& extents) {
  ScreenRect client;
  if (!RootPlace(display, own, "_NET_FRAME_EXTENTS", client, extents)) return false;
  frame = {client.x_ - extents.left_, client.y_ - extents.top_,
           client.width_ + extents.left_ + extents.right_,
           client.height_ + extents.top_ + extents.bottom_};
  return true;
}

}  // namespace glimmet
