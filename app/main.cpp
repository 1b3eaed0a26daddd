// GLIMMET2's entry point: the control panel in the terminal, the "Glimmet"
// window beside it, and the main loop until QUIT or the window is closed.
// Command-line arguments are ignored. Here the process's policy is decided:
// how each way out ends, with which status and which message.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/driver.h"
#include "app/signals.h"
#include "app/state.h"
#include "console/console.h"
#include "view/view_window.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;

// Runs on the window thread when the X server is gone, while the program
// thread may still be drawing: the terminal first, so that the line lands
// on the main screen, then the end, without exit handlers.
void OnDisplayLost() {
  glimmet::RestoreTerminal();
  constexpr char kMessage[] = "glimmet2: lost the connection to the X server\n";
  [[maybe_unused]] ssize_t n = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  _exit(kExitFailure);
}

// The program from the open console to the end of the main loop; the
// message for a way out that fails, or empty.
std::string RunProgram(glimmet::Console& console) {
  using namespace glimmet;
  ProgramState state;
  std::string error;
  if (!StartProgram(state, console, error, OnDisplayLost))
    return "cannot open the cell view window: " + error;
  const ColourTable colours = BuildColourTable();
  PassResult result = PassResult::kGoOn;
  while (result == PassResult::kGoOn) result = RunPass(state, console, colours);
  if (result == PassResult::kTerminalGone) return "the terminal went away";
  return "";
}

}  // namespace

int main() {
  using namespace glimmet;
  Console console;
  std::string error;
  if (!OpenConsole(console, ProgramSignals(), error)) {
    std::fprintf(stderr, "glimmet2: %s\n", error.c_str());
    return kExitFailure;
  }
  const std::string failure = RunProgram(console);
  // The one way back: the window first, then the terminal, the reverse of
  // their start.
  StopViewWindows();
  CloseConsole(console);
  if (failure.empty()) return kExitSuccess;
  std::fprintf(stderr, "glimmet2: %s\n", failure.c_str());
  return kExitFailure;
}
