// GLIMMET2's entry point in a web page. The page's terminal and canvas stand
// for the user's terminal and window, and the page's frames drive the main
// loop: each frame runs passes for a few milliseconds, shows the counter and
// the field once, and hands the thread back so that the page never stalls.
// Paused, no frame is asked for until the user does something. The page
// starts a run with glimmet_start and is told of its end through its
// `ended`, with the exit status, as a process's parent would be.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <string>

#include "app/driver.h"
#include "app/signals.h"
#include "app/state.h"
#include "console/console-web.h"
#include "console/console.h"
#include "view/native_window-web.h"
#include "view/view_window.h"

namespace {

using namespace glimmet;

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;

// Passes run for about this long a frame: half of a 60 Hz frame, leaving
// the other half to the page's own work and its painting.
constexpr double kFrameBudgetMs = 8.0;
// What a pass is taken to cost before any has been timed.
constexpr double kFirstPassMs = 0.1;

struct Run {
  ProgramState state_;
  Console console_;
  ColourTable colours_ = BuildColourTable();
  bool waiting_ = false;  // paused with nothing to read: no frame asked for
  double pass_ms_ = kFirstPassMs;  // what a pass cost, over the last frame
};

EM_JS(void, PageEnded, (int status, const char* message), {
  Module.page.ended(status, UTF8ToString(message));
});

// The one way back, as on the desktop: the window first, then the terminal.
void End(Run* run, int status, const std::string& message) {
  StopViewWindows();
  CloseConsole(run->console_);
  delete run;
  PageEnded(status, message.c_str());
}

// Only the picture of a frame's last pass is ever seen, and painting it
// costs a quarter of a generation here, so a frame runs as many passes as
// the last frame's timing says fit its budget and paints only the last of
// them, and those that handle input: input comes only between frames, and
// a pass that pauses or quits may end the frame early. Paused, every pass
// paints.
EM_BOOL Frame(double, void* data) {
  Run* run = static_cast<Run*>(data);
  ProgramState& state = run->state_;
  const double start = emscripten_get_now();
  const int passes = std::max(1, static_cast<int>(kFrameBudgetMs / run->pass_ms_));
  PassResult result = PassResult::kGoOn;
  int ran = 0;
  while (ran < passes && result == PassResult::kGoOn) {
    const bool input = InputQueued(run->console_);
    if (state.pause_ == 1 && !input) {
      run->waiting_ = true;
      break;
    }
    ++ran;
    result = RunPass(state, run->console_, run->colours_,
                     ran == passes || input || state.pause_ == 1);
  }
  if (ran > 0) run->pass_ms_ = std::max(0.001, (emscripten_get_now() - start) / ran);
  ShowPictureOnPage();
  FlushConsole(run->console_);
  // The close box ends the run even while paused: the page, unlike a
  // desktop's blocking wait, sees it at once.
  if (result == PassResult::kGoOn && QueryViewSize().width_ == 0)
    result = PassResult::kWindowGone;
  if (result != PassResult::kGoOn) {
    End(run, kExitSuccess, "");
    return EM_FALSE;
  }
  return run->waiting_ ? EM_FALSE : EM_TRUE;
}

}  // namespace

// Starts a run: the panel in the page's terminal, the field beside it. The
// run, for glimmet_input, or null when it could not start (the page has
// been told why).
extern "C" EMSCRIPTEN_KEEPALIVE void* glimmet_start() {
  Run* run = new Run;
  std::string error;
  if (!OpenConsole(run->console_, ProgramSignals(), error)) {
    delete run;
    PageEnded(kExitFailure, error.c_str());
    return nullptr;
  }
  if (!StartProgram(run->state_, run->console_, error)) {
    End(run, kExitFailure, "cannot open the cell view window: " + error);
    return nullptr;
  }
  emscripten_request_animation_frame_loop(Frame, run);
  return run;
}

// The page has new input for the run, or its field was closed: a run that
// waits for input takes frames again.
extern "C" EMSCRIPTEN_KEEPALIVE void glimmet_input(void* data) {
  Run* run = static_cast<Run*>(data);
  if (run == nullptr || !run->waiting_) return;
  run->waiting_ = false;
  emscripten_request_animation_frame_loop(Frame, run);
}
