// The panel's texts and widgets, drawn from its layout.
#include "panel/panel.h"

namespace glimmet {

namespace {

constexpr int kWhite = 15, kGrey = 7, kLightRed = 12, kBlack = 0;

constexpr PanelItem kSurviveCounts = PanelControl(Control::kSurviveCounts);
constexpr PanelItem kGrowthTrack = PanelControl(Control::kGrowthTrack);
constexpr PanelItem kCounter = PanelControl(Control::kCounter);
static_assert(PanelControl(Control::kBirthCounts).first_ == kSurviveCounts.first_,
              "both rules show their counts in the same columns");
static_assert(kSurviveCounts.last_ - kSurviveCounts.first_ == 8, "a cell for each count 0 to 8");
static_assert(kCounter.text_.size() == 8, "an eight-digit counter");

}  // namespace

void DrawPanel(Console& console) {
  SetColours(console, kGrey, kBlack, 0);  // the blanks between the texts
  SetScreenSize(console, kPanelColumns, kPanelRows);
  SetCursor(console, kCursorHidden);
  for (const PanelItem& item : kPanelItems) {
    SetColours(console, item.ink_ == Ink::kTitle ? kWhite : kGrey, kBlack, 0);
    MoveCursor(console, item.row_, item.first_);
    PrintText(console, item.text_);
  }
}

void DrawRuleRow(Console& console, int row, const std::string& rule) {
  MoveCursor(console, row, kSurviveCounts.first_);
  for (char digit = '0'; digit <= '8'; ++digit) {
    const bool in_rule = rule.find(digit) != std::string::npos;
    SetColours(console, in_rule ? kLightRed : kGrey, kBlack, 0);
    PrintText(console, in_rule ? "X" : "|");
  }
}

void DrawGrowthSlider(Console& console, int growth_rate) {
  MoveCursor(console, kGrowthTrack.row_, kGrowthTrack.first_);
  SetColours(console, kGrey, kBlack, 0);
  PrintText(console, kGrowthTrack.text_);
  SetColours(console, kLightRed, kBlack, 0);
  const int top = kGrowthTrack.last_ - kGrowthTrack.first_;
  const int marker = growth_rate < 1 ? 0 : growth_rate > top ? top : growth_rate;
  MoveCursor(console, kGrowthTrack.row_, kGrowthTrack.first_ + marker);
  PrintText(console, "X");
}

void DrawGenerationCounter(Console& console, int count) {
  SetColours(console, kGrey, kBlack, 0);
  MoveCursor(console, kCounter.row_, kCounter.first_);
  char digits[9];
  int rest = count < 0 ? 0 : count;
  for (int i = 7; i >= 0; --i, rest /= 10) digits[i] = static_cast<char>('0' + rest % 10);
  digits[8] = '\0';
  PrintText(console, digits);
}

}  // namespace glimmet
