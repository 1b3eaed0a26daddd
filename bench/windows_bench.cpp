// The window pass on Windows, side by side with its floors. A pass is what
// the program does each generation: 10 000 plots into the picture and one
// redraw, handed to the window thread, which copies the picture into its
// bitmap and BitBlts it onto the window. A floor is the barest pass on the
// same kind of window, on one thread: 10 000 stores into a DIB section, a
// BitBlt onto the window and a GdiFlush. One floor looks at its message
// queue after every pass, as a plain game loop does (under Wine an empty
// look also pushes the window's picture to the X server); the other once a
// millisecond, as the program's window thread does while redraws come back
// to back. The redraw alone is timed too: it is the hand-off between the
// threads. All alternate in spells of a fixed number of passes; the medians
// and the ratios are printed.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "view/view_window.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSize = 100;
constexpr int kSpells = 15;
constexpr int kPassesPerSpell = 300;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Fail(const char* what) {
  std::fprintf(stderr, "glimmet2-windows-bench: %s (Windows error %lu)\n", what, GetLastError());
  std::exit(1);
}

// The floor's window, of the program's kind: a popup with a caption, its
// client area 100 x 100, a DIB section to draw from.
class Floor {
 public:
  explicit Floor(Clock::duration look_every) : look_every_(look_every) {
    WNDCLASSEXA kind{};
    kind.cbSize = sizeof kind;
    kind.lpfnWndProc = DefWindowProcA;
    kind.hInstance = GetModuleHandleA(nullptr);
    kind.lpszClassName = "Glimmet2Floor";
    RegisterClassExA(&kind);  // the second floor finds it registered
    const DWORD style = WS_POPUP | WS_BORDER | WS_SYSMENU | WS_MINIMIZEBOX | WS_CAPTION;
    RECT outer{0, 0, kSize, kSize};
    AdjustWindowRect(&outer, style, FALSE);
    window_ = CreateWindowExA(0, kind.lpszClassName, "Floor", style, 450 + 150 * windows_++, 300,
                              outer.right - outer.left, outer.bottom - outer.top, nullptr,
                              nullptr, kind.hInstance, nullptr);
    if (window_ == nullptr) Fail("cannot create the floor's window");
    ShowWindow(window_, SW_SHOWNORMAL);
    screen_ = GetDC(window_);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, kSize, -kSize, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    memory_ = CreateCompatibleDC(screen_);
    bitmap_ = CreateDIBSection(screen_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memory_ == nullptr || bitmap_ == nullptr) Fail("cannot make the floor's bitmap");
    SelectObject(memory_, bitmap_);
    bits_ = static_cast<std::uint32_t*>(bits);
  }

  void Pass(int shade) {
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) bits_[y * kSize + x] = (x + y + shade) & 255;
    BitBlt(screen_, 0, 0, kSize, kSize, memory_, 0, 0, SRCCOPY);
    GdiFlush();
    const auto now = Clock::now();
    if (now < next_look_) return;
    next_look_ = now + look_every_;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }

 private:
  static inline int windows_ = 0;
  HWND window_ = nullptr;
  HDC screen_ = nullptr;
  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  std::uint32_t* bits_ = nullptr;
  const Clock::duration look_every_;
  Clock::time_point next_look_{};
};

void ProgramPass(int shade) {
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) glimmet::PlotPixel(x, y, (x + y + shade) & 255);
  glimmet::RedrawView();
}

// Passes a second over one spell.
template <typename PassFunction>
double Spell(PassFunction pass) {
  const auto start = Clock::now();
  for (int i = 0; i < kPassesPerSpell; ++i) pass(i);
  return kPassesPerSpell / std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

// The display's dots per inch, which this process sees as they are: it
// scales its window itself, as the program's manifest says the program does.
int ScreenDpi() {
  SetProcessDPIAware();
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi;
}

int main() {
  const int dpi = ScreenDpi();
  std::string error;
  const glimmet::Handle window =
      glimmet::OpenViewWindow("Glimmet", 300, 300, kSize, kSize, 0, {}, error);
  if (window == 0) {
    std::fprintf(stderr, "glimmet2-windows-bench: cannot open a window: %s\n", error.c_str());
    return 1;
  }
  glimmet::AttachViewWindow(window, true);
  Floor each_pass(Clock::duration::zero()), each_ms(std::chrono::milliseconds(1));
  std::vector<double> program, redraw, floor_each_pass, floor_each_ms;
  for (int spell = 0; spell < kSpells; ++spell) {
    program.push_back(Spell(ProgramPass));
    redraw.push_back(Spell([](int) { glimmet::RedrawView(); }));
    floor_each_pass.push_back(Spell([&each_pass](int shade) { each_pass.Pass(shade); }));
    floor_each_ms.push_back(Spell([&each_ms](int shade) { each_ms.Pass(shade); }));
  }
  const double p = Median(program), f1 = Median(floor_each_pass), f2 = Median(floor_each_ms);
  std::printf("window pass at %d dpi, medians of %d spells of %d passes, side by side:\n", dpi,
              kSpells, kPassesPerSpell);
  std::printf("  the program's pass                      %8.0f passes/s\n", p);
  std::printf("  its redraw alone (the hand-off)         %8.0f redraws/s\n", Median(redraw));
  std::printf("  floor, queue looked at after each pass  %8.0f passes/s  (program at %.0f %%)\n",
              f1, 100 * p / f1);
  std::printf("  floor, queue looked at once a ms        %8.0f passes/s  (program at %.0f %%)\n",
              f2, 100 * p / f2);
  glimmet::StopViewWindows();
  return 0;
}
