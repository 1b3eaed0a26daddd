// The window pass on Windows, side by side with its floor. A pass is what
// the program does each generation: 10 000 plots into the picture and one
// redraw, handed to the window thread, which copies the picture into its
// bitmap and has the window repaint it. The floor is the barest pass on
// the same kind of window: 10 000 stores into a DIB section, a BitBlt onto
// the window and a GdiFlush, on one thread. The two alternate in spells of
// a fixed number of passes; the medians and their ratio are printed.
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
  Floor() {
    WNDCLASSEXA kind{};
    kind.cbSize = sizeof kind;
    kind.lpfnWndProc = DefWindowProcA;
    kind.hInstance = GetModuleHandleA(nullptr);
    kind.lpszClassName = "Glimmet2Floor";
    if (!RegisterClassExA(&kind)) Fail("cannot register the floor's window kind");
    const DWORD style = WS_POPUP | WS_BORDER | WS_SYSMENU | WS_MINIMIZEBOX | WS_CAPTION;
    RECT outer{0, 0, kSize, kSize};
    AdjustWindowRect(&outer, style, FALSE);
    window_ = CreateWindowExA(0, kind.lpszClassName, "Floor", style, 450, 300,
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
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }

 private:
  HWND window_ = nullptr;
  HDC screen_ = nullptr;
  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  std::uint32_t* bits_ = nullptr;
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

int main() {
  std::string error;
  const glimmet::Handle window =
      glimmet::OpenViewWindow("Glimmet", 300, 300, kSize, kSize, 0, {}, error);
  if (window == 0) {
    std::fprintf(stderr, "glimmet2-windows-bench: cannot open a window: %s\n", error.c_str());
    return 1;
  }
  glimmet::AttachViewWindow(window, true);
  Floor floor;
  std::vector<double> program, bare;
  for (int spell = 0; spell < kSpells; ++spell) {
    program.push_back(Spell(ProgramPass));
    bare.push_back(Spell([&floor](int shade) { floor.Pass(shade); }));
  }
  const double p = Median(program), f = Median(bare);
  std::printf("window pass, medians of %d spells of %d passes, side by side:\n", kSpells,
              kPassesPerSpell);
  std::printf("  the program's pass     %8.0f passes/s\n", p);
  std::printf("  the DIB + BitBlt floor %8.0f passes/s\n", f);
  std::printf("  the program at %.0f %% of the floor\n", 100 * p / f);
  glimmet::StopViewWindows();
  return 0;
}
