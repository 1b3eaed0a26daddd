// A test's own connection to the X server, to see a window as the user does:
// find it by name, read its pixels back from the server, read its geometry
// and properties, and close it the way a window manager's close box does.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace glimmet::testing {

struct WindowGeometry {
  int x_ = 0, y_ = 0, width_ = 0, height_ = 0;
  bool shown_ = false;  // mapped, as far as its parents are
};

class XProbe {
 public:
  XProbe();
  ~XProbe();
  XProbe(const XProbe&) = delete;
  XProbe& operator=(const XProbe&) = delete;

  bool Connected() const { return display_ != nullptr; }

  // The first window in the tree whose WM_NAME is `name`, or 0.
  Window Find(const std::string& name);

  // The children of the root window.
  std::vector<Window> TopLevel();

  // The window's pixels as colours 0x00BBGGRR, row by row; empty when the
  // server cannot give them.
  std::vector<std::int32_t> Pixels(Window window);
  std::optional<WindowGeometry> Geometry(Window window);
  std::string Name(Window window);
  // The 32-bit items of a property, empty when it is not set.
  std::vector<long> Property(Window window, const char* name);

  // Sends WM_PROTOCOLS / WM_DELETE_WINDOW.
  void RequestClose(Window window);

  // Publishes `text` as the server's resources (xrdb's RESOURCE_MANAGER),
  // for the programs that connect after; empty takes them away.
  void SetResources(const std::string& text);

 private:
  Window FindBelow(Window parent, const std::string& name);

  Display* display_ = nullptr;
};

}  // namespace glimmet::testing
