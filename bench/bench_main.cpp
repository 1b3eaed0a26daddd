// The benchmarks' entry point. The window benchmarks need a display; one
// window is opened and closed before any timing starts, and only if that
// works are they registered. Without a display the others still run, and
// one line says why the window ones did not; a run that then matches no
// benchmark at all fails.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/view_bench.h"
#include "view/view_window.h"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::string error;
  if (glimmet::OpenViewWindow("Glimmet", 300, 300, 100, 100, 0, {}, error) != 0) {
    glimmet::StopViewWindows();
    glimmet::RegisterWindowBenchmarks();
  } else {
    std::fprintf(stderr, "glimmet2-bench: the window benchmarks need a display and are skipped"
                         " (%s)\n", error.c_str());
  }
  const std::size_t ran = benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return ran > 0 ? 0 : 1;
}
