// The control panel: a fixed 44 by 14 text screen with four live widgets,
// the survive and birth rule rows, the growth-rate slider and the generation
// counter. DrawPanel ends with a flush; the widgets go out with the reader's
// next flush, at most one a display frame, so that the counter of thousands
// of generations a second costs the terminal a hundred writes at most.
#pragma once

#include <string>

#include "console/console.h"
#include "panel/layout.h"

namespace glimmet {

constexpr int kPanelColumns = 44;
constexpr int kPanelRows = 14;
constexpr int kSurviveRow = PanelControl(Control::kSurviveCounts).row_;
constexpr int kBirthRow = PanelControl(Control::kBirthCounts).row_;

// Sizes the console to the panel, hides the cursor and writes the fixed
// rows, leaving the cursor after the last character of row 14 (a line end
// there would scroll the panel).
void DrawPanel(Console& console);

// "X" in light red for each count 0 to 8 whose digit is in the rule, "|"
// in grey for the others, in the count columns (28 to 36) of the row.
void DrawRuleRow(Console& console, int row, const std::string& rule);

// The growth track (row 8, columns 30 to 39) with its marker at the rate's
// cell, held on the track for rates outside 0 to 9.
void DrawGrowthSlider(Console& console, int growth_rate);

// The count in the counter's eight digits (row 12, from column 28). Beyond
// eight digits the last eight are shown, as on an odometer; a negative count
// shows as 0.
void DrawGenerationCounter(Console& console, int count);

}  // namespace glimmet
