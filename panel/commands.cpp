// The hit table, read from the panel's layout, and the commands it leads to.
#include "panel/commands.h"

#include <algorithm>

#include "panel/panel.h"

namespace glimmet {

namespace {

// The reseed track's ten cells give densities 1, 11, ..., 91, the sparsest
// next to "E".
int DensityAt(int column) {
  return 10 * (column - PanelControl(Control::kDensityTrack).first_) + 1;
}

void ToggleAt(Console& console, int row, int column, std::string& rule) {
  ToggleCount(rule, column - PanelControl(Control::kSurviveCounts).first_);
  DrawRuleRow(console, row, rule);
}

void DrawRandom(Console& console, int row, std::string& rule, Random& random) {
  rule = RandomRule(random);
  DrawRuleRow(console, row, rule);
}

}  // namespace

void ToggleCount(std::string& rule, int count) {
  const char digit = static_cast<char>('0' + count);
  if (rule.find(digit) != std::string::npos)
    rule.erase(std::remove(rule.begin(), rule.end(), digit), rule.end());
  else
    rule += digit;
}

std::string RandomRule(Random& random) {
  std::string rule;
  for (int count = 0; count <= 8; ++count)
    if (RandomBelow(random, 10) > 5) rule += static_cast<char>('0' + count);
  return rule;
}

bool HandlePanelClick(ProgramState& state, Console& console) {
  const int row = MouseRow(console);
  const int column = MouseColumn(console);
  switch (ControlAt(row, column)) {
    case Control::kSurviveCounts: ToggleAt(console, row, column, state.survive_); break;
    case Control::kBirthCounts: ToggleAt(console, row, column, state.birth_); break;
    case Control::kSurviveRandom: DrawRandom(console, row, state.survive_, state.random_); break;
    case Control::kBirthRandom: DrawRandom(console, row, state.birth_, state.random_); break;
    case Control::kGrowthTrack:
      state.growth_rate_ = column - PanelControl(Control::kGrowthTrack).first_;
      DrawGrowthSlider(console, state.growth_rate_);
      break;
    case Control::kDensityTrack:
      ReseedField(state.field_, state.random_, DensityAt(column), state.current_page_,
                  state.generation_count_, state.colour_scheme_);
      break;
    case Control::kPause: state.pause_ = state.pause_ == 0 ? 1 : 0; break;
    case Control::kStep: state.step_ = 1; break;
    case Control::kQuit: return true;
    case Control::kNone:
    case Control::kCounter: break;
  }
  return false;
}

}  // namespace glimmet
