// The cell view window against a real X server: where it opens, what its
// pixels read back as, and closing it through the close box while the
// program thread is drawing.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <future>
#include <thread>

#include "automaton/colour.h"
#include "tests/wait.h"
#include "tests/x11_probe.h"
#include "view/view_window.h"

namespace glimmet {
namespace {

using testing::XProbe;

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(probe_.Connected()) << "these tests need an X server in DISPLAY";
  }
  void TearDown() override { StopViewWindows(); }

  Handle Open(const std::string& caption = "Glimmet") {
    std::string error;
    const Handle handle = OpenViewWindow(caption, 300, 300, 100, 100, 0, {}, error);
    EXPECT_NE(handle, 0u) << error;
    return handle;
  }
  Window Native(const std::string& caption = "Glimmet") {
    const Window w = probe_.Find(caption);
    EXPECT_NE(w, 0u) << "no window named " << caption;
    return w;
  }

  // The window, read back from the server, shows exactly these colours of
  // a 100 x 100 picture, each a square `scale` pixels wide.
  void ExpectShown(const std::vector<Colour>& expected, int scale = 1) {
    const auto pixels = probe_.Pixels(Native());
    const int side = 100 * scale;
    ASSERT_EQ(pixels.size(), expected.size() * scale * scale);
    for (int i = 0; i < side * side; ++i)
      ASSERT_EQ(pixels[i], expected[i / side / scale * 100 + i % side / scale])
          << "pixel " << i % side << "," << i / side;
  }

  // True once no window has the name.
  bool WaitUntilGone(const std::string& name) {
    return testing::WaitUntil([&] { return probe_.Find(name) == 0; });
  }

  XProbe probe_;
};

TEST_F(ViewTest, OpensWithItsCaptionWhereAskedAndCannotBeResized) {
  const Handle handle = Open();
  EXPECT_EQ(QueryViewSize().width_, 0.0);  // nothing attached yet
  const Window w = Native();
  const auto geometry = probe_.Geometry(w);
  ASSERT_TRUE(geometry);
  EXPECT_EQ(geometry->x_, 300);
  EXPECT_EQ(geometry->y_, 300);
  EXPECT_EQ(geometry->width_, 100);
  EXPECT_EQ(geometry->height_, 100);
  // WM_NORMAL_HINTS: flags, x, y, w, h, min w, min h, max w, max h, ...
  const auto hints = probe_.Property(w, "WM_NORMAL_HINTS");
  ASSERT_GE(hints.size(), 9u);
  EXPECT_EQ(hints[5], 100);
  EXPECT_EQ(hints[7], 100);
  EXPECT_EQ(hints[6], 100);
  EXPECT_EQ(hints[8], 100);
  AttachViewWindow(handle, true);
  EXPECT_EQ(QueryViewSize().width_, 100.0);
  EXPECT_EQ(QueryViewSize().height_, 100.0);
}

// On a desktop that publishes its scale, each cell is a square of whole
// pixels of exactly its colour; the program still sees 100 x 100.
TEST_F(ViewTest, EveryColourOfEverySchemeLandsExactlyAtEveryScale) {
  const struct {
    const char* resources;
    int scale;
  } kDesks[] = {{"", 1}, {"Xft.dpi:\t192\n", 2}, {"Xft.dpi:\t120\n", 1}};
  for (const auto& desk : kDesks) {
    SCOPED_TRACE(desk.resources);
    probe_.SetResources(desk.resources);
    AttachViewWindow(Open(), true);
    probe_.SetResources("");
    const auto geometry = probe_.Geometry(Native());
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->width_, 100 * desk.scale);
    EXPECT_EQ(geometry->height_, 100 * desk.scale);
    EXPECT_EQ(QueryViewSize().width_, 100.0);
    std::vector<Colour> expected(100 * 100, kButtonFace);
    for (int scheme = 0; scheme < kColourSchemes; ++scheme) {
      for (int v = 0; v < 256; ++v) {
        const int at = scheme * 256 + v;
        const Colour colour = CellColour(v, scheme);
        PlotPixel(at % 100, at / 100, colour);
        expected[at] = colour;
      }
    }
    PlotPixel(99, 99, 0x123456);  // the last cell's square ends the window
    expected[99 * 100 + 99] = 0x123456;
    RedrawView();
    ExpectShown(expected, desk.scale);
    StopViewWindows();
    ASSERT_TRUE(WaitUntilGone("Glimmet"));
  }
}

TEST_F(ViewTest, CoordinatesRoundHalfToEvenAndStayInThePicture) {
  AttachViewWindow(Open(), true);
  std::vector<Colour> expected(100 * 100, kButtonFace);
  auto plot = [&](double x, double y, Colour c, int ex, int ey) {
    PlotPixel(x, y, c);
    if (ex >= 0) expected[ey * 100 + ex] = c == -1 ? kWindowText : c;
  };
  plot(2.5, 10, 0x0000FF, 2, 10);
  plot(3.5, 10, 0x00FF00, 4, 10);
  plot(-0.5, 20, 0xFF0000, 0, 20);   // rounds to -0, the left column
  plot(20, 99.4, 0x123456, 20, 99);
  plot(40, 40, -1, 40, 40);
  for (double outside : {100.0, 99.5, -0.6, -1.0, 1e300, -1e300, std::nan("")}) {
    plot(outside, 50, 0x00FFFF, -1, -1);
    plot(50, outside, 0x00FFFF, -1, -1);
  }
  RedrawView();
  ExpectShown(expected);
}

TEST_F(ViewTest, WithoutRedrawOnRequestEveryPlotIsShown) {
  AttachViewWindow(Open(), false);
  const Window w = Native();
  PlotPixel(7, 8, 0x336699);
  EXPECT_EQ(probe_.Pixels(w)[8 * 100 + 7], 0x336699);
  PlotPixel(7, 9, 0x996633);
  EXPECT_EQ(probe_.Pixels(w)[9 * 100 + 7], 0x996633);
}

TEST_F(ViewTest, WithRedrawOnRequestPlotsWaitForTheRedraw) {
  AttachViewWindow(Open(), true);
  const Window w = Native();
  RedrawView();
  PlotPixel(7, 8, 0x336699);
  EXPECT_EQ(probe_.Pixels(w)[8 * 100 + 7], kButtonFace);
  RedrawView();
  EXPECT_EQ(probe_.Pixels(w)[8 * 100 + 7], 0x336699);
}

TEST_F(ViewTest, CloseBoxWhileDrawingEndsTheWindowCleanly) {
  AttachViewWindow(Open(), true);
  const Window w = Native();
  // The close box is pressed once drawing is well under way, however
  // slowly the machine draws.
  std::atomic<long> passes = 0;
  std::thread closer([&] {
    testing::WaitUntil([&] { return passes > 10; });
    probe_.RequestClose(w);
  });
  const auto deadline = std::chrono::steady_clock::now() + testing::kDeadline;
  while (QueryViewSize().width_ != 0 && std::chrono::steady_clock::now() < deadline) {
    for (int x = 0; x < 100; ++x)
      for (int y = 0; y < 100; ++y) PlotPixel(x, y, (x * 2 + y + passes) & 0xFFFFFF);
    RedrawView();
    ++passes;
  }
  closer.join();
  EXPECT_EQ(QueryViewSize().width_, 0.0);
  EXPECT_EQ(QueryViewSize().height_, 0.0);
  EXPECT_GT(passes.load(), 10);
  PlotPixel(1, 1, 0);  // must do nothing, and not crash
  RedrawView();        // must return at once
  // The records go before the native window does, so the window may still
  // be on its way out when the size first reads 0.
  EXPECT_TRUE(WaitUntilGone("Glimmet"));
}

TEST_F(ViewTest, RedrawOnAnotherThreadAfterCloseReturns) {
  const Handle handle = Open();
  const Window w = Native();
  probe_.RequestClose(w);
  auto redraw = std::async(std::launch::async, [handle] {
    AttachViewWindow(handle, true);
    for (int i = 0; i < 1000; ++i) RedrawView();
    return QueryViewSize().width_;
  });
  ASSERT_EQ(redraw.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  // Whether the close came before or during the redraws, none of them hangs
  // and the window ends up gone.
  redraw.get();
  EXPECT_TRUE(WaitUntilGone("Glimmet"));
  AttachViewWindow(handle, true);
  EXPECT_EQ(QueryViewSize().width_, 0.0);
}

TEST_F(ViewTest, EmptyCaptionHasNoCaptionBar) {
  std::string error;
  const Handle handle = OpenViewWindow("", 10, 10, 50, 40, 0, {}, error);
  ASSERT_NE(handle, 0u) << error;
  AttachViewWindow(handle, true);
  EXPECT_EQ(QueryViewSize().width_, 50.0);
  EXPECT_EQ(QueryViewSize().height_, 40.0);
  // _MOTIF_WM_HINTS: flags, functions, decorations, ...; flag 2 says the
  // decorations item counts, and 0 there asks for no frame and no caption.
  Window w = 0;
  for (Window top : probe_.TopLevel()) {
    const auto g = probe_.Geometry(top);
    if (g && g->width_ == 50 && g->height_ == 40) w = top;
  }
  ASSERT_NE(w, 0u);
  const auto motif = probe_.Property(w, "_MOTIF_WM_HINTS");
  ASSERT_GE(motif.size(), 3u);
  EXPECT_TRUE(motif[0] & 2);
  EXPECT_EQ(motif[2], 0);
}

TEST_F(ViewTest, DefaultStyleHasACaptionBar) {
  Open();
  // The decorations item counts, and asks for them all.
  const auto motif = probe_.Property(Native(), "_MOTIF_WM_HINTS");
  ASSERT_GE(motif.size(), 3u);
  EXPECT_TRUE(motif[0] & 2);
  EXPECT_EQ(motif[2], 1);
}

TEST_F(ViewTest, AttachingToNothingLeavesNoTarget) {
  AttachViewWindow(Open(), true);
  EXPECT_EQ(QueryViewSize().width_, 100.0);
  AttachViewWindow(0, true);
  EXPECT_EQ(QueryViewSize().width_, 0.0);
  AttachViewWindow(123456, true);
  EXPECT_EQ(QueryViewSize().width_, 0.0);
  PlotPixel(1, 1, 0);
  RedrawView();
}

TEST_F(ViewTest, OneWindowAtATime) {
  Open();
  std::string error;
  EXPECT_EQ(OpenViewWindow("Second", 0, 0, 10, 10, 0, {}, error), 0u);
  EXPECT_NE(error, "");
}

TEST_F(ViewTest, WithoutADisplayOpeningFailsWithAReason) {
  const std::string display = std::getenv("DISPLAY");
  unsetenv("DISPLAY");
  std::string reason;
  const Handle handle = OpenViewWindow("Glimmet", 300, 300, 100, 100, 0, {}, reason);
  setenv("DISPLAY", display.c_str(), 1);
  EXPECT_EQ(handle, 0u);
  EXPECT_NE(reason, "");
}

}  // namespace
}  // namespace glimmet
