// The three colour schemes at their band edges, their smoothness, and the
// results for intensities and schemes the field never holds.
#include <gtest/gtest.h>

#include <cstdlib>

#include "automaton/colour.h"

namespace glimmet {
namespace {

Colour Rgb(int r, int g, int b) { return r | g << 8 | b << 16; }

TEST(ColourTest, BandEdges) {
  EXPECT_EQ(CellColour(0, 0), Rgb(0, 0, 0));
  EXPECT_EQ(CellColour(128, 0), Rgb(128, 128, 128));
  EXPECT_EQ(CellColour(255, 0), Rgb(255, 255, 255));

  EXPECT_EQ(CellColour(0, 1), Rgb(0, 0, 0));
  EXPECT_EQ(CellColour(63, 1), Rgb(0, 0, 252));
  EXPECT_EQ(CellColour(64, 1), Rgb(0, 0, 255));
  EXPECT_EQ(CellColour(126, 1), Rgb(248, 0, 255));
  EXPECT_EQ(CellColour(127, 1), Rgb(252, 0, 255));
  EXPECT_EQ(CellColour(128, 1), Rgb(255, 0, 0));
  EXPECT_EQ(CellColour(191, 1), Rgb(255, 252, 0));
  EXPECT_EQ(CellColour(192, 1), Rgb(255, 255, 0));
  EXPECT_EQ(CellColour(255, 1), Rgb(255, 255, 252));

  EXPECT_EQ(CellColour(0, 2), Rgb(0, 0, 0));
  EXPECT_EQ(CellColour(127, 2), Rgb(0, 0, 254));
  EXPECT_EQ(CellColour(128, 2), Rgb(0, 0, 255));
  EXPECT_EQ(CellColour(255, 2), Rgb(254, 0, 255));
}

TEST(ColourTest, NeighbouringIntensitiesChangeLittle) {
  const int limit[3] = {1, 4, 2};
  for (int scheme = 0; scheme < 3; ++scheme) {
    for (int v = 1; v < 256; ++v) {
      const Colour a = CellColour(v - 1, scheme), b = CellColour(v, scheme);
      for (int shift = 0; shift < 24; shift += 8) {
        const int step = std::abs((a >> shift & 255) - (b >> shift & 255));
        if (scheme == 1 && v == 128 && shift == 16) {
          EXPECT_EQ(step, 255);  // blue drops from 255 to 0 into the red band
          continue;
        }
        ASSERT_LE(step, limit[scheme]) << "scheme " << scheme << " v " << v;
      }
      ASSERT_EQ(b >> 24, 0);
    }
  }
}

TEST(ColourTest, OutsideTheRanges) {
  EXPECT_EQ(CellColour(-1, 0), 0);
  EXPECT_EQ(CellColour(300, 0), Rgb(255, 255, 255));
  for (int scheme : {1, 2}) {
    EXPECT_EQ(CellColour(-1, scheme), 0);
    EXPECT_EQ(CellColour(256, scheme), 0);
    EXPECT_EQ(CellColour(1 << 30, scheme), 0);
  }
  EXPECT_EQ(CellColour(200, 3), 0);
  EXPECT_EQ(CellColour(200, -1), 0);
  EXPECT_EQ(ComposeColour(-5, 300, 256), Rgb(0, 255, 255));
}

}  // namespace
}  // namespace glimmet
