// The generation step against a literal transcription of the rule, and the
// rule's corner cases one by one.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "automaton/step.h"
#include "tests/literal_step.h"

namespace glimmet {
namespace {

TEST(StepTest, NeighbourCountRoundsTheQuotient) {
  for (int s = 0; s <= 2040; ++s)
    ASSERT_EQ(NeighbourCount(s), static_cast<int>(std::nearbyint(s / 255.0))) << s;
}

TEST(StepTest, RuleMaskFindsEachDigitText) {
  EXPECT_EQ(RuleMask(""), 0u);
  EXPECT_EQ(RuleMask("345"), 0b111000u);
  EXPECT_EQ(RuleMask("53"), RuleMask("35"));
  EXPECT_EQ(RuleMask("3553"), RuleMask("35"));
  EXPECT_EQ(RuleMask("012345678"), 0x1FFu);
  EXPECT_EQ(RuleMask("9x- "), 0u);
}

// Fields of a few textures: uniform noise, values clustered around the
// live/dead threshold, and saturated 0/255 patterns that reach sums of 2040.
CellField TexturedField(Random& random, int texture) {
  CellField field = CreateField(100, 100);
  for (int x = 1; x <= 100; ++x) {
    for (int y = 1; y <= 100; ++y) {
      int v = RandomBelow(random, 256);
      if (texture == 1) v = 118 + RandomBelow(random, 21);
      if (texture == 2) v = RandomBelow(random, 2) * 255;
      field.Cell(1, x, y) = v;
    }
  }
  return field;
}

std::string RandomRule(Random& random) {
  std::string rule;
  const int length = RandomBelow(random, 12);
  for (int i = 0; i < length; ++i) rule += static_cast<char>('0' + RandomBelow(random, 10));
  return rule;
}

TEST(StepTest, MatchesLiteralTranscription) {
  Random random;
  SeedRandom(random, 31337.0);
  std::vector<std::pair<std::string, std::string>> rules = {
      {"5", "345"}, {"", ""}, {"", "345"}, {"5", ""}, {"012345678", "012345678"},
      {"53", "543"}, {"3355", "44"}, {"8", "0"}, {"9", "9"}};
  for (int i = 0; i < 40; ++i) rules.emplace_back(RandomRule(random), RandomRule(random));
  int case_number = 0;
  for (const auto& [survive, birth] : rules) {
    for (int growth = 0; growth <= 9; ++growth) {
      CellField fast = TexturedField(random, case_number++ % 3);
      CellField slow = fast;
      int fast_page = 1, slow_page = 1;
      for (int generation = 0; generation < 3; ++generation) {
        StepGeneration(fast, fast_page, survive, birth, growth);
        literal::Step(slow, slow_page, survive, birth, growth);
        ASSERT_EQ(fast_page, slow_page);
        for (int x = 1; x <= 100; ++x)
          for (int y = 1; y <= 100; ++y)
            ASSERT_EQ(fast.Cell(fast_page, x, y), slow.Cell(slow_page, x, y))
                << "survive '" << survive << "' birth '" << birth << "' growth "
                << growth << " generation " << generation << " at " << x << "," << y;
      }
    }
  }
}

TEST(StepTest, GrowthZeroKeepsEveryCellButFlipsThePage) {
  Random random;
  SeedRandom(random, 99.0);
  CellField field = TexturedField(random, 0);
  const CellField before = field;
  int page = 1;
  StepGeneration(field, page, "5", "345", 0);
  EXPECT_EQ(page, 2);
  for (int x = 1; x <= 100; ++x)
    for (int y = 1; y <= 100; ++y) ASSERT_EQ(field.Cell(2, x, y), before.Cell(1, x, y));
  StepGeneration(field, page, "5", "345", 0);
  EXPECT_EQ(page, 1);
}

// A field of zeros with one cell set; its count is 0, so it follows the rule
// for count 0 only.
int StepLoneCell(int value, const std::string& survive, const std::string& birth,
                 int growth) {
  CellField field = CreateField(100, 100);
  field.Cell(1, 50, 50) = value;
  int page = 1;
  StepGeneration(field, page, survive, birth, growth);
  return field.Cell(page, 50, 50);
}

TEST(StepTest, FourOutcomesAndTheirLimits) {
  EXPECT_EQ(StepLoneCell(250, "0", "", 4), 255);  // live, grows, limited
  EXPECT_EQ(StepLoneCell(10, "", "", 4), 0);      // dead, fades, limited
  EXPECT_EQ(StepLoneCell(129, "", "", 9), 84);    // live fades to dead
  EXPECT_EQ(StepLoneCell(128, "", "0", 9), 173);  // 128 is dead, follows birth
  EXPECT_EQ(StepLoneCell(128, "0", "", 1), 123);  // ... not survive
  EXPECT_EQ(StepLoneCell(129, "0", "", 1), 134);  // 129 follows survive
  EXPECT_EQ(StepLoneCell(100, "", "", 40), 55);   // growth above 9 acts as 9
  EXPECT_EQ(StepLoneCell(100, "", "0", -3), 100); // growth below 0 acts as 0
}

TEST(StepTest, TorusWrapsAtTheCorner) {
  // (1, 1)'s neighbours, all at 255: count 8 even though none is adjacent in
  // memory to the corner except (2, 1), (1, 2) and (2, 2).
  const int neighbours[8][2] = {{100, 1}, {100, 100}, {100, 2}, {1, 100},
                                {1, 2},   {2, 100},   {2, 1},   {2, 2}};
  CellField field = CreateField(100, 100);
  for (const auto& n : neighbours) field.Cell(1, n[0], n[1]) = 255;
  int page = 1;
  StepGeneration(field, page, "", "8", 2);
  EXPECT_EQ(field.Cell(page, 1, 1), 10);
  // Take away one: count 7 is not in the birth rule.
  field = CreateField(100, 100);
  for (int i = 1; i < 8; ++i) field.Cell(1, neighbours[i][0], neighbours[i][1]) = 255;
  page = 1;
  StepGeneration(field, page, "", "8", 2);
  EXPECT_EQ(field.Cell(page, 1, 1), 0);
}

TEST(StepTest, EmptySurviveFadesEveryLiveCell) {
  CellField field = CreateField(100, 100);
  for (int x = 1; x <= 100; ++x)
    for (int y = 1; y <= 100; ++y) field.Cell(1, x, y) = 200;
  int page = 1;
  StepGeneration(field, page, "", "", 3);
  for (int x = 1; x <= 100; ++x)
    for (int y = 1; y <= 100; ++y) ASSERT_EQ(field.Cell(page, x, y), 185);
}

}  // namespace
}  // namespace glimmet
