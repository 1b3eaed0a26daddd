// glimmet2-xclose NAME: asks the window named NAME to close, as a window
// manager's close box does. Exit status 1 when there is no such window.
#include <cstdio>

#include "tests/x11_probe.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: glimmet2-xclose WINDOW-NAME\n");
    return 2;
  }
  glimmet::testing::XProbe probe;
  const Window window = probe.Connected() ? probe.Find(argv[1]) : 0;
  if (window == 0) return 1;
  probe.RequestClose(window);
  return 0;
}
