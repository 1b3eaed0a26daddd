// The benchmarks' entry point. The window benchmarks need an X server; one
// window is opened and closed before any timing starts, so that a missing or
// refusing display ends the run with one line naming the cause instead of
// a benchmark failing halfway through its repetitions.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "view/view_window.h"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (glimmet::OpenViewWindow("Glimmet", 300, 300, 100, 100, 0) == 0) {
    std::fprintf(stderr, "glimmet2-bench: cannot open a window, so nothing was timed: %s\n",
                 glimmet::ViewWindowError().c_str());
    return 1;
  }
  glimmet::StopViewWindows();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
