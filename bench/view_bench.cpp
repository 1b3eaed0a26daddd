// One window pass as the program makes it each generation, 10 000 plots and
// one redraw, with its parts; and beside it the floor any pass stands on:
// the barest loop that puts a 100 x 100 picture on an X window through
// shared memory and waits for the server, straight through Xlib on one
// thread. Needs an X server; `make bench` runs the binary under a private
// Xvfb.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <benchmark/benchmark.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "view/view_window.h"

namespace glimmet {
namespace {

// Opens and attaches a 100 x 100 window. The run has already opened one
// before timing started; if this one fails all the same, the run ends here
// with the reason, because a benchmark that skips some of its repetitions
// aborts the whole run in Google Benchmark.
void OpenWindow() {
  const Handle window = OpenViewWindow("Glimmet", 300, 300, 100, 100, 0);
  if (window == 0) {
    std::fprintf(stderr, "glimmet2-bench: cannot open a window: %s\n", ViewWindowError().c_str());
    std::exit(1);
  }
  AttachViewWindow(window, true);
}

void Fail(const char* what) {
  std::fprintf(stderr, "glimmet2-bench: %s\n", what);
  std::exit(1);
}

// The CPU time counts every thread of the process, the window thread too.
void BM_Pass(benchmark::State& state) {
  OpenWindow();
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
BENCHMARK(BM_Pass)->UseRealTime()->MeasureProcessCPUTime();

void BM_Redraw(benchmark::State& state) {
  OpenWindow();
  for (auto _ : state) RedrawView();
  StopViewWindows();
}
BENCHMARK(BM_Redraw)->UseRealTime()->MeasureProcessCPUTime();

void BM_Plots(benchmark::State& state) {
  OpenWindow();
  for (auto _ : state) {
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 100; ++x) PlotPixel(x, y, x + y);
  }
  StopViewWindows();
}
BENCHMARK(BM_Plots);

// The floor: fill, XShmPutImage, XSync, on one thread, nothing else.
void BM_XFloor(benchmark::State& state) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) Fail("the floor cannot connect to the X server");
  if (!XShmQueryExtension(display)) Fail("the X server has no MIT-SHM");
  const int screen = DefaultScreen(display);
  const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 300, 300,
                                            100, 100, 0, 0, 0);
  XMapWindow(display, window);
  XShmSegmentInfo segment{};
  XImage* image = XShmCreateImage(display, DefaultVisual(display, screen),
                                  DefaultDepth(display, screen), ZPixmap, nullptr, &segment,
                                  100, 100);
  if (image == nullptr || image->bits_per_pixel != 32) Fail("the floor needs 32-bit pixels");
  segment.shmid = shmget(IPC_PRIVATE, image->bytes_per_line * image->height, IPC_CREAT | 0600);
  if (segment.shmid < 0) Fail("the floor cannot make shared memory");
  segment.shmaddr = image->data = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
  segment.readOnly = False;
  XShmAttach(display, &segment);
  XSync(display, False);
  shmctl(segment.shmid, IPC_RMID, nullptr);
  const GC gc = DefaultGC(display, screen);
  auto* pixels = reinterpret_cast<std::uint32_t*>(image->data);
  const int stride = image->bytes_per_line / 4;
  std::uint32_t shade = 0;
  for (auto _ : state) {
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 100; ++x) pixels[y * stride + x] = (x + y + shade) & 255;
    XShmPutImage(display, window, gc, image, 0, 0, 0, 0, 100, 100, False);
    XSync(display, False);
    ++shade;
  }
  state.counters["puts/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  XShmDetach(display, &segment);
  XDestroyImage(image);
  shmdt(segment.shmaddr);
  XDestroyWindow(display, window);
  XCloseDisplay(display);
}
BENCHMARK(BM_XFloor)->UseRealTime()->MeasureProcessCPUTime();

}  // namespace
}  // namespace glimmet
