// The hit table, row by row, and the commands it leads to.
#include "panel/commands.h"

#include <algorithm>

#include "panel/panel.h"

namespace glimmet {

namespace {

void RuleRowClick(Console& console, int row, int column, std::string& rule, Random& random) {
  if (column >= 28 && column <= 36) {
    ToggleCount(rule, column - 28);
  } else if (column == 38) {
    rule = RandomRule(random);
  } else {
    return;
  }
  DrawRuleRow(console, row, rule);
}

// Row 14: "PAUSE-STEP | QUIT". True for QUIT.
bool ControlClick(ProgramState& state, int column) {
  if (column >= 27 && column <= 31) state.pause_ = state.pause_ == 0 ? 1 : 0;
  else if (column >= 33 && column <= 36) state.step_ = 1;
  else if (column >= 40 && column <= 43) return true;
  return false;
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
  switch (row) {
    case kSurviveRow:
      RuleRowClick(console, row, column, state.survive_, state.random_);
      return false;
    case kBirthRow:
      RuleRowClick(console, row, column, state.birth_, state.random_);
      return false;
    case 8:
      if (column >= 30 && column <= 39) {
        state.growth_rate_ = column - 30;
        DrawGrowthSlider(console, state.growth_rate_);
      }
      return false;
    case 10:
      if (column >= 30 && column <= 39)
        ReseedField(state.field_, state.random_, 10 * (column - 30) + 1, state.current_page_,
                    state.generation_count_, state.colour_scheme_);
      return false;
    case 14:
      return ControlClick(state, column);
    default:
      return false;
  }
}

}  // namespace glimmet
