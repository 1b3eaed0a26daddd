// The control panel: a fixed 44 by 14 text screen with four live widgets,
// the survive and birth rule rows, the growth-rate slider and the generation
// counter. DrawPanel and DrawGenerationCounter end with a flush; the rule
// rows and the slider, redrawn by a click, go out with the next one, so that
// a pass of the main loop writes to the terminal at most once.
#pragma once

#include <string>

#include "console/console.h"

namespace glimmet {

constexpr int kPanelColumns = 44;
constexpr int kPanelRows = 14;
constexpr int kSurviveRow = 5;
constexpr int kBirthRow = 6;

// Sizes the console to the panel, hides the cursor and writes the fixed
// rows, leaving the cursor after the last character of row 14 (a line end
// there would scroll the panel).
void DrawPanel(Console& console);

// "X" in light red for each count 0 to 8 whose digit is in the rule, "|"
// in grey for the others, in columns 28 to 36 of the row.
void DrawRuleRow(Console& console, int row, const std::string& rule);

// The growth track of row 8 with its marker at column 30 + rate, held on the
// track for rates outside 0 to 9.
void DrawGrowthSlider(Console& console, int growth_rate);

// The count in eight digits at row 12, column 28. Beyond eight digits the
// last eight are shown, as on an odometer; a negative count shows as 0.
void DrawGenerationCounter(Console& console, int count);

}  // namespace glimmet
