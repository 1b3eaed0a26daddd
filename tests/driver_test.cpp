// The driver's pass against a real window under X: the generation gate, the
// count, the picture, and the two ways the loop ends. Clicks are queued as
// the reader's records; the console has no terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "app/signals.h"
#include "app/driver.h"
#include "panel/panel.h"
#include "tests/wait.h"
#include "tests/x11_probe.h"
#include "view/view_window.h"

namespace glimmet {
namespace {

using testing::XProbe;

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(probe_.Connected());
    std::string error;
    ASSERT_TRUE(StartProgram(state_, console_, error)) << error;
  }
  void TearDown() override { StopViewWindows(); }

  // A press and release on the control's cell `offset` from its first.
  void Press(Control control, int offset = 0, std::uint32_t flags = kButtonChanged) {
    InputRecord r;
    r.kind_ = InputRecord::Kind::kMouse;
    r.row_ = PanelControl(control).row_;
    r.column_ = PanelControl(control).first_ + offset;
    r.buttons_ = kLeftButton;
    r.flags_ = flags;
    console_.input_.queue_.push_back(r);
    r.buttons_ = 0;
    r.flags_ = kButtonChanged;
    console_.input_.queue_.push_back(r);
  }
  PassResult Pass() { return RunPass(state_, console_, colours_); }
  std::string Counter() const {
    const PanelItem& counter = PanelControl(Control::kCounter);
    std::string text;
    for (int c = counter.first_; c <= counter.last_; ++c)
      text += static_cast<char>(console_.screen_.At(counter.row_, c).ch_);
    return text;
  }
  std::vector<Colour> Shown() { return probe_.Pixels(probe_.Find("Glimmet")); }
  std::vector<Colour> Expected(int page) const {
    std::vector<Colour> colours;
    for (int y = 1; y <= 100; ++y)
      for (int x = 1; x <= 100; ++x)
        colours.push_back(colours_[state_.colour_scheme_][state_.field_.Cell(page, x, y)]);
    return colours;
  }

  XProbe probe_;
  Console console_;
  ProgramState state_;
  const ColourTable colours_ = BuildColourTable();
};

TEST_F(DriverTest, FirstPassShowsCountOneAndTheSeededField) {
  EXPECT_EQ(Counter(), "00000000");
  const std::vector<Colour> seeded = Expected(1);
  EXPECT_EQ(Pass(), PassResult::kGoOn);
  EXPECT_EQ(state_.generation_count_, 1);
  EXPECT_EQ(Counter(), "00000001");
  EXPECT_EQ(state_.current_page_, 2);
  const std::vector<Colour> shown = Shown();
  ASSERT_EQ(shown.size(), seeded.size());
  EXPECT_EQ(shown, seeded);  // cell (100, 100) at the bottom-right pixel included
  EXPECT_EQ(Pass(), PassResult::kGoOn);
  EXPECT_EQ(Counter(), "00000002");
  EXPECT_EQ(Shown(), Expected(2));  // the first computed generation
}

TEST_F(DriverTest, KeysAndEmptyPollsChangeNothing) {
  InputRecord key;
  key.kind_ = InputRecord::Kind::kKey;
  key.ch_ = 3;
  key.scan_ = 46;
  console_.input_.queue_.push_back(key);
  key.ch_ = 0;
  key.scan_ = 59;
  console_.input_.queue_.push_back(key);
  for (int pass = 1; pass <= 3; ++pass) {
    EXPECT_EQ(Pass(), PassResult::kGoOn);
    EXPECT_EQ(state_.generation_count_, pass);
  }
  EXPECT_EQ(state_.survive_, "5");
  EXPECT_EQ(state_.birth_, "345");
  EXPECT_EQ(state_.pause_, 0);
}

TEST_F(DriverTest, PauseStopsAtOnceAndStepRunsOneGeneration) {
  Pass();
  Press(Control::kPause);
  const CellField before = state_.field_;
  const int page = state_.current_page_;
  EXPECT_EQ(Pass(), PassResult::kGoOn);
  EXPECT_EQ(state_.pause_, 1);
  for (int i = 0; i < 5; ++i) Pass();
  EXPECT_EQ(state_.generation_count_, 1);
  EXPECT_EQ(state_.field_.cells_, before.cells_);
  EXPECT_EQ(state_.current_page_, page);
  EXPECT_EQ(Shown(), Expected(3 - page));  // still the picture of pass 1
  Press(Control::kStep);
  Pass();
  EXPECT_EQ(state_.generation_count_, 2);
  EXPECT_EQ(Counter(), "00000002");
  for (int i = 0; i < 5; ++i) Pass();
  EXPECT_EQ(state_.generation_count_, 2);
  // A double click on STEP is a press and a double-click event: two steps.
  Press(Control::kStep, 2);
  Press(Control::kStep, 2, kDoubleClick);
  for (int i = 0; i < 6; ++i) Pass();
  EXPECT_EQ(state_.generation_count_, 4);
  // STEP while running does nothing more than the pass would.
  Press(Control::kPause);
  Pass();
  EXPECT_EQ(state_.generation_count_, 5);
  Press(Control::kStep);
  Pass();
  EXPECT_EQ(state_.generation_count_, 6);
}

TEST_F(DriverTest, QuitLeavesBeforeTheGeneration) {
  Pass();
  Press(Control::kQuit, 3);
  const CellField before = state_.field_;
  EXPECT_EQ(Pass(), PassResult::kQuit);
  EXPECT_EQ(state_.generation_count_, 1);
  EXPECT_EQ(state_.field_.cells_, before.cells_);
}

TEST_F(DriverTest, QuitWhilePaused) {
  Press(Control::kPause);
  Pass();
  Press(Control::kQuit);
  EXPECT_EQ(Pass(), PassResult::kQuit);
  EXPECT_EQ(state_.generation_count_, 0);
}

TEST_F(DriverTest, ReseedShowsCountOneAndTheNewField) {
  for (int i = 0; i < 3; ++i) Pass();
  const std::vector<Colour> before = Shown();
  Press(Control::kDensityTrack, 5);
  EXPECT_EQ(Pass(), PassResult::kGoOn);
  EXPECT_EQ(Counter(), "00000001");
  // The picture is the field the reseed made, before its first step: the
  // page the step left, holding only the reseed's intensities.
  const int shown_page = 3 - state_.current_page_;
  for (int x = 1; x <= 100; ++x)
    for (int y = 1; y <= 100; ++y) {
      const int v = state_.field_.Cell(shown_page, x, y);
      ASSERT_TRUE(v == 0 || (v >= 64 && v <= 191)) << x << "," << y << ": " << v;
    }
  EXPECT_EQ(Shown(), Expected(shown_page));
  EXPECT_NE(Shown(), before);
}

TEST_F(DriverTest, ReseedWhilePausedWaitsForTheNextGeneration) {
  for (int i = 0; i < 3; ++i) Pass();
  Press(Control::kPause, 3);
  Pass();
  const std::vector<Colour> old_picture = Shown();
  Press(Control::kDensityTrack, 9);
  Pass();
  EXPECT_EQ(state_.generation_count_, 0);
  EXPECT_EQ(Counter(), "00000003");
  EXPECT_EQ(Shown(), old_picture);
  const std::vector<Colour> reseeded = Expected(1);
  Press(Control::kStep, 1);
  Pass();
  EXPECT_EQ(Counter(), "00000001");
  EXPECT_EQ(Shown(), reseeded);
}

TEST_F(DriverTest, TheWindowGoneEndsTheLoop) {
  Pass();
  probe_.RequestClose(probe_.Find("Glimmet"));
  // The close box is an X event the window thread handles on its own time;
  // every pass until then goes on.
  PassResult result = PassResult::kGoOn;
  testing::WaitUntil([&] { return (result = Pass()) != PassResult::kGoOn; });
  EXPECT_EQ(result, PassResult::kWindowGone);
}

TEST_F(DriverTest, TheWindowClosedWhilePausedEndsOnlyWithAGeneration) {
  Press(Control::kPause);
  Pass();
  probe_.RequestClose(probe_.Find("Glimmet"));
  ASSERT_TRUE(testing::WaitUntil([&] { return probe_.Find("Glimmet") == 0; }))
      << "the window did not close";
  for (int i = 0; i < 20; ++i) EXPECT_EQ(Pass(), PassResult::kGoOn);
  Press(Control::kStep);
  EXPECT_EQ(Pass(), PassResult::kWindowGone);
}

// The same passes with the console on a pseudo-terminal: whatever a click
// redraws, a pass writes to the terminal at most once.
TEST(DriverOnATerminalTest, APassWritesAtMostOnce) {
  XProbe probe;
  ASSERT_TRUE(probe.Connected());
  int master = -1, slave = -1;
  winsize size{};
  size.ws_col = 80;
  size.ws_row = 24;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, &size), 0);
  fcntl(master, F_SETFL, O_NONBLOCK);
  auto drain = [master] {
    char buffer[4096];
    while (read(master, buffer, sizeof buffer) > 0) {
    }
  };
  Console console;
  std::string error;
  ASSERT_TRUE(OpenConsoleOn(console, dup(slave), slave, ProgramSignals(), error)) << error;
  ProgramState state;
  ASSERT_TRUE(StartProgram(state, console, error)) << error;
  const ColourTable colours = BuildColourTable();
  const std::pair<Control, int> clicks[] = {
      {Control::kSurviveCounts, 2}, {Control::kBirthRandom, 0}, {Control::kGrowthTrack, 1},
      {Control::kDensityTrack, 3},  {Control::kPause, 2},       {Control::kSurviveCounts, 2},
      {Control::kGrowthTrack, 6},   {Control::kStep, 1},        {Control::kPause, 1},
      {Control::kBirthCounts, 0},   {Control::kNone, 0}};  // the title
  for (const auto& [control, offset] : clicks) {
    const PanelItem& item = PanelControl(control);
    const int row = item.row_, column = item.first_ + offset;
    for (bool press : {true, false}) {
      drain();
      const std::string report = "\x1b[<0;" + std::to_string(column) + ";" +
                                 std::to_string(row) + (press ? "M" : "m");
      ASSERT_EQ(write(master, report.data(), report.size()), static_cast<ssize_t>(report.size()));
      pollfd p{slave, POLLIN, 0};
      poll(&p, 1, 1000);
      const std::uint64_t before = console.writes_;
      ASSERT_EQ(RunPass(state, console, colours), PassResult::kGoOn);
      EXPECT_LE(console.writes_, before + 1) << "click at " << row << "," << column;
    }
  }
  EXPECT_EQ(state.survive_, "5");   // toggled on and off again
  EXPECT_EQ(state.growth_rate_, 6);
  StopViewWindows();
  CloseConsole(console);
  close(master);
}

}  // namespace
}  // namespace glimmet
