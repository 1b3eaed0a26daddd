// Start-up and the generation pass.
#include "app/driver.h"

#include "app/signals.h"
#include "automaton/icon.h"
#include "automaton/step.h"
#include "panel/commands.h"
#include "panel/panel.h"
#include "view/view_window.h"

namespace glimmet {

namespace {

// Where the window's outer top-left corner goes on the desktop.
constexpr int kWindowX = 300;
constexpr int kWindowY = 300;
constexpr int kIconSize = 32;

}  // namespace

bool StartProgram(ProgramState& state, Console& console, std::string& error,
                  void (*display_lost)()) {
  SeedRandom(state.random_, ClockSeconds());
  state.field_width_ = kFieldSize;
  state.field_height_ = kFieldSize;
  state.colour_scheme_ = RandomBelow(state.random_, kColourSchemes);
  DrawPanel(console);
  // The window is placed beside the panel, so the panel must stand first
  // (a Windows console takes its new size only now).
  PresentConsole(console, true);
  ViewOptions options;
  options.display_lost_ = display_lost;
  options.icon_size_ = kIconSize;
  options.icon_ = IconPicture(kIconSize);
  options.program_signals_ = ProgramThreadSignals();
  TerminalGrid& grid = options.terminal_;
  grid.panel_columns_ = kPanelColumns;
  grid.panel_rows_ = kPanelRows;
  TextArea(console, grid.columns_, grid.rows_, grid.pixel_width_, grid.pixel_height_);
  state.window_ = OpenViewWindow("Glimmet", kWindowX, kWindowY, state.field_width_,
                                 state.field_height_, 0, options, error);
  if (state.window_ == 0) return false;
  AttachViewWindow(state.window_, true);
  state.field_ = CreateField(state.field_width_, state.field_height_);
  SeedField(state.field_, state.random_, state.current_page_);
  state.survive_ = kDefaultSurvive;
  state.birth_ = kDefaultBirth;
  state.growth_rate_ = kDefaultGrowthRate;
  DrawRuleRow(console, kSurviveRow, state.survive_);
  DrawRuleRow(console, kBirthRow, state.birth_);
  DrawGrowthSlider(console, state.growth_rate_);
  EnableMouse(console, true);
  SelectMouseEvents(console, kPressEvent | kDoubleClickEvent, kLeftButton);
  // The widgets, and a write that Windows Terminal 1.18 needed before it
  // took the new input mode.
  PresentConsole(console, true);
  return true;
}

// Row by row, in the order both the field and the picture are stored; the
// picture is shown only at the redraw, so the order cannot be seen. The
// sizes are read once: a plot may call out, and the compiler would read
// them again after every one.
void PaintField(const ProgramState& state, const ColourTable& colours) {
  const Colour* scheme = colours[state.colour_scheme_].data();
  const CellField& field = state.field_;
  const int width = field.width_, height = field.height_;
  for (int y = 1; y <= height; ++y) {
    const std::int32_t* row = field.Row(state.current_page_, y);
    for (int x = 1; x <= width; ++x) PlotPixel(x - 1, y - 1, scheme[row[x]]);
  }
}

PassResult RunPass(ProgramState& state, Console& console, const ColourTable& colours,
                   bool paint) {
  state.step_ = 0;
  // Paused, nothing happens until the user does something, and the screen
  // must show everything before the sleep.
  const bool paused = state.pause_ == 1;
  PresentConsole(console, paused);
  if (paused) WaitForInput(console);
  const std::string input = ReadInput(console);
  if (console.gone_) return PassResult::kTerminalGone;
  if (input.size() == 4 && HandlePanelClick(state, console)) return PassResult::kQuit;
  if (state.pause_ == 1 && state.step_ == 0) return PassResult::kGoOn;
  ++state.generation_count_;
  DrawGenerationCounter(console, state.generation_count_);
  if (paint) PaintField(state, colours);
  StepGeneration(state.field_, state.current_page_, state.survive_, state.birth_,
                 state.growth_rate_);
  RedrawView();
  if (QueryViewSize().width_ == 0) return PassResult::kWindowGone;
  return PassResult::kGoOn;
}

}  // namespace glimmet
