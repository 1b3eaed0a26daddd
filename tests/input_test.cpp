// The input decoder fed whole and byte by byte, double clicks made from
// terminal presses, and the reader's results for the console's cases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/input.h"

namespace glimmet {
namespace {

// Decodes `bytes` the way the reader does: all at once, or one byte per
// call; then lets the escape wait run out.
std::vector<InputRecord> Records(const std::string& bytes, bool one_at_a_time,
                                 InputState in = {}) {
  if (one_at_a_time) {
    for (char c : bytes) FeedTerminalBytes(in, std::string_view(&c, 1), 0, true);
  } else {
    FeedTerminalBytes(in, bytes, 0, true);
  }
  ExpireInput(in, kEscapeWaitMs, true);
  EXPECT_TRUE(in.pending_.empty());
  return {in.queue_.begin(), in.queue_.end()};
}

// Both ways must agree; the records are returned.
std::vector<InputRecord> Decode(const std::string& bytes) {
  const auto whole = Records(bytes, false);
  const auto split = Records(bytes, true);
  EXPECT_EQ(whole.size(), split.size()) << "for " << ::testing::PrintToString(bytes);
  for (std::size_t i = 0; i < whole.size() && i < split.size(); ++i) {
    EXPECT_EQ(whole[i].ch_, split[i].ch_);
    EXPECT_EQ(whole[i].scan_, split[i].scan_);
    EXPECT_EQ(whole[i].buttons_, split[i].buttons_);
    EXPECT_EQ(whole[i].row_, split[i].row_);
  }
  return whole;
}

InputRecord OnlyKey(const std::string& bytes) {
  const auto records = Decode(bytes);
  EXPECT_EQ(records.size(), 1u) << ::testing::PrintToString(bytes);
  if (records.empty()) return {};
  EXPECT_EQ(records[0].kind_, InputRecord::Kind::kKey);
  return records[0];
}

TEST(DecoderTest, CharacterKeys) {
  InputRecord a = OnlyKey("a");
  EXPECT_EQ(a.ch_, 'a');
  EXPECT_EQ(a.scan_, 30);
  EXPECT_EQ(a.control_, 0u);
  InputRecord upper = OnlyKey("A");
  EXPECT_EQ(upper.scan_, 30);
  EXPECT_EQ(upper.control_, kShift);
  InputRecord bang = OnlyKey("!");
  EXPECT_EQ(bang.scan_, 2);
  EXPECT_EQ(bang.control_, kShift);
  InputRecord ctrl_c = OnlyKey("\x03");
  EXPECT_EQ(ctrl_c.ch_, 3);
  EXPECT_EQ(ctrl_c.scan_, 46);
  EXPECT_EQ(ctrl_c.control_, kLeftCtrl);
  EXPECT_EQ(OnlyKey("\x7f").scan_, 14);
  EXPECT_EQ(OnlyKey("\x7f").ch_, 8);
  EXPECT_EQ(OnlyKey("\r").scan_, 28);
  InputRecord latin = OnlyKey("\xc3\xa9");  // é as UTF-8
  EXPECT_EQ(latin.ch_, 0xE9);
  EXPECT_EQ(OnlyKey("\xe2\x82\xac").ch_, '?');  // € is not in Latin-1
}

TEST(DecoderTest, KeysWithoutCharacters) {
  struct Case { const char* bytes; int scan; std::uint32_t control; };
  const Case cases[] = {
      {"\x1b[A", 72, 0},       {"\x1bOA", 72, 0},       {"\x1b[B", 80, 0},
      {"\x1b[C", 77, 0},       {"\x1b[D", 75, 0},       {"\x1b[1;5A", 72, kLeftCtrl},
      {"\x1b[1;2D", 75, kShift}, {"\x1b[H", 71, 0},     {"\x1bOF", 79, 0},
      {"\x1b[1~", 71, 0},      {"\x1b[4~", 79, 0},      {"\x1b[2~", 82, 0},
      {"\x1b[3~", 83, 0},      {"\x1b[5~", 73, 0},      {"\x1b[6~", 81, 0},
      {"\x1bOP", 59, 0},       {"\x1b[11~", 59, 0},     {"\x1b[[A", 59, 0},
      {"\x1bOS", 62, 0},       {"\x1b[15~", 63, 0},     {"\x1b[17~", 64, 0},
      {"\x1b[21~", 68, 0},     {"\x1b[23~", 87, 0},     {"\x1b[24~", 88, 0},
      {"\x1b[3^", 83, kLeftCtrl}, {"\x1b[2$", 82, kShift}, {"\x1b[1;3P", 59, kLeftAlt},
  };
  for (const Case& c : cases) {
    const InputRecord r = OnlyKey(c.bytes);
    EXPECT_EQ(r.ch_, 0) << ::testing::PrintToString(c.bytes);
    EXPECT_EQ(r.scan_, c.scan) << ::testing::PrintToString(c.bytes);
    EXPECT_EQ(r.control_ & ~kEnhancedKey, c.control) << ::testing::PrintToString(c.bytes);
  }
}

TEST(DecoderTest, EscapeAndAlt) {
  InputRecord esc = OnlyKey("\x1b");
  EXPECT_EQ(esc.ch_, 27);
  EXPECT_EQ(esc.scan_, 1);
  InputRecord alt_a = OnlyKey("\x1b" "a");
  EXPECT_EQ(alt_a.ch_, 'a');
  EXPECT_EQ(alt_a.control_, kLeftAlt);
  InputRecord alt_bracket = OnlyKey("\x1b[");  // nothing followed in time
  EXPECT_EQ(alt_bracket.ch_, '[');
  EXPECT_EQ(alt_bracket.control_, kLeftAlt);
  // A lone ESC waits; it is not the Esc key before the wait is over.
  InputState in;
  FeedTerminalBytes(in, "\x1b", 100, true);
  ExpireInput(in, 100 + kEscapeWaitMs - 1, true);
  EXPECT_TRUE(in.queue_.empty());
  ExpireInput(in, 100 + kEscapeWaitMs, true);
  ASSERT_EQ(in.queue_.size(), 1u);
  EXPECT_EQ(in.queue_[0].scan_, 1);
}

InputRecord OnlyMouse(const std::string& bytes, InputState in = {}) {
  const auto records = Records(bytes, true, in);
  EXPECT_EQ(records.size(), 1u) << ::testing::PrintToString(bytes);
  if (records.empty()) return {};
  EXPECT_EQ(records[0].kind_, InputRecord::Kind::kMouse);
  return records[0];
}

std::string X10(int code, int column, int row) {
  return std::string("\x1b[M") + static_cast<char>(32 + code) +
         static_cast<char>(32 + column) + static_cast<char>(32 + row);
}

TEST(DecoderTest, MouseReportsAtThePanelsCorners) {
  for (const std::string& bytes : {std::string("\x1b[<0;1;1M"), X10(0, 1, 1)}) {
    const InputRecord r = OnlyMouse(bytes);
    EXPECT_EQ(r.row_, 1);
    EXPECT_EQ(r.column_, 1);
    EXPECT_EQ(r.buttons_, kLeftButton);
    EXPECT_EQ(r.flags_, kButtonChanged);
  }
  for (const std::string& bytes : {std::string("\x1b[<0;44;14M"), X10(0, 44, 14)}) {
    const InputRecord r = OnlyMouse(bytes);
    EXPECT_EQ(r.row_, 14);
    EXPECT_EQ(r.column_, 44);
  }
}

TEST(DecoderTest, ButtonsReleasesWheelAndMoves) {
  EXPECT_EQ(OnlyMouse("\x1b[<2;5;5M").buttons_, kRightButton);
  EXPECT_EQ(OnlyMouse("\x1b[<1;5;5M").buttons_, kMiddleButton);
  const auto pair = Decode("\x1b[<0;5;5M\x1b[<0;5;5m");
  ASSERT_EQ(pair.size(), 2u);
  EXPECT_EQ(pair[1].buttons_, 0u);
  EXPECT_EQ(pair[1].flags_, kButtonChanged);
  const auto old = Decode(X10(2, 5, 5) + X10(3, 5, 5));  // a release names no button
  ASSERT_EQ(old.size(), 2u);
  EXPECT_EQ(old[0].buttons_, kRightButton);
  EXPECT_EQ(old[1].buttons_, 0u);
  EXPECT_EQ(OnlyMouse("\x1b[<64;5;5M").flags_, kWheelTurned);
  EXPECT_EQ(OnlyMouse("\x1b[<65;5;5M").flags_, kWheelTurned);
  const InputRecord drag = Decode("\x1b[<0;5;5M\x1b[<32;6;5M").back();
  EXPECT_EQ(drag.flags_, kMouseMoved);
  EXPECT_EQ(drag.buttons_, kLeftButton);
  EXPECT_EQ(drag.column_, 6);
}

TEST(DecoderTest, MalformedInputYieldsNothingAndDoesNotStall) {
  // Each of these is consumed; the Enter after it still comes through.
  for (const std::string& junk :
       {std::string("\x1b[<0;99999999999999;1M"), std::string("\x1b[<0;0;0M"),
        std::string("\x1b[<0;1M"), std::string("\x1b[99x"), std::string("\x1b[?1;2c"),
        std::string("\x1b[<0;5;5"), std::string("\x1b[") + std::string(200, '7') + "M",
        std::string("\xff\xfe"), std::string("\x1b[1;2;3;4;5;6;7A")}) {
    const auto records = Decode(junk + "\r");
    ASSERT_FALSE(records.empty()) << ::testing::PrintToString(junk);
    EXPECT_EQ(records.back().ch_, '\r') << ::testing::PrintToString(junk);
    for (std::size_t i = 0; i + 1 < records.size(); ++i)
      EXPECT_NE(records[i].kind_, InputRecord::Kind::kMouse) << ::testing::PrintToString(junk);
  }
  InputState in;
  FeedTerminalBytes(in, "\x1b[" + std::string(100000, '1'), 0, true);
  EXPECT_LE(in.pending_.size(), kLongestSequence);
  EXPECT_TRUE(in.queue_.empty());
  // A report right after an overlong sequence still counts: ESC ends it.
  FeedTerminalBytes(in, "\x1b[<0;7;3M", 0, true);
  ASSERT_EQ(in.queue_.size(), 1u);
  EXPECT_EQ(in.queue_[0].column_, 7);
}

// Presses of the left button on (row, column) at the given times.
InputState Presses(std::initializer_list<std::pair<std::int64_t, int>> at) {
  InputState in;
  for (const auto& [time, column] : at) {
    FeedTerminalBytes(in, "\x1b[<0;" + std::to_string(column) + ";3M", time, true);
    FeedTerminalBytes(in, "\x1b[<0;" + std::to_string(column) + ";3m", time + 20, true);
  }
  return in;
}

std::vector<std::uint32_t> PressFlags(const InputState& in) {
  std::vector<std::uint32_t> flags;
  for (const InputRecord& r : in.queue_)
    if (r.buttons_ != 0) flags.push_back(r.flags_);
  return flags;
}

TEST(DoubleClickTest, SecondPressOnTheSameCellInTime) {
  using V = std::vector<std::uint32_t>;
  EXPECT_EQ(PressFlags(Presses({{0, 5}, {400, 5}})), (V{kButtonChanged, kDoubleClick}));
  EXPECT_EQ(PressFlags(Presses({{0, 5}, {500, 5}})), (V{kButtonChanged, kDoubleClick}));
  EXPECT_EQ(PressFlags(Presses({{0, 5}, {501, 5}})), (V{kButtonChanged, kButtonChanged}));
  EXPECT_EQ(PressFlags(Presses({{0, 5}, {100, 6}})), (V{kButtonChanged, kButtonChanged}));
  // A third quick press starts a new pair.
  EXPECT_EQ(PressFlags(Presses({{0, 5}, {100, 5}, {200, 5}, {300, 5}})),
            (V{kButtonChanged, kDoubleClick, kButtonChanged, kDoubleClick}));
  // Another button in between is not the same button.
  InputState in;
  FeedTerminalBytes(in, "\x1b[<0;5;3M\x1b[<0;5;3m\x1b[<2;5;3M\x1b[<2;5;3m\x1b[<0;5;3M", 0, true);
  EXPECT_EQ(in.queue_.back().flags_, kButtonChanged);
}

// The reader's results for records queued as a console would queue them.
InputState Selected(std::uint32_t events, std::uint32_t buttons) {
  InputState in;
  in.enabled_ = true;
  in.event_mask_ = events;
  in.button_mask_ = buttons;
  return in;
}

InputRecord KeyRecord(std::uint8_t ch, std::uint8_t scan, std::uint32_t control = 0,
                      bool down = true) {
  InputRecord r;
  r.kind_ = InputRecord::Kind::kKey;
  r.ch_ = ch;
  r.scan_ = scan;
  r.control_ = control;
  r.key_down_ = down;
  return r;
}

InputRecord MouseAt(std::uint32_t buttons, std::uint32_t flags, int row, int column) {
  InputRecord r;
  r.kind_ = InputRecord::Kind::kMouse;
  r.buttons_ = buttons;
  r.flags_ = flags;
  r.row_ = row;
  r.column_ = column;
  return r;
}

const std::string kLeftPress = "\xff\xff\x04\x01";

TEST(ReaderTest, KeysByTheConsolesRules) {
  InputState in = Selected(6, 1);
  EXPECT_EQ(NextInput(in), "");
  in.queue_ = {KeyRecord(3, 46, kLeftCtrl)};
  EXPECT_EQ(NextInput(in), "\x03");
  InputRecord focus;
  focus.kind_ = InputRecord::Kind::kFocus;
  in.queue_ = {KeyRecord('a', 30, 0, false), KeyRecord(0, 42, kShift), focus};
  EXPECT_EQ(NextInput(in), "");
  EXPECT_TRUE(in.queue_.empty());
  in.queue_ = {KeyRecord('a', 30), KeyRecord(0, 59), KeyRecord(0, 72, kEnhancedKey),
               KeyRecord('a', 30, kLeftAlt), KeyRecord('1', 2, kLeftAlt)};
  EXPECT_EQ(NextInput(in), "a");
  EXPECT_EQ(NextInput(in), std::string("\0\x3b", 2));
  EXPECT_EQ(NextInput(in), std::string("\0\x48", 2));
  EXPECT_EQ(NextInput(in), std::string("\0\x1e", 2));
  EXPECT_EQ(NextInput(in), "1");  // Alt with a key that is no letter
  in.queue_ = {KeyRecord('!', 2, kCapsLock), KeyRecord('1', 2, kCapsLock | kShift),
               KeyRecord('!', 2, kShift), KeyRecord('A', 30, kCapsLock)};
  EXPECT_EQ(NextInput(in), "1");
  EXPECT_EQ(NextInput(in), "!");
  EXPECT_EQ(NextInput(in), "!");  // Caps Lock off: unchanged
  EXPECT_EQ(NextInput(in), "A");  // letters are not among the corrected keys
  in.queue_ = {KeyRecord(0, 1), KeyRecord(0, 1, kCapsLock), KeyRecord(27, 1)};
  EXPECT_EQ(NextInput(in), std::string("\0", 1));
  EXPECT_EQ(NextInput(in), "\x1b");
  EXPECT_EQ(NextInput(in), "\x1b");
}

TEST(ReaderTest, MousePressesAndPositions) {
  InputState in = Selected(6, 1);
  in.queue_ = {MouseAt(1, kButtonChanged, 1, 1), MouseAt(0, kButtonChanged, 1, 1),
               MouseAt(1, kButtonChanged, 14, 44)};
  EXPECT_EQ(NextInput(in), kLeftPress);
  EXPECT_EQ(in.mouse_row_, 1);
  EXPECT_EQ(in.mouse_column_, 1);
  EXPECT_EQ(NextInput(in), kLeftPress);  // the release was not reported
  EXPECT_EQ(in.mouse_row_, 14);
  EXPECT_EQ(in.mouse_column_, 44);
  EXPECT_EQ(NextInput(in), "");
  // Left and right down together: only the left is reported, and the right
  // is never reported later.
  in.queue_ = {MouseAt(0, kButtonChanged, 2, 2), MouseAt(3, kButtonChanged, 2, 2),
               MouseAt(3, kButtonChanged, 2, 2)};
  in.event_mask_ = 6;
  in.button_mask_ = 3;
  EXPECT_EQ(NextInput(in), kLeftPress);
  EXPECT_EQ(NextInput(in), "");
  // Right clicks, moves and wheel turns with the program's selection.
  in = Selected(6, 1);
  in.queue_ = {MouseAt(2, kButtonChanged, 2, 2), MouseAt(0, kButtonChanged, 2, 2),
               MouseAt(0, kMouseMoved, 3, 3), MouseAt(1, kWheelTurned, 3, 3)};
  EXPECT_EQ(NextInput(in), "");
  EXPECT_EQ(in.mouse_row_, 0);
  // Disabled: taken off, not reported, but the button state is kept.
  in = Selected(6, 1);
  in.enabled_ = false;
  in.queue_ = {MouseAt(1, kButtonChanged, 2, 2)};
  EXPECT_EQ(NextInput(in), "");
  EXPECT_EQ(in.previous_buttons_, 1u);
}

// The results of a double click made by a terminal, under a selection.
std::vector<std::string> DoubleClickResults(std::uint32_t events) {
  InputState in = Presses({{0, 9}, {200, 9}});
  in.enabled_ = true;
  in.event_mask_ = events;
  in.button_mask_ = 1;
  std::vector<std::string> results;
  for (std::string r = NextInput(in); !r.empty(); r = NextInput(in)) results.push_back(r);
  return results;
}

TEST(ReaderTest, DoubleClicksUnderEachSelection) {
  using V = std::vector<std::string>;
  EXPECT_EQ(DoubleClickResults(6), (V{kLeftPress, "\xff\xff\x02\x01"}));
  EXPECT_EQ(DoubleClickResults(2), (V{"\xff\xff\x02\x01"}));
  EXPECT_EQ(DoubleClickResults(4), (V{kLeftPress}));
}

// A release lost to a focus change or to garbage: the next press is still a
// press, in either encoding, and near enough in time it is a double click.
TEST(ReaderTest, APressAfterALostReleaseIsReported) {
  for (const std::string& press : {std::string("\x1b[<0;30;8M"), std::string("\x1b[M >(")}) {
    SCOPED_TRACE(::testing::PrintToString(press));
    InputState in = Selected(6, 1);
    FeedTerminalBytes(in, press, 0, true);
    EXPECT_EQ(NextInput(in), kLeftPress);
    FeedTerminalBytes(in, press, 2000, true);
    EXPECT_EQ(NextInput(in), kLeftPress);
    EXPECT_EQ(in.mouse_row_, 8);
    EXPECT_EQ(in.mouse_column_, 30);
    FeedTerminalBytes(in, press, 2100, true);
    EXPECT_EQ(NextInput(in), "\xff\xff\x02\x01");
    EXPECT_EQ(NextInput(in), "");
  }
}

TEST(ReaderTest, MouseDroppedWhenNotAccepted) {
  InputState in = Selected(6, 1);
  FeedTerminalBytes(in, "\x1b[<0;5;5Mx", 0, false);
  EXPECT_EQ(NextInput(in), "x");
  EXPECT_EQ(NextInput(in), "");
}

}  // namespace
}  // namespace glimmet
