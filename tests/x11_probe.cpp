// Plain Xlib, so that what the tests see comes from the server and not from
// the program's own buffers.
#include "tests/x11_probe.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace glimmet::testing {

namespace {

// A window can vanish between finding and asking; such errors are expected.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

int ShiftOf(unsigned long mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1) == 0) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

}  // namespace

XProbe::XProbe() {
  display_ = XOpenDisplay(nullptr);
  XSetErrorHandler(IgnoreErrors);
  // SDL sets the Motif decoration hints only when the atom exists, as it
  // does wherever a window manager runs; make it exist here too.
  if (display_ != nullptr) XInternAtom(display_, "_MOTIF_WM_HINTS", False);
}

XProbe::~XProbe() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

Window XProbe::Find(const std::string& name) {
  if (display_ == nullptr) return 0;
  return FindBelow(DefaultRootWindow(display_), name);
}

Window XProbe::FindBelow(Window parent, const std::string& name) {
  Window root, up, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display_, parent, &root, &up, &children, &count)) return 0;
  Window found = 0;
  for (unsigned i = 0; i < count && found == 0; ++i)
    if (Name(children[i]) == name) found = children[i];
  for (unsigned i = 0; i < count && found == 0; ++i) found = FindBelow(children[i], name);
  if (children != nullptr) XFree(children);
  return found;
}

std::vector<Window> XProbe::TopLevel() {
  std::vector<Window> windows;
  Window root, up, *children = nullptr;
  unsigned count = 0;
  if (display_ != nullptr &&
      XQueryTree(display_, DefaultRootWindow(display_), &root, &up, &children, &count))
    windows.assign(children, children + count);
  if (children != nullptr) XFree(children);
  return windows;
}

std::string XProbe::Name(Window window) {
  char* name = nullptr;
  std::string result;
  if (XFetchName(display_, window, &name) && name != nullptr) result = name;
  if (name != nullptr) XFree(name);
  return result;
}

std::optional<WindowGeometry> XProbe::Geometry(Window window) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(display_, window, &a)) return std::nullopt;
  int x = 0, y = 0;
  Window child;
  XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
  return WindowGeometry{x, y, a.width, a.height, a.map_state == IsViewable};
}

std::vector<std::int32_t> XProbe::Pixels(Window window) {
  std::vector<std::int32_t> pixels;
  XSync(display_, False);
  XWindowAttributes a;
  if (!XGetWindowAttributes(display_, window, &a)) return pixels;
  XImage* image = XGetImage(display_, window, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
  if (image == nullptr) return pixels;
  const int rs = ShiftOf(image->red_mask), gs = ShiftOf(image->green_mask),
            bs = ShiftOf(image->blue_mask);
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      const int r = (p & image->red_mask) >> rs, g = (p & image->green_mask) >> gs,
                b = (p & image->blue_mask) >> bs;
      pixels.push_back(r | g << 8 | b << 16);
    }
  }
  XDestroyImage(image);
  return pixels;
}

std::vector<long> XProbe::Property(Window window, const char* name) {
  std::vector<long> items;
  const Atom atom = XInternAtom(display_, name, False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display_, window, atom, 0, 64, False, AnyPropertyType, &type,
                         &format, &count, &after, &data) == Success &&
      data != nullptr && format == 32) {
    const long* values = reinterpret_cast<const long*>(data);
    items.assign(values, values + count);
  }
  if (data != nullptr) XFree(data);
  return items;
}

void XProbe::SetResources(const std::string& text) {
  const Window root = DefaultRootWindow(display_);
  const Atom atom = XInternAtom(display_, "RESOURCE_MANAGER", False);
  if (text.empty()) {
    XDeleteProperty(display_, root, atom);
  } else {
    XChangeProperty(display_, root, atom, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()),
                    static_cast<int>(text.size()));
  }
  XSync(display_, False);
}

void XProbe::RequestClose(Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display_, window, False, NoEventMask, &event);
  XFlush(display_);
}

}  // namespace glimmet::testing
