// The generator's published sequences, the seeding's single-precision
// rounding, the clock reading and the floor.
#include <gtest/gtest.h>

#include <cmath>

#include "support/random.h"

namespace glimmet {
namespace {

TEST(RandomTest, PublishedSequences) {
  Random midnight;
  SeedRandom(midnight, 0.0);
  EXPECT_EQ(midnight.state_, 0u);
  EXPECT_EQ(RandomValue(midnight), 0.0);
  EXPECT_EQ(RandomValue(midnight), 0.031379939522594213);
  EXPECT_EQ(midnight.state_ >> 1, 67387907u);
  EXPECT_EQ(RandomValue(midnight), 0.8610484669916332);

  Random noon;
  SeedRandom(noon, 43200.0);
  EXPECT_EQ(noon.state_, 0x4728C000u);
  const double a = RandomValue(noon), b = RandomValue(noon), c = RandomValue(noon);
  EXPECT_EQ(a, 0.4015464782714844);
  EXPECT_EQ(b, 0.09770608088001609);
  EXPECT_EQ(c, 0.48564792377874255);
  EXPECT_EQ(FloorValue(3 * a), 1.0);
  EXPECT_EQ(FloorValue(3 * b), 0.0);
  EXPECT_EQ(FloorValue(3 * c), 1.0);
  // Whole draws are floor(n r): the same sequence as the seeding's first cells.
  Random cells;
  SeedRandom(cells, 43200.0);
  for (int expected : {102, 25, 124, 202, 137, 156}) EXPECT_EQ(RandomBelow(cells, 256), expected);

  Random unseeded;
  EXPECT_EQ(RandomValue(unseeded), 0.9686200609430671);
  EXPECT_EQ(unseeded.state_, 0xF7F77BFCu);
  EXPECT_EQ(RandomValue(unseeded), 0.20171141158789396);
  EXPECT_EQ(RandomValue(unseeded), 0.519515969324857);
  Random thirds;
  for (int expected : {2, 0, 1, 0, 2, 0}) EXPECT_EQ(RandomBelow(thirds, 3), expected);
}

TEST(RandomTest, SeedRoundsToSinglePrecision) {
  Random a, b;
  // One step of single precision is 1/256 s between 32 768 s and 65 536 s.
  SeedRandom(a, 40000.001);
  SeedRandom(b, 40000.0015);
  EXPECT_EQ(a.state_, b.state_);
  SeedRandom(b, 40000.004);
  EXPECT_NE(a.state_, b.state_);
  Random last, midnight_next;
  SeedRandom(last, 86399.999);
  SeedRandom(midnight_next, 86400.0);
  EXPECT_EQ(last.state_, midnight_next.state_);
}

// The state that the next step turns into `target`, by inverting the
// multiplier modulo 2^32 (Newton's iteration doubles the good bits).
std::uint32_t StateBefore(std::uint32_t target) {
  std::uint32_t inverse = 134775813u;
  for (int i = 0; i < 5; ++i) inverse *= 2u - 134775813u * inverse;
  return (target - 1u) * inverse;
}

TEST(RandomTest, LargestDrawStaysBelowN) {
  Random top;
  top.state_ = StateBefore(0xFFFFFFFFu);
  EXPECT_EQ(RandomBelow(top, 256), 255);
  top.state_ = StateBefore(0xFFFFFFFEu);
  const double r = RandomValue(top);
  EXPECT_EQ(r, 1.0 - 0x1p-31);
  EXPECT_LT(r, 1.0);
}

TEST(RandomTest, ClockReading) {
  EXPECT_EQ(SecondsOfDay(0, 0, 0, 0), 0.0);
  EXPECT_EQ(SecondsOfDay(12, 0, 0, 0), 43200.0);
  EXPECT_EQ(SecondsOfDay(23, 59, 59, 999), 86399.999);
  // Summed in milliseconds and divided once: 0.1 + 0.2 style error is absent.
  EXPECT_EQ(SecondsOfDay(0, 0, 0, 300), 0.3);
}

}  // namespace
}  // namespace glimmet
