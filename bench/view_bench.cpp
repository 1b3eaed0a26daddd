// One window pass as the program makes it each generation, 10 000 plots and
// one redraw, with its parts; and beside it the floor any pass stands on:
// the barest loop that puts a 100 x 100 picture on an X window through
// shared memory and waits for the server, straight through Xlib on one
// thread. Needs an X server; `make bench` runs the binary under a private
// Xvfb, and without one these are not registered.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <benchmark/benchmark.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>
#include <cstdio>
#include <cstdlib>

#include "app/driver.h"
#include "automaton/step.h"
#include "bench/view_bench.h"
#include "view/view_window.h"

namespace glimmet {
namespace {

// Opens and attaches a 100 x 100 window. The run has already opened one
// before timing started; if this one fails all the same, the run ends here
// with the reason, because a benchmark that skips some of its repetitions
// aborts the whole run in Google Benchmark.
void OpenWindow() {
  std::string error;
  const Handle window = OpenViewWindow("Glimmet", 300, 300, 100, 100, 0, {}, error);
  if (window == 0) {
    std::fprintf(stderr, "glimmet2-bench: cannot open a window: %s\n", error.c_str());
    std::exit(1);
  }
  AttachViewWindow(window, true);
}

void Fail(const char* what) {
  std::fprintf(stderr, "glimmet2-bench: %s\n", what);
  std::exit(1);
}

void Plots(int shade) {
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) PlotPixel(x, y, (x + y + shade) & 255);
}

// One pass as the program makes it: 10 000 plots, then the redraw.
void Pass(int shade) {
  Plots(shade);
  RedrawView();
}

// The CPU time counts every thread of the process, the window thread too.
void BM_Pass(benchmark::State& state) {
  OpenWindow();
  int shade = 0;
  for (auto _ : state) Pass(shade++);
  state.counters["passes/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  StopViewWindows();
}

// A generation as the program makes it, without the terminal: the field
// painted through the colour table, the step, the redraw and the size
// query. What it costs beyond a pass is the program's own work.
class Generation {
 public:
  Generation() {
    Random random;
    SeedRandom(random, 43200.0);
    program_.field_ = CreateField(100, 100);
    SeedField(program_.field_, random, program_.current_page_);
  }
  void Run() {
    PaintField(program_, colours_);
    StepGeneration(program_.field_, program_.current_page_, program_.survive_, program_.birth_,
                   program_.growth_rate_);
    RedrawView();
    benchmark::DoNotOptimize(QueryViewSize());
  }

 private:
  ProgramState program_;
  const ColourTable colours_ = BuildColourTable();
};

void BM_Generation(benchmark::State& state) {
  OpenWindow();
  Generation generation;
  for (auto _ : state) generation.Run();
  StopViewWindows();
}

void BM_Redraw(benchmark::State& state) {
  OpenWindow();
  for (auto _ : state) RedrawView();
  StopViewWindows();
}

void BM_Plots(benchmark::State& state) {
  OpenWindow();
  int shade = 0;
  for (auto _ : state) Plots(shade++);
  StopViewWindows();
}

// The floor: a window of its own on a connection of its own, a picture in
// shared memory, and a put that fills it, puts it and waits for the server,
// on one thread, nothing else.
class XFloor {
 public:
  XFloor() {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) Fail("the floor cannot connect to the X server");
    if (!XShmQueryExtension(display_)) Fail("the X server has no MIT-SHM");
    const int screen = DefaultScreen(display_);
    window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 420, 300, 100, 100,
                                  0, 0, 0);
    XMapWindow(display_, window_);
    image_ = XShmCreateImage(display_, DefaultVisual(display_, screen),
                             DefaultDepth(display_, screen), ZPixmap, nullptr, &segment_, 100,
                             100);
    if (image_ == nullptr || image_->bits_per_pixel != 32) Fail("the floor needs 32-bit pixels");
    segment_.shmid = shmget(IPC_PRIVATE, image_->bytes_per_line * image_->height, IPC_CREAT | 0600);
    if (segment_.shmid < 0) Fail("the floor cannot make shared memory");
    segment_.shmaddr = image_->data = static_cast<char*>(shmat(segment_.shmid, nullptr, 0));
    segment_.readOnly = False;
    XShmAttach(display_, &segment_);
    XSync(display_, False);
    shmctl(segment_.shmid, IPC_RMID, nullptr);
    gc_ = DefaultGC(display_, screen);
  }
  ~XFloor() {
    XShmDetach(display_, &segment_);
    XDestroyImage(image_);
    shmdt(segment_.shmaddr);
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
  }
  XFloor(const XFloor&) = delete;
  XFloor& operator=(const XFloor&) = delete;

  void Put() {
    auto* pixels = reinterpret_cast<std::uint32_t*>(image_->data);
    const int stride = image_->bytes_per_line / 4;
    const std::uint32_t shade = shade_;  // a local, which no pixel store can alias
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 100; ++x) pixels[y * stride + x] = (x + y + shade) & 255;
    XShmPutImage(display_, window_, gc_, image_, 0, 0, 0, 0, 100, 100, False);
    XSync(display_, False);
    ++shade_;
  }

 private:
  Display* display_ = nullptr;
  Window window_ = 0;
  XShmSegmentInfo segment_{};
  XImage* image_ = nullptr;
  GC gc_{};
  std::uint32_t shade_ = 0;
};

void BM_XFloor(benchmark::State& state) {
  XFloor floor;
  for (auto _ : state) floor.Put();
  state.counters["puts/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

double Seconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The floor, the pass and the generation in turn, in blocks of 200 each,
// so that all three meet the X server at the same speed however much that
// drifts. Reports, as medians over the rounds, the time and CPU (all
// threads) of each, and the pass's rate as a share of the floor's and its
// CPU as a multiple of the floor's.
void BM_SideBySide(benchmark::State& state) {
  OpenWindow();
  XFloor floor;
  Generation generation;
  const int block = static_cast<int>(state.range(0));
  const char* names[] = {"floor", "pass", "generation"};
  std::vector<double> real_us[3], cpu_us[3], shares, cpu_ratios;
  int shade = 0;
  for (auto _ : state) {
    for (int side = 0; side < 3; ++side) {
      const double real0 = Seconds(CLOCK_MONOTONIC), cpu0 = Seconds(CLOCK_PROCESS_CPUTIME_ID);
      for (int i = 0; i < block; ++i) {
        if (side == 0) floor.Put();
        else if (side == 1) Pass(shade++);
        else generation.Run();
      }
      real_us[side].push_back(1e6 * (Seconds(CLOCK_MONOTONIC) - real0) / block);
      cpu_us[side].push_back(1e6 * (Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0) / block);
    }
    shares.push_back(real_us[0].back() / real_us[1].back());
    cpu_ratios.push_back(cpu_us[1].back() / cpu_us[0].back());
  }
  auto median = [](std::vector<double>& v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
  };
  for (int side = 0; side < 3; ++side) {
    state.counters[std::string(names[side]) + " us"] = median(real_us[side]);
    state.counters[std::string(names[side]) + " CPU us"] = median(cpu_us[side]);
  }
  state.counters["share %"] = 100 * median(shares);
  state.counters["CPU ratio"] = median(cpu_ratios);
  StopViewWindows();
}

}  // namespace

void RegisterWindowBenchmarks() {
  benchmark::RegisterBenchmark("BM_Pass", BM_Pass)->UseRealTime()->MeasureProcessCPUTime();
  benchmark::RegisterBenchmark("BM_Generation", BM_Generation)->UseRealTime()->MeasureProcessCPUTime();
  benchmark::RegisterBenchmark("BM_Redraw", BM_Redraw)->UseRealTime()->MeasureProcessCPUTime();
  benchmark::RegisterBenchmark("BM_Plots", BM_Plots);
  benchmark::RegisterBenchmark("BM_XFloor", BM_XFloor)->UseRealTime()->MeasureProcessCPUTime();
  benchmark::RegisterBenchmark("BM_SideBySide", BM_SideBySide)->Arg(200)->UseRealTime()->MeasureProcessCPUTime();
}

}  // namespace glimmet
