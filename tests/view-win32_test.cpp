// The GDI window moved to a monitor of another scale, as Windows tells it
// with WM_DPICHANGED: its client area takes the new size at once, showing
// the last picture as squares of the new scale, and later redraws keep that
// scale; the program's picture stays 100 x 100.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <thread>

#include "tests/wait.h"
#include "view/view_window.h"

namespace glimmet {
namespace {

Colour Shade(int x, int y, int pass) {
  return static_cast<Colour>(((x * 2 + pass * 7) & 255) | ((y * 2) & 255) << 8 | (x ^ y) << 16);
}

void Plot(int pass) {
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) PlotPixel(x, y, Shade(x, y, pass));
  RedrawView();
}

// The client area's size, and the first cell whose square is not its
// colour (-1 where every one is).
struct Shown {
  int width = 0, height = 0, wrong = -1;
};

Shown ReadOnce(HWND window, int scale, int pass) {
  Shown shown;
  RECT client{};
  GetClientRect(window, &client);
  shown.width = client.right;
  shown.height = client.bottom;
  HDC dc = GetDC(window);
  for (int cell = 0; cell < 100 * 100 && shown.wrong < 0; ++cell) {
    const int x = cell % 100, y = cell / 100;
    for (int i = 0; i < scale * scale; ++i)
      if (GetPixel(dc, x * scale + i % scale, y * scale + i / scale) !=
          static_cast<COLORREF>(Shade(x, y, pass)))
        shown.wrong = cell;
  }
  ReleaseDC(window, dc);
  return shown;
}

// The window paints in its own thread: what it shows once every cell is
// right, or at the deadline.
Shown Read(HWND window, int scale, int pass) {
  Shown shown;
  testing::WaitUntil([&] { return (shown = ReadOnce(window, scale, pass)).wrong < 0; });
  return shown;
}

void MoveToDpi(HWND window, int dpi) {
  RECT suggested{300, 300, 300 + dpi, 300 + dpi};
  SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

TEST(GdiWindowTest, TakesTheScaleOfTheMonitorItMovesTo) {
  std::string error;
  const Handle handle = OpenViewWindow("Glimmet", 300, 300, 100, 100, 0, {}, error);
  ASSERT_NE(handle, 0u) << error;
  AttachViewWindow(handle, true);
  HWND window = FindWindowA("Glimmet2View", "Glimmet");
  ASSERT_NE(window, nullptr);
  Plot(0);
  const Shown at100 = Read(window, 1, 0);
  EXPECT_EQ(at100.width, 100);
  EXPECT_EQ(at100.wrong, -1);

  MoveToDpi(window, 192);
  const Shown moved = Read(window, 2, 0);
  EXPECT_EQ(moved.width, 200);
  EXPECT_EQ(moved.height, 200);
  EXPECT_EQ(moved.wrong, -1) << "the last picture, before any redraw";
  Plot(1);
  EXPECT_EQ(Read(window, 2, 1).wrong, -1) << "a redraw at 200 %";
  EXPECT_EQ(QueryViewSize().width_, 100.0);

  MoveToDpi(window, 96);
  const Shown back = Read(window, 1, 1);
  EXPECT_EQ(back.width, 100);
  EXPECT_EQ(back.wrong, -1);
  StopViewWindows();
}

}  // namespace
}  // namespace glimmet
