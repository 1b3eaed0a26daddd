// GLIMMET2's entry point: the control panel in the terminal, the "Glimmet"
// window beside it, and the main loop until QUIT or the window is closed.
// Command-line arguments are ignored.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/driver.h"
#include "app/state.h"
#include "console/console.h"
#include "view/view_window.h"

namespace {

// Runs on the window thread as the process ends: the terminal first, so
// that the line lands on the main screen.
void OnDisplayLost() {
  glimmet::RestoreTerminal();
  constexpr char kMessage[] = "glimmet2: lost the connection to the X server\n";
  [[maybe_unused]] ssize_t n = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
}

}  // namespace

int main() {
  using namespace glimmet;
  Console console;
  std::string error;
  if (!OpenConsole(console, error)) {
    std::fprintf(stderr, "glimmet2: %s\n", error.c_str());
    return 1;
  }
  ProgramState state;
  if (!StartProgram(state, console, error, OnDisplayLost)) {
    StopViewWindows();
    CloseConsole(console);
    std::fprintf(stderr, "glimmet2: cannot open the cell view window: %s\n", error.c_str());
    return 1;
  }
  const ColourTable colours = BuildColourTable();
  PassResult result = PassResult::kGoOn;
  while (result == PassResult::kGoOn) result = RunPass(state, console, colours);
  StopViewWindows();
  CloseConsole(console);
  if (result == PassResult::kTerminalGone) {
    std::fprintf(stderr, "glimmet2: the terminal went away\n");
    return 1;
  }
  return 0;
}
