// The Windows reader over console records, as the console queues them: what
// each gives the program, record by record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console-win32.h"
#include "panel/layout.h"

namespace glimmet {
namespace {

INPUT_RECORD Key(bool down, char ch, WORD scan, DWORD control = 0) {
  INPUT_RECORD r{};
  r.EventType = KEY_EVENT;
  r.Event.KeyEvent.bKeyDown = down;
  r.Event.KeyEvent.uChar.AsciiChar = ch;
  r.Event.KeyEvent.wVirtualScanCode = scan;
  r.Event.KeyEvent.dwControlKeyState = control;
  return r;
}

INPUT_RECORD Mouse(DWORD buttons, DWORD flags, SHORT x, SHORT y) {
  INPUT_RECORD r{};
  r.EventType = MOUSE_EVENT;
  r.Event.MouseEvent.dwButtonState = buttons;
  r.Event.MouseEvent.dwEventFlags = flags;
  r.Event.MouseEvent.dwMousePosition = {x, y};
  return r;
}

INPUT_RECORD Focus() {
  INPUT_RECORD r{};
  r.EventType = FOCUS_EVENT;
  return r;
}

struct Result {
  std::string bytes_;
  int row_ = 0, column_ = 0;  // for mouse results
  bool operator==(const Result&) const = default;
};

void PrintTo(const Result& r, std::ostream* os) {
  *os << ::testing::PrintToString(r.bytes_) << " at " << r.row_ << "," << r.column_;
}

// Every result the records give, with the program's selection: presses and
// double clicks of the left button.
std::vector<Result> Results(const std::vector<INPUT_RECORD>& records) {
  InputState in;
  in.enabled_ = true;
  in.event_mask_ = kPressEvent | kDoubleClickEvent;
  in.button_mask_ = kLeftButton;
  QueueConsoleRecords(in, records.data(), records.size());
  std::vector<Result> results;
  for (std::string r = NextInput(in); !r.empty(); r = NextInput(in))
    results.push_back({r, r.size() == 4 ? in.mouse_row_ : 0, r.size() == 4 ? in.mouse_column_ : 0});
  EXPECT_TRUE(in.queue_.empty());
  return results;
}

const std::string kPress{'\xff', '\xff', '\x04', '\x01'};
const std::string kDouble{'\xff', '\xff', '\x02', '\x01'};

TEST(ConsoleRecordsTest, WhatEachRecordGives) {
  constexpr DWORD kCaps = CAPSLOCK_ON, kShiftHeld = SHIFT_PRESSED, kAlt = LEFT_ALT_PRESSED;
  const struct {
    const char* name;
    std::vector<INPUT_RECORD> records;
    std::vector<Result> results;
  } kCases[] = {
      {"a key", {Key(true, 'a', 30)}, {{"a"}}},
      {"Ctrl+C is a key", {Key(true, 3, 46, LEFT_CTRL_PRESSED)}, {{"\x03"}}},
      {"F1", {Key(true, 0, 59)}, {{std::string("\0;", 2)}}},
      {"Alt with a letter", {Key(true, 'a', 30, kAlt)}, {{std::string("\0\x1e", 2)}}},
      {"Caps Lock, no Shift", {Key(true, '!', 2, kCaps)}, {{"1"}}},
      {"Caps Lock and Shift", {Key(true, '1', 2, kCaps | kShiftHeld)}, {{"!"}}},
      {"releases, modifiers and focus give nothing",
       {Key(false, 'a', 30), Key(true, 0, 42, kShiftHeld), Focus()}, {}},
      {"a click: the press, at its cell; the release unreported",
       {Mouse(FROM_LEFT_1ST_BUTTON_PRESSED, 0, 0, 0), Mouse(0, 0, 0, 0)}, {{kPress, 1, 1}}},
      {"the last cell of the panel",
       {Mouse(FROM_LEFT_1ST_BUTTON_PRESSED, 0, 43, 13), Mouse(0, 0, 43, 13)},
       {{kPress, 14, 44}}},
      {"a double click is two clicks",
       {Mouse(1, 0, 5, 6), Mouse(0, 0, 5, 6), Mouse(1, DOUBLE_CLICK, 5, 6), Mouse(0, 0, 5, 6)},
       {{kPress, 7, 6}, {kDouble, 7, 6}}},
      {"moves, right clicks and the wheel give nothing",
       {Mouse(0, MOUSE_MOVED, 63, 22), Mouse(RIGHTMOST_BUTTON_PRESSED, 0, 3, 3), Mouse(0, 0, 3, 3),
        Mouse(0, MOUSE_WHEELED, 3, 3)},
       {}},
      {"left and right at once: the left press alone",
       {Mouse(FROM_LEFT_1ST_BUTTON_PRESSED | RIGHTMOST_BUTTON_PRESSED, 0, 2, 2)}, {{kPress, 3, 3}}},
  };
  for (const auto& c : kCases) EXPECT_EQ(Results(c.records), c.results) << c.name;
}

// Wine's console sends a press outside the 44 by 14 buffer now and then: it
// is passed on as a press where it was, which the hit table finds on no
// control, as it does every cell beyond the panel's edges.
TEST(ConsoleRecordsTest, APressOutsideThePanelIsPassedOnWhereItWas) {
  EXPECT_EQ(Results({Mouse(FROM_LEFT_1ST_BUTTON_PRESSED, 0, 63, 22)}),
            (std::vector<Result>{{kPress, 23, 64}}));
}

}  // namespace
}  // namespace glimmet
