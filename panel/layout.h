// The panel's layout, written once: every text of the 44 by 14 panel with
// its row, its first and last column and its colour, and which control it
// is. DrawPanel writes the texts, the widgets draw over their controls'
// cells, and the hit table finds a click's control here.
#pragma once

#include <string_view>

namespace glimmet {

enum class Control {
  kNone,  // a label
  kSurviveCounts,
  kSurviveRandom,
  kBirthCounts,
  kBirthRandom,
  kGrowthTrack,
  kDensityTrack,
  kCounter,
  kPause,
  kStep,
  kQuit,
};

enum class Ink { kTitle, kText };

struct PanelItem {
  Control control_;
  int row_;
  int first_;  // columns, 1-based, both included
  int last_;
  std::string_view text_;
  Ink ink_;
};

constexpr PanelItem Item(Control control, int row, int first, std::string_view text,
                         Ink ink = Ink::kText) {
  return {control, row, first, first + static_cast<int>(text.size()) - 1, text, ink};
}

// Drawn in this order; the last item ends the panel, so the cursor is left
// after it.
inline constexpr PanelItem kPanelItems[] = {
    Item(Control::kNone, 1, 1, "GLIMMET2 - Cellular Automata Toy", Ink::kTitle),
    Item(Control::kNone, 2, 1, "GLIMMET2 authors, glimmet2.example", Ink::kTitle),
    Item(Control::kNone, 4, 28, "012345678"),
    Item(Control::kNone, 5, 2, "Survive with # neighbors:"),
    Item(Control::kSurviveCounts, 5, 28, "|||||||||"),
    Item(Control::kSurviveRandom, 5, 38, "?"),
    Item(Control::kNone, 6, 5, "Born with # neighbors:"),
    Item(Control::kBirthCounts, 6, 28, "|||||||||"),
    Item(Control::kBirthRandom, 6, 38, "?"),
    Item(Control::kNone, 8, 15, "Growth rate: 0"),
    Item(Control::kGrowthTrack, 8, 30, "----------"),
    Item(Control::kNone, 8, 41, "100"),
    Item(Control::kNone, 10, 10, "New random array: E"),
    Item(Control::kDensityTrack, 10, 30, "----------"),
    Item(Control::kNone, 10, 41, "F"),
    Item(Control::kNone, 12, 16, "Generation:"),
    Item(Control::kCounter, 12, 28, "00000000"),
    Item(Control::kPause, 14, 27, "PAUSE"),
    Item(Control::kNone, 14, 32, "-"),
    Item(Control::kStep, 14, 33, "STEP"),
    Item(Control::kNone, 14, 38, "|"),
    Item(Control::kQuit, 14, 40, "QUIT"),
};

// The item of a control; every control has exactly one.
constexpr const PanelItem& PanelControl(Control control) {
  for (const PanelItem& item : kPanelItems)
    if (item.control_ == control) return item;
  return kPanelItems[0];  // not reached for a control of the table
}

// The control whose cells hold (row, column), or kNone.
constexpr Control ControlAt(int row, int column) {
  for (const PanelItem& item : kPanelItems)
    if (item.control_ != Control::kNone && item.row_ == row && column >= item.first_ &&
        column <= item.last_)
      return item.control_;
  return Control::kNone;
}

}  // namespace glimmet
