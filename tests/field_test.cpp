// Seeding and reseeding of the cell field: ranges, draw order, densities.
#include <gtest/gtest.h>

#include "automaton/field.h"

namespace glimmet {
namespace {

Random SeededAt(double seconds) {
  Random random;
  SeedRandom(random, seconds);
  return random;
}

int CountNonZero(const CellField& field, int page) {
  int count = 0;
  for (int x = 1; x <= field.width_; ++x)
    for (int y = 1; y <= field.height_; ++y) count += field.Cell(page, x, y) != 0;
  return count;
}

// The fields a fixed seed gives, as the reference build drew them: one
// draw a cell, column by column (the second draw, 25, is cell (1, 2); row
// by row it would be cell (2, 1)), and nothing else drawn.
TEST(FieldTest, SeedingGivesThePublishedField) {
  CellField field = CreateField(100, 100);
  Random random = SeededAt(43200.0);
  int page = 2;
  SeedField(field, random, page);
  EXPECT_EQ(page, 1);
  EXPECT_EQ(field.Cell(1, 1, 1), 102);
  EXPECT_EQ(field.Cell(1, 1, 2), 25);
  EXPECT_EQ(field.Cell(1, 2, 1), 22);
  EXPECT_EQ(field.Cell(1, 100, 100), 237);
  long sum = 0;
  for (int v : field.cells_) sum += v;
  EXPECT_EQ(sum, 1278588);
  EXPECT_EQ(random.state_, 3976934640u);
  EXPECT_EQ(CountNonZero(field, 2), 0);
}

// The scheme is drawn first, then two draws a live cell and one a dead one.
TEST(FieldTest, ReseedingGivesThePublishedField) {
  CellField field = CreateField(100, 100);
  Random random = SeededAt(777.0);
  int page = 2, count = 1234, scheme = -5;
  ReseedField(field, random, 41, page, count, scheme);
  EXPECT_EQ(page, 1);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(scheme, 1);
  EXPECT_EQ(field.Cell(1, 1, 1), 89);
  EXPECT_EQ(field.Cell(1, 1, 2), 0);
  EXPECT_EQ(field.Cell(1, 100, 100), 162);
  EXPECT_EQ(CountNonZero(field, 1), 4223);
  long sum = 0;
  for (int x = 1; x <= 100; ++x)
    for (int y = 1; y <= 100; ++y) sum += field.Cell(1, x, y);
  EXPECT_EQ(sum, 529730);
  EXPECT_EQ(random.state_, 3290502256u);
}

TEST(FieldTest, ReseedDensities) {
  CellField field = CreateField(100, 100);
  Random random = SeededAt(5000.0);
  int page = 1, count = 0, scheme = 0;
  bool seen_scheme[3] = {};
  for (int density : {1, 91, 99, 150, -1, -100}) {
    ReseedField(field, random, density, page, count, scheme);
    ASSERT_GE(scheme, 0);
    ASSERT_LE(scheme, 2);
    seen_scheme[scheme] = true;
    int filled = 0;
    for (int x = 1; x <= 100; ++x) {
      for (int y = 1; y <= 100; ++y) {
        const int v = field.Cell(1, x, y);
        ASSERT_TRUE(v == 0 || (v >= 64 && v <= 191)) << v;
        filled += v != 0;
      }
    }
    if (density >= 99) {
      EXPECT_EQ(filled, 10000) << density;
    } else if (density < 0) {
      EXPECT_EQ(filled, 0) << density;
    } else if (density == 1) {
      EXPECT_NEAR(filled, 200, 80);
    } else {
      EXPECT_NEAR(filled, 9200, 200);
    }
  }
  for (int i = 0; i < 30; ++i) {
    ReseedField(field, random, 1, page, count, scheme);
    seen_scheme[scheme] = true;
  }
  EXPECT_TRUE(seen_scheme[0] && seen_scheme[1] && seen_scheme[2]);
}

TEST(FieldTest, ReseedLeavesPageTwoAlone) {
  CellField field = CreateField(100, 100);
  field.Cell(2, 7, 9) = 200;
  Random random = SeededAt(1.0);
  int page = 2, count = 5, scheme = 0;
  ReseedField(field, random, 51, page, count, scheme);
  EXPECT_EQ(field.Cell(2, 7, 9), 200);
}

}  // namespace
}  // namespace glimmet
