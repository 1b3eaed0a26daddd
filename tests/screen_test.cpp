// The screen model's console rules, and its rendering checked through a
// terminal emulator: what the terminal ends up showing must be the model.
#include <gtest/gtest.h>

#include "console/screen.h"
#include "support/random.h"
#include "tests/vt.h"

namespace glimmet {
namespace {

using testing::Vt;

ScreenModel Panel() {
  ScreenModel model;
  model.Resize(44, 14, MakeAttribute(7, 0));
  return model;
}

void Write(ScreenModel& model, const std::string& text, Attribute attr = MakeAttribute(7, 0)) {
  for (char c : text) model.Write(static_cast<std::uint8_t>(c), attr);
}

TEST(ScreenModelTest, WrapsAfterTheLastColumnAndScrollsFromTheLastRow) {
  ScreenModel model = Panel();
  Write(model, "top");
  model.MoveCursor(14, 1);
  Write(model, std::string(43, 'x'));
  EXPECT_EQ(model.Row(), 14);
  EXPECT_EQ(model.Column(), 44);
  EXPECT_EQ(model.At(1, 1).ch_, 't');
  Write(model, "y");
  EXPECT_EQ(model.Row(), 14);
  EXPECT_EQ(model.Column(), 1);
  EXPECT_EQ(model.At(1, 1).ch_, ' ');  // "top" scrolled away
  EXPECT_EQ(model.At(13, 44).ch_, 'y');
  EXPECT_EQ(model.At(14, 1).ch_, ' ');
  model.MoveCursor(3, 40);
  Write(model, "abcdef");  // wraps into row 4
  EXPECT_EQ(model.At(3, 44).ch_, 'e');
  EXPECT_EQ(model.At(4, 1).ch_, 'f');
  model.Newline(MakeAttribute(7, 0));
  EXPECT_EQ(model.Row(), 5);
  EXPECT_EQ(model.Column(), 1);
}

TEST(ScreenModelTest, CursorMovesOnlyWithinTheBuffer) {
  ScreenModel model = Panel();
  model.MoveCursor(5, 10);
  model.MoveCursor(0, 28);
  EXPECT_EQ(model.Row(), 5);
  EXPECT_EQ(model.Column(), 28);
  model.MoveCursor(7, 45);
  EXPECT_EQ(model.Row(), 7);
  EXPECT_EQ(model.Column(), 28);
  model.MoveCursor(15, 50);
  EXPECT_EQ(model.Row(), 7);
  EXPECT_EQ(model.Column(), 28);
  model.MoveCursor(14, 44);
  EXPECT_EQ(model.Row(), 14);
  EXPECT_EQ(model.Column(), 44);
}

TEST(ScreenModelTest, RecolourKeepsCharactersAndCursor) {
  ScreenModel model = Panel();
  model.MoveCursor(2, 42);
  Write(model, "abcdef");
  model.MoveCursor(2, 42);
  model.Recolour(5, MakeAttribute(12, 0));
  EXPECT_EQ(model.Row(), 2);
  EXPECT_EQ(model.Column(), 42);
  EXPECT_EQ(model.At(2, 42).ch_, 'a');
  EXPECT_EQ(model.At(2, 42).attr_, MakeAttribute(12, 0));
  EXPECT_EQ(model.At(3, 2).attr_, MakeAttribute(12, 0));  // into the next row
  EXPECT_EQ(model.At(3, 3).attr_, MakeAttribute(7, 0));
  model.MoveCursor(14, 44);
  model.Recolour(1000, MakeAttribute(1, 0));  // stops at the end of the buffer
  EXPECT_EQ(model.At(14, 44).attr_, MakeAttribute(1, 0));
}

TEST(ScreenModelTest, ControlBytesAreNotPassedOn) {
  ScreenModel model = Panel();
  Write(model, "a\x1b[2Jb\x07" "c\x01");
  EXPECT_EQ(model.At(1, 1).ch_, 'a');
  EXPECT_EQ(model.At(1, 2).ch_, '?');
  EXPECT_EQ(model.At(1, 3).ch_, '[');
  EXPECT_EQ(model.At(1, 6).ch_, 'b');
  EXPECT_EQ(model.At(1, 7).ch_, 'c');  // the bell does nothing
  EXPECT_EQ(model.At(1, 8).ch_, '?');
  EXPECT_EQ(model.Column(), 9);
}

// The SGR foreground of each console colour: the console's index has blue
// in bit 0 and red in bit 2, ANSI's the other way round.
int SgrForeground(Attribute attr) {
  constexpr int kSgr[16] = {30, 34, 32, 36, 31, 35, 33, 37, 90, 94, 92, 96, 91, 95, 93, 97};
  return kSgr[attr & 15];
}

void ExpectShows(const Vt& vt, const ScreenModel& model) {
  for (int r = 1; r <= model.Rows(); ++r) {
    for (int c = 1; c <= model.Columns(); ++c) {
      const Cell& cell = model.At(r, c);
      ASSERT_EQ(vt.At(r, c).ch_, static_cast<char32_t>(cell.ch_)) << r << "," << c;
      ASSERT_EQ(vt.At(r, c).fg_, SgrForeground(cell.attr_)) << r << "," << c;
    }
  }
}

TEST(RenderTest, TheTerminalShowsTheModelAfterEveryChange) {
  Random random;
  SeedRandom(random, 4242.0);
  ScreenModel model = Panel();
  TerminalView view;
  view.columns_ = 80;
  view.rows_ = 24;
  Vt vt(80, 24);
  for (int round = 0; round < 300; ++round) {
    model.MoveCursor(1 + RandomBelow(random, 14), 1 + RandomBelow(random, 44));
    const Attribute attr = MakeAttribute(RandomBelow(random, 16), 0);
    std::string text;
    for (int i = RandomBelow(random, 50); i > 0; --i)
      text += static_cast<char>(RandomBelow(random, 5) == 0 ? '\n' : 32 + RandomBelow(random, 224));
    Write(model, text, attr);
    if (round % 7 == 0) model.Recolour(RandomBelow(random, 60), MakeAttribute(12, 0));
    std::string out;
    Render(model, view, out);
    vt.Feed(out);
    ExpectShows(vt, model);
    EXPECT_EQ(vt.unknown_, 0);
    EXPECT_EQ(vt.At(20, 60).ch_, U' ');  // nothing beyond the buffer
  }
}

TEST(RenderTest, OnlyChangedCellsAreSent) {
  ScreenModel model = Panel();
  TerminalView view;
  view.columns_ = 44;
  view.rows_ = 14;
  std::string out;
  Render(model, view, out);
  model.cursor_visible_ = false;
  out.clear();
  Render(model, view, out);
  EXPECT_EQ(out, "\x1b[?25l");
  out.clear();
  Render(model, view, out);
  EXPECT_EQ(out, "");
  model.MoveCursor(12, 28);
  Write(model, "00000041");
  Render(model, view, out);
  out.clear();
  model.MoveCursor(12, 28);
  Write(model, "00000042");
  Render(model, view, out);
  EXPECT_EQ(out, "\x1b[12;35H2");
}

TEST(RenderTest, ColoursAsSgr) {
  EXPECT_EQ(AttributeSequence(MakeAttribute(15, 0)), "\x1b[97;40m");
  EXPECT_EQ(AttributeSequence(MakeAttribute(7, 0)), "\x1b[37;40m");
  EXPECT_EQ(AttributeSequence(MakeAttribute(12, 0)), "\x1b[91;40m");
  EXPECT_EQ(AttributeSequence(MakeAttribute(1, 4)), "\x1b[34;41m");
  EXPECT_EQ(AttributeSequence(MakeAttribute(6, 9)), "\x1b[33;104m");
}

TEST(RenderTest, ATerminalTooSmallGetsTheSizeLineUntilItGrows) {
  ScreenModel model = Panel();
  Write(model, "GLIMMET2 - Cellular Automata Toy");
  TerminalView view;
  view.columns_ = 40;
  view.rows_ = 12;
  Vt small(40, 12);
  std::string out;
  Render(model, view, out);
  small.Feed(out);
  EXPECT_EQ(small.Text(6), "    GLIMMET2 needs at least 44 x 14     ");
  out.clear();
  Render(model, view, out);
  EXPECT_EQ(out, "");  // shown once
  view.columns_ = 44;
  view.rows_ = 14;
  Vt grown(44, 14);
  Render(model, view, out);
  grown.Feed(out);
  ExpectShows(grown, model);
  EXPECT_EQ(SizeMessage(44, 14, 80), "GLIMMET2 needs a terminal of at least 44 x 14");
  EXPECT_EQ(SizeMessage(44, 14, 20), "Needs 44 x 14");
  EXPECT_EQ(SizeMessage(44, 14, 5), "44 x ");
}

}  // namespace
}  // namespace glimmet
