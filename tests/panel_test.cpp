// The panel's screen, cell by cell, and every cell of the hit table with
// what its command does to the program's state. The console here has no
// terminal: what it would show is its screen model.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "automaton/step.h"
#include "panel/commands.h"
#include "panel/layout.h"
#include "panel/panel.h"
#include "tests/panel_text.h"
#include "view/picture.h"
#include "view/placement.h"
#include "view/scale.h"

namespace glimmet {
namespace {

const Attribute kGrey = MakeAttribute(7, 0);
const Attribute kWhite = MakeAttribute(15, 0);
const Attribute kRed = MakeAttribute(12, 0);

std::string Text(const Console& console, int row) {
  std::string text;
  for (int c = 1; c <= console.screen_.Columns(); ++c) text += static_cast<char>(console.screen_.At(row, c).ch_);
  return text;
}

Attribute AttrAt(const Console& console, int row, int column) {
  return console.screen_.At(row, column).attr_;
}

std::string Padded(const std::string& text) { return text + std::string(44 - text.size(), ' '); }

// The rows of the golden panel; the counter's digits, marked # there, read
// 0 before the first generation.
std::vector<std::string> GoldenRows() {
  std::vector<std::string> rows;
  std::string text = testing::kPanelText;
  for (std::size_t at; (at = text.find('\n')) != std::string::npos; text.erase(0, at + 1))
    rows.push_back(text.substr(0, at));
  for (std::string& row : rows)
    for (char& ch : row)
      if (ch == '#' && row.find("Generation") != std::string::npos) ch = '0';
  return rows;
}

TEST(PanelTest, TheScreenAsThePanelStarts) {
  Console console;
  DrawPanel(console);
  EXPECT_FALSE(console.screen_.cursor_visible_);
  EXPECT_EQ(console.screen_.Row(), 14);  // not scrolled: the cursor ends after QUIT
  EXPECT_EQ(console.screen_.Column(), 44);
  DrawRuleRow(console, kSurviveRow, kDefaultSurvive);
  DrawRuleRow(console, kBirthRow, kDefaultBirth);
  DrawGrowthSlider(console, kDefaultGrowthRate);
  const std::vector<std::string> rows = GoldenRows();
  ASSERT_EQ(rows.size(), 14u);
  ASSERT_EQ(console.screen_.Columns(), 44);
  ASSERT_EQ(console.screen_.Rows(), 14);
  for (int r = 1; r <= 14; ++r) {
    const std::string& row = rows[r - 1];
    EXPECT_EQ(Text(console, r), Padded(row)) << "row " << r;
    for (int c = 1; c <= 44; ++c) {
      const bool title = r <= 2 && c <= static_cast<int>(row.size());
      const bool on = c <= static_cast<int>(row.size()) && row[c - 1] == 'X';
      ASSERT_EQ(AttrAt(console, r, c), title ? kWhite : on ? kRed : kGrey) << r << "," << c;
    }
  }
}

constexpr PanelItem kCounts = PanelControl(Control::kSurviveCounts);
constexpr PanelItem kGrowth = PanelControl(Control::kGrowthTrack);
constexpr PanelItem kCounter = PanelControl(Control::kCounter);

// The (row, column) of a cell of a control, `offset` cells from its first.
std::pair<int, int> CellOf(Control control, int offset = 0) {
  const PanelItem& item = PanelControl(control);
  return {item.row_, item.first_ + offset};
}

// The nine count cells of a row as drawn: 'X' in red or '|' in grey.
std::string CountCells(const Console& console, int row) {
  std::string cells;
  for (int c = kCounts.first_; c <= kCounts.last_; ++c) {
    const char ch = static_cast<char>(console.screen_.At(row, c).ch_);
    EXPECT_EQ(AttrAt(console, row, c), ch == 'X' ? kRed : kGrey);
    cells += ch;
  }
  return cells;
}

TEST(PanelTest, RuleRows) {
  Console console;
  DrawPanel(console);
  const std::map<std::string, std::string> drawn = {
      {"", "|||||||||"},          {"012345678", "XXXXXXXXX"}, {"345", "|||XXX|||"},
      {"53", "|||X|X|||"},        {"5353", "|||X|X|||"},      {"9x-8 ", "||||||||X"},
  };
  for (const auto& [rule, cells] : drawn) {
    DrawRuleRow(console, kSurviveRow, rule);
    EXPECT_EQ(CountCells(console, kSurviveRow), cells) << "rule '" << rule << "'";
    DrawRuleRow(console, kBirthRow, rule);
    EXPECT_EQ(CountCells(console, kBirthRow), cells) << "rule '" << rule << "'";
  }
  EXPECT_EQ(Text(console, kSurviveRow), Padded(" Survive with # neighbors: ||||||||X ?"));
}

TEST(PanelTest, GrowthSliderAtAndBeyondItsEnds) {
  Console console;
  DrawPanel(console);
  for (const auto& [rate, offset] :
       std::map<int, int>{{0, 0}, {4, 4}, {9, 9}, {-1, 0}, {10, 9}, {-1000, 0}}) {
    DrawGrowthSlider(console, rate);
    for (int c = kGrowth.first_; c <= kGrowth.last_; ++c) {
      const bool marker = c == kGrowth.first_ + offset;
      ASSERT_EQ(console.screen_.At(kGrowth.row_, c).ch_, marker ? 'X' : '-') << rate << " " << c;
      ASSERT_EQ(AttrAt(console, kGrowth.row_, c), marker ? kRed : kGrey);
    }
    EXPECT_EQ(Text(console, kGrowth.row_), Padded("              Growth rate: 0 " +
                                                  Text(console, kGrowth.row_).substr(29, 10) +
                                                  " 100"));
  }
}

TEST(PanelTest, GenerationCounter) {
  Console console;
  DrawPanel(console);
  for (const auto& [count, shown] : std::map<int, std::string>{
           {0, "00000000"}, {1, "00000001"}, {7, "00000007"}, {4096, "00004096"},
           {99999999, "99999999"}, {123456789, "23456789"}, {-5, "00000000"}}) {
    DrawGenerationCounter(console, count);
    EXPECT_EQ(Text(console, kCounter.row_), Padded("               Generation: " + shown))
        << count;
  }
  for (int c = kCounter.first_; c <= kCounter.last_; ++c)
    EXPECT_EQ(AttrAt(console, kCounter.row_, c), kGrey);
}

TEST(CommandTest, Toggles) {
  std::string rule = "345";
  ToggleCount(rule, 4);
  EXPECT_EQ(rule, "35");
  ToggleCount(rule, 4);
  EXPECT_EQ(rule, "354");
  rule = "5";
  ToggleCount(rule, 0);
  EXPECT_EQ(rule, "50");
  ToggleCount(rule, 5);
  EXPECT_EQ(rule, "0");
  rule = "3553";  // a digit held twice goes entirely
  ToggleCount(rule, 3);
  EXPECT_EQ(rule, "55");
}

// Nine draws, one a count from 0 up, each in the rule at 0.6 or more.
TEST(CommandTest, RandomRulesAsPublished) {
  Random random;
  SeedRandom(random, 43200.0);
  for (const char* expected : {"357", "3", "123468", "346", "3578", "1368"})
    EXPECT_EQ(RandomRule(random), expected);
  EXPECT_EQ(random.state_, 3571702162u);
}

ProgramState Fresh() {
  ProgramState state;
  SeedRandom(state.random_, 1000.0);
  state.field_ = CreateField(100, 100);
  SeedField(state.field_, state.random_, state.current_page_);
  state.current_page_ = 2;
  state.generation_count_ = 77;
  return state;
}

void Click(Console& console, std::pair<int, int> cell) {
  console.input_.mouse_row_ = cell.first;
  console.input_.mouse_column_ = cell.second;
}

// What a click on (row, column) did, as a short description.
std::string Effect(int row, int column) {
  Console console;
  DrawPanel(console);
  ProgramState state = Fresh();
  const ProgramState before = state;
  Click(console, {row, column});
  const bool quit = HandlePanelClick(state, console);
  if (quit) return "quit";
  if (state.survive_ != before.survive_) return "survive " + state.survive_;
  if (state.birth_ != before.birth_) return "birth " + state.birth_;
  // DrawPanel draws no marker, so a marker means the slider was redrawn.
  const bool slider_drawn = Text(console, kGrowth.row_).find('X') != std::string::npos;
  if (state.growth_rate_ != before.growth_rate_ || slider_drawn)
    return "growth " + std::to_string(state.growth_rate_);
  if (state.generation_count_ != before.generation_count_) return "reseed";
  if (state.pause_ != before.pause_) return "pause";
  if (state.step_ != before.step_) return "step";
  if (state.random_.state_ != before.random_.state_) return "drew";
  return "";
}

// Where a text first stands on the golden panel, as a person finds a
// control by what it shows, (row, column) from 1, `offset` cells on.
std::pair<int, int> Golden(const std::string& text, int offset = 0) {
  const std::vector<std::string> rows = GoldenRows();
  for (std::size_t r = 0; r < rows.size(); ++r)
    if (const std::size_t at = rows[r].find(text); at != std::string::npos)
      return {static_cast<int>(r) + 1, static_cast<int>(at) + 1 + offset};
  ADD_FAILURE() << '"' << text << "\" is not on the panel";
  return {0, 0};
}

// Every cell of every control runs that control's command, and every other
// cell, beyond the panel's edges too, does nothing. The controls' cells
// come from the golden panel, not from the hit table under test: the
// counts under "012345678", a rule's "?" at its row's end, the tracks
// after "0" and "E", a button's own text.
TEST(CommandTest, EveryCellOfTheHitTable) {
  std::map<std::pair<int, int>, std::string> expected;
  const int counts = Golden("012345678").second;
  const int survive_row = Golden("Survive with").first, birth_row = Golden("Born with").first;
  for (int offset = 0; offset <= 8; ++offset) {
    std::string survive = "5", birth = "345";
    ToggleCount(survive, offset);
    ToggleCount(birth, offset);
    expected[{survive_row, counts + offset}] = "survive " + survive;
    expected[{birth_row, counts + offset}] = "birth " + birth;
  }
  const int question = static_cast<int>(GoldenRows()[survive_row - 1].find('?')) + 1;
  expected[{survive_row, question}] = "random survive";
  expected[{birth_row, question}] = "random birth";
  for (int offset = 0; offset <= 9; ++offset) {
    expected[Golden("0 ----X", 2 + offset)] = "growth " + std::to_string(offset);
    expected[Golden("E ---", 2 + offset)] = "reseed";
  }
  for (const std::string button : {"PAUSE", "STEP", "QUIT"}) {
    std::string effect = button;
    for (char& ch : effect) ch = static_cast<char>(std::tolower(ch));
    for (std::size_t c = 0; c < button.size(); ++c)
      expected[Golden(button, static_cast<int>(c))] = effect;
  }
  for (int row = 0; row <= 15; ++row) {
    for (int column = 0; column <= 45; ++column) {
      const auto want = expected.find({row, column});
      const std::string effect = Effect(row, column);
      if (want == expected.end()) {
        EXPECT_EQ(effect, "") << "row " << row << " column " << column;
      } else if (want->second.rfind("random ", 0) == 0) {
        // A drawn rule may happen to equal the old one; the nine draws show.
        EXPECT_TRUE(effect.rfind(want->second.substr(7), 0) == 0 || effect == "drew")
            << row << "," << column << ": " << effect;
      } else {
        EXPECT_EQ(effect, want->second) << "row " << row << " column " << column;
      }
    }
  }
}

TEST(CommandTest, CommandsRedrawTheirWidgets) {
  Console console;
  DrawPanel(console);
  ProgramState state = Fresh();
  DrawRuleRow(console, kSurviveRow, state.survive_);
  Click(console, CellOf(Control::kSurviveCounts, 0));
  HandlePanelClick(state, console);
  EXPECT_EQ(CountCells(console, kSurviveRow), "X||||X|||");
  Click(console, CellOf(Control::kBirthCounts, 4));
  HandlePanelClick(state, console);
  EXPECT_EQ(state.birth_, "35");
  EXPECT_EQ(CountCells(console, kBirthRow), "|||X|X|||");
  const auto [row, top] = CellOf(Control::kGrowthTrack, 9);
  Click(console, {row, top});
  HandlePanelClick(state, console);
  EXPECT_EQ(console.screen_.At(row, top).ch_, 'X');
  // The same rate again still redraws: a stray marker is wiped.
  const auto [stray_row, stray] = CellOf(Control::kGrowthTrack, 1);
  console.screen_.MoveCursor(stray_row, stray);
  PrintText(console, "X");
  HandlePanelClick(state, console);
  EXPECT_EQ(console.screen_.At(stray_row, stray).ch_, '-');
}

// The sparsest next to "E", the densest next to "F": densities 1, 11, ...
// 91, which the same start seeds with these many live cells.
TEST(CommandTest, DensityTrackReseedsAtTenDensities) {
  const int kLive[] = {200, 1240, 2214, 3155, 4153, 5134, 6151, 7165, 8211, 9188};
  for (int offset = 0; offset <= 9; ++offset) {
    Console console;
    ProgramState state = Fresh();
    Click(console, CellOf(Control::kDensityTrack, offset));
    HandlePanelClick(state, console);
    EXPECT_EQ(state.current_page_, 1);
    EXPECT_EQ(state.generation_count_, 0);
    int live = 0;
    for (int x = 1; x <= 100; ++x)
      for (int y = 1; y <= 100; ++y) live += state.field_.Cell(1, x, y) != 0;
    EXPECT_EQ(live, kLive[offset]) << offset;
  }
}

// A click on each of PAUSE, STEP and QUIT is in the hit table's test; a
// second click on PAUSE ends the pause.
TEST(CommandTest, PauseTogglesBack) {
  Console console;
  ProgramState state = Fresh();
  Click(console, CellOf(Control::kPause, 2));
  EXPECT_FALSE(HandlePanelClick(state, console));
  EXPECT_FALSE(HandlePanelClick(state, console));
  EXPECT_EQ(state.pause_, 0);
}

// One desk as it was measured: its monitors (with the usable part each
// publishes), the one the pointer is on, the terminal's window as X reports
// it (where it can be found), what the terminal tells of its text area,
// where its text really lies, and the window manager's frame around the
// field.
struct Desk {
  const char* name_;
  std::vector<Monitor> monitors_;
  int pointer_on_;
  bool found_;
  TerminalOnScreen terminal_;
  int columns_, rows_, told_width_, told_height_;
  ScreenPoint text_;
  int cell_width_, cell_height_;
  Extents frame_;
};

const Monitor kXvfb{{0, 0, 1280, 1024}, {0, 0, 1280, 1024}};
const Monitor kGnomeXvfb{{0, 0, 1280, 1024}, {0, 32, 1280, 992}};
// A laptop's screen at x = 0, bottom-aligned beside a larger one: (300,
// 300) lies above the laptop's screen, off both. Mutter and marco publish
// a work area for the larger one only; SDL then gives the laptop's as
// empty.
const Monitor kLaptop{{0, 672, 1368, 768}, {0, 672, 1368, 728}};
const Monitor kLaptopUntold{{0, 672, 1368, 768}, {}};
const Monitor kLargeBeside{{1368, 0, 2560, 1440}, {1368, 32, 2560, 1408}};

// Measured in an Xvfb of 1280 x 1024: GNOME 43 (GNOME Terminal, whose VTE
// tells no pixel size; a 44-px header bar; GTK's shadow around a window
// that is not maximized) and kwin_wayland 5.27 (Konsole). On Wayland both
// terminals are Wayland clients, which an X11 program cannot find. The two
// monitors as Cinnamon, GNOME on Xorg and MATE showed them.
const Desk kDesks[] = {
    {"GNOME on Xorg, maximized", {kGnomeXvfb}, 0, true, {{0, 32, 1280, 992}, {}},
     140, 52, 0, 0, {0, 76}, 9, 18, {0, 0, 37, 0}},
    {"GNOME on Xorg, left half", {kGnomeXvfb}, 0, true,
     {{-20, 12, 680, 1032}, {20, 20, 20, 20}}, 69, 52, 0, 0, {0, 76}, 9, 18, {0, 0, 37, 0}},
    {"GNOME on Xorg, right half", {kGnomeXvfb}, 0, true,
     {{620, 12, 680, 1032}, {20, 20, 20, 20}}, 69, 52, 0, 0, {640, 76}, 9, 18, {0, 0, 37, 0}},
    {"GNOME on Xorg, where it opens", {kGnomeXvfb}, 0, true,
     {{245, 18, 788, 533}, {26, 26, 23, 29}}, 80, 24, 0, 0, {271, 85}, 9, 18, {0, 0, 37, 0}},
    {"GNOME on Xorg, maximized, 20 pt", {kGnomeXvfb}, 0, true, {{0, 32, 1280, 992}, {}},
     80, 28, 0, 0, {0, 76}, 16, 33, {0, 0, 37, 0}},
    // Started with the terminal's first size, maximized as it started.
    {"GNOME on Xorg, maximized late", {kGnomeXvfb}, 0, true, {{0, 32, 1280, 992}, {}},
     80, 24, 0, 0, {0, 76}, 9, 18, {0, 0, 37, 0}},
    {"GNOME on Wayland, maximized", {kGnomeXvfb}, 0, false, {}, 140, 52, 0, 0, {0, 76},
     9, 18, {0, 0, 37, 0}},
    {"GNOME on Wayland, left half", {kGnomeXvfb}, 0, false, {}, 69, 52, 0, 0, {0, 76},
     9, 18, {0, 0, 37, 0}},
    {"GNOME on Wayland, right half", {kGnomeXvfb}, 0, false, {}, 69, 52, 0, 0, {640, 76},
     9, 18, {0, 0, 37, 0}},
    {"GNOME on Wayland, maximized, 20 pt", {kGnomeXvfb}, 0, false, {}, 80, 28, 0, 0,
     {0, 76}, 16, 33, {0, 0, 37, 0}},
    {"KDE on Wayland, maximized", {kXvfb}, 0, false, {}, 181, 62, 0, 0, {2, 88}, 7,
     15, {0, 0, 37, 0}},
    {"KDE on Wayland, maximized, 20 pt", {kXvfb}, 0, false, {}, 79, 28, 0, 0,
     {2, 88}, 16, 33, {0, 0, 37, 0}},
    {"Cinnamon, laptop beside a larger screen", {kLaptop, kLargeBeside}, 0, true,
     {{0, 709, 720, 432}, {}}, 80, 24, 720, 432, {0, 709}, 9, 18, {0, 0, 37, 0}},
    {"GNOME on Xorg, laptop beside a larger screen", {kLaptopUntold, kLargeBeside}, 0, true,
     {{-20, 652, 760, 560}, {20, 20, 20, 20}}, 80, 24, 0, 0, {0, 716}, 9, 18, {0, 0, 37, 0}},
    {"GNOME on Xorg, laptop beside, terminal not found", {kLaptopUntold, kLargeBeside}, 0,
     false, {}, 80, 24, 0, 0, {0, 716}, 9, 18, {0, 0, 37, 0}},
    {"MATE, laptop beside, terminal not found", {kLaptopUntold, kLargeBeside}, 0, false, {},
     80, 24, 0, 0, {0, 698}, 8, 17, {0, 0, 26, 0}},
    {"MATE, larger screen first, laptop right", {{{0, 0, 2560, 1440}, {0, 0, 2560, 1400}},
                                                 {{2560, 672, 1368, 768}, {}}}, 1, false, {},
     80, 24, 0, 0, {2560, 698}, 8, 17, {0, 0, 26, 0}},
};

bool InsideAny(const ScreenRect& r, const std::vector<Monitor>& monitors) {
  for (const Monitor& m : monitors)
    if (Inside(r, UsableArea(m))) return true;
  return false;
}

// Every desk: the field's frame, where the desk puts it after the program
// has chosen, meets no cell of a control and lies in a usable area.
TEST(PlacementTest, TheFieldCoversNoControlOnAnyDesk) {
  constexpr int kGap = 8;
  for (const Desk& d : kDesks) {
    const TerminalGrid grid{44, 14, d.columns_, d.rows_, d.told_width_, d.told_height_};
    const ScreenRect usual{300, 300, 100 + d.frame_.left_ + d.frame_.right_,
                           100 + d.frame_.top_ + d.frame_.bottom_};
    const ScreenRect panel = PanelOnScreen(d.terminal_, grid);
    const ScreenPoint corner =
        ChooseCorner(usual, d.found_ ? &panel : nullptr, d.monitors_, d.pointer_on_, kGap);
    const ScreenRect field =
        WhereItLands({corner.x_, corner.y_, usual.width_, usual.height_}, d.monitors_);
    EXPECT_TRUE(field.x_ == corner.x_ && field.y_ == corner.y_)
        << d.name_ << ": asked for " << corner.x_ << ", " << corner.y_ << ", put at "
        << field.x_ << ", " << field.y_;
    for (const PanelItem& item : kPanelItems) {
      if (item.control_ == Control::kNone) continue;
      const ScreenRect cells{d.text_.x_ + (item.first_ - 1) * d.cell_width_,
                             d.text_.y_ + (item.row_ - 1) * d.cell_height_,
                             (item.last_ - item.first_ + 1) * d.cell_width_, d.cell_height_};
      EXPECT_FALSE(Overlap(field, cells)) << d.name_ << ": over \"" << item.text_ << "\" at "
                                          << field.x_ << ", " << field.y_;
    }
    EXPECT_TRUE(InsideAny(field, d.monitors_))
        << d.name_ << ": outside every usable area at " << field.x_ << ", " << field.y_;
  }
}

// A desk keeps a window on a screen: one asked for off every screen, or
// half off one, is moved in as little as it takes.
TEST(PlacementTest, WhereTheDeskPutsAWindow) {
  const std::vector<Monitor> two{kLaptopUntold, kLargeBeside};
  const struct {
    ScreenRect asked;
    ScreenPoint landed;
  } kCases[] = {
      {{300, 300, 100, 137}, {300, 672}},    // above the laptop: onto its top edge
      {{1300, 900, 100, 137}, {1268, 900}},  // half off the laptop's right
      {{2000, 100, 100, 137}, {2000, 100}},  // well inside the larger screen
      {{1400, 10, 100, 137}, {1400, 32}},    // under its top bar
      {{-50, 1400, 100, 137}, {0, 1303}},    // below and left of everything
  };
  for (const auto& c : kCases) {
    const ScreenRect r = WhereItLands(c.asked, two);
    EXPECT_EQ(r.x_, c.landed.x_) << c.asked.x_ << ", " << c.asked.y_;
    EXPECT_EQ(r.y_, c.landed.y_) << c.asked.x_ << ", " << c.asked.y_;
  }
}

// A cell is k by k device pixels, k the display's scale rounded: the
// edges of each band, and what a desktop publishes or leaves out.
TEST(ScaleTest, TheDisplaysScaleRoundedToAWholeNumber) {
  const struct {
    int dpi, k;
  } kDpis[] = {{96, 1},  {120, 1},  {143, 1},  {144, 2}, {192, 2}, {239, 2},
               {240, 3}, {288, 3},  {335, 3},  {336, 4}, {0, 1},   {-96, 1},
               {48, 1},  {9600, kLargestScale}};
  for (const auto& c : kDpis) EXPECT_EQ(WholeScale(c.dpi), c.k) << c.dpi << " dpi";
  const struct {
    const char* gdk_scale;
    const char* resources;
    int k;
  } kDesks[] = {
      {"", "", 1},
      {"", "Xft.antialias:\t1\nXft.dpi:\t192\nXft.hinting:\t1\n", 2},
      {"", "Xft.dpi:\t144.5", 2},
      {"", "Xft.dpi: 120\n", 1},
      {"", "Xcursor.size:\t48\n*dpi:\t192\n", 1},  // not the resource read
      {"", "Xft.dpiX:\t192\n", 1},
      {"", "Xft.dpi:\tlarge\n", 1},
      {"2", "Xft.dpi:\t96\n", 2},  // GNOME's scaling factor comes first
      {"3", "", 3},
      {"0", "Xft.dpi:\t192\n", 2},
      {"1.5", "Xft.dpi:\t96\n", 1},  // not a whole number: not GNOME's
      {"64", "", kLargestScale},
  };
  for (const auto& c : kDesks)
    EXPECT_EQ(DesktopScale(c.gdk_scale, c.resources), c.k)
        << "GDK_SCALE=" << c.gdk_scale << ", " << c.resources;
}

// Each pixel becomes a square of the scale's size, and nothing beyond the
// scaled row is touched.
TEST(ScaleTest, PixelsBecomeSquares) {
  for (int scale : {1, 2, 3}) {
    const std::vector<std::uint32_t> row{1, 2, 3};
    constexpr int kStride = 12;
    std::vector<std::uint32_t> rows(kStride * 4, 9);
    std::copy(row.begin(), row.end(), rows.begin());
    ScaleRowUp(rows.data(), kStride, 3, scale);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < kStride; ++x) {
        const bool inside = y < scale && x < 3 * scale;
        EXPECT_EQ(rows[y * kStride + x], inside ? row[x / scale] : 9)
            << "scale " << scale << " at " << x << ", " << y;
      }
  }
}

}  // namespace
}  // namespace glimmet
