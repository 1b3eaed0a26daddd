// The panel's texts, columns and colours.
#include "panel/panel.h"

namespace glimmet {

namespace {

constexpr int kWhite = 15, kGrey = 7, kLightRed = 12, kBlack = 0;

// Row 2: the project's authors and home page, 34 characters.
constexpr char kByline[] = "GLIMMET2 authors, glimmet2.example";
static_assert(sizeof kByline - 1 == 34);

constexpr const char* kRows4To14[] = {
    "                           012345678",
    " Survive with # neighbors: ||||||||| ?",
    "    Born with # neighbors: ||||||||| ?",
    "",
    "              Growth rate: 0 ---------- 100",
    "",
    "         New random array: E ---------- F",
    "",
    "               Generation: 00000000",
    "",
    "                          PAUSE-STEP | QUIT",
};

}  // namespace

void DrawPanel(Console& console) {
  SetScreenSize(console, kPanelColumns, kPanelRows);
  SetCursor(console, 0);
  SetColours(console, kWhite, kBlack, 0);
  PrintText(console, "GLIMMET2 - Cellular Automata Toy");
  PrintNewline(console);
  PrintText(console, kByline);
  PrintNewline(console);
  SetColours(console, kGrey, kBlack, 0);
  PrintNewline(console);
  for (const char* text : kRows4To14) {
    if (text != kRows4To14[0]) PrintNewline(console);
    PrintText(console, text);
  }
  FlushConsole(console);
}

void DrawRuleRow(Console& console, int row, const std::string& rule) {
  MoveCursor(console, row, 28);
  for (char digit = '0'; digit <= '8'; ++digit) {
    const bool in_rule = rule.find(digit) != std::string::npos;
    SetColours(console, in_rule ? kLightRed : kGrey, kBlack, 0);
    PrintText(console, in_rule ? "X" : "|");
  }
}

void DrawGrowthSlider(Console& console, int growth_rate) {
  MoveCursor(console, 8, 30);
  SetColours(console, kGrey, kBlack, 0);
  PrintText(console, "----------");
  SetColours(console, kLightRed, kBlack, 0);
  const int marker = growth_rate < 1 ? 30 : growth_rate > 9 ? 39 : 30 + growth_rate;
  MoveCursor(console, 8, marker);
  PrintText(console, "X");
}

void DrawGenerationCounter(Console& console, int count) {
  SetColours(console, kGrey, kBlack, 0);
  MoveCursor(console, 12, 28);
  char digits[9];
  int rest = count < 0 ? 0 : count;
  for (int i = 7; i >= 0; --i, rest /= 10) digits[i] = static_cast<char>('0' + rest % 10);
  digits[8] = '\0';
  PrintText(console, digits);
}

}  // namespace glimmet
