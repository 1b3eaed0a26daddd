// One window pass as the program makes it each generation, 10 000 plots and
// one redraw, under each way the window thread can wait. Needs an X server;
// `make bench` runs the binary under a private Xvfb.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "view/view_window.h"

namespace glimmet {
namespace {

// Opens and attaches a 100 x 100 window. The run has already opened one
// before timing started; if this one fails all the same, the run ends here
// with the reason, because a benchmark that skips some of its repetitions
// aborts the whole run in Google Benchmark.
bool OpenWindow(benchmark::State&, const ViewOptions& options = {}) {
  const Handle window = OpenViewWindow("Glimmet", 300, 300, 100, 100, 0, options);
  if (window == 0) {
    std::fprintf(stderr, "glimmet2-bench: cannot open a window: %s\n", ViewWindowError().c_str());
    std::exit(1);
  }
  AttachViewWindow(window, true);
  return true;
}

void RunPasses(benchmark::State& state, const ViewOptions& options) {
  if (!OpenWindow(state, options)) return;
  int shade = 0;
  for (auto _ : state) {
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 100; ++x) PlotPixel(x, y, (x + y + shade) & 255);
    RedrawView();
    ++shade;
  }
  state.counters["passes/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  StopViewWindows();
}

void BM_Pass(benchmark::State& state) { RunPasses(state, {}); }
BENCHMARK(BM_Pass)->UseRealTime();

void BM_PassSdlEvent(benchmark::State& state) {
  RunPasses(state, {WakeMode::kSdlEvent, false});
}
BENCHMARK(BM_PassSdlEvent)->UseRealTime();

void BM_PassAccelerated(benchmark::State& state) {
  RunPasses(state, {WakeMode::kConditionVariable, true});
}
BENCHMARK(BM_PassAccelerated)->UseRealTime();

void BM_PassNaive(benchmark::State& state) {
  RunPasses(state, {WakeMode::kSleepPoll, false});
}
BENCHMARK(BM_PassNaive)->UseRealTime();

void BM_Redraw(benchmark::State& state) {
  if (!OpenWindow(state)) return;
  for (auto _ : state) RedrawView();
  StopViewWindows();
}
BENCHMARK(BM_Redraw)->UseRealTime();

void BM_Plots(benchmark::State& state) {
  if (!OpenWindow(state)) return;
  for (auto _ : state) {
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 100; ++x) PlotPixel(x, y, x + y);
  }
  StopViewWindows();
}
BENCHMARK(BM_Plots);

}  // namespace
}  // namespace glimmet
