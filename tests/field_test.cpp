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

TEST(FieldTest, CreatedEmpty) {
  const CellField field = CreateField(100, 100);
  EXPECT_EQ(CountNonZero(field, 1), 0);
  EXPECT_EQ(CountNonZero(field, 2), 0);
}

TEST(FieldTest, InitialSeedingTakesOneDrawPerCellColumnByColumn) {
  CellField field = CreateField(100, 100);
  Random random = SeededAt(43200.0);
  Random replay = random;
  int page = 2;
  SeedField(field, random, page);
  EXPECT_EQ(page, 1);
  for (int x = 1; x <= 100; ++x)
    for (int y = 1; y <= 100; ++y)
      ASSERT_EQ(field.Cell(1, x, y), RandomBelow(replay, 256)) << x << "," << y;
  EXPECT_EQ(random.state_, replay.state_);
  EXPECT_EQ(CountNonZero(field, 2), 0);
}

TEST(FieldTest, SameSeedSameField) {
  CellField a = CreateField(100, 100), b = CreateField(100, 100);
  Random ra = SeededAt(1234.5), rb = SeededAt(1234.5);
  int page = 1;
  SeedField(a, ra, page);
  SeedField(b, rb, page);
  EXPECT_EQ(a.cells_, b.cells_);
}

TEST(FieldTest, ReseedDrawOrderAndState) {
  CellField field = CreateField(100, 100);
  Random random = SeededAt(777.0);
  int page = 2, count = 1234, scheme = -5;
  Random replay = random;
  ReseedField(field, random, 41, page, count, scheme);
  EXPECT_EQ(page, 1);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(scheme, RandomBelow(replay, 3));
  for (int x = 1; x <= 100; ++x) {
    for (int y = 1; y <= 100; ++y) {
      const int expected =
          RandomBelow(replay, 100) > 41 ? 0 : 64 + RandomBelow(replay, 128);
      ASSERT_EQ(field.Cell(1, x, y), expected) << x << "," << y;
    }
  }
  EXPECT_EQ(random.state_, replay.state_);
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
