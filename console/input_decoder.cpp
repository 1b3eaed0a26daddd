// Terminal input sequences of the xterm, VT220, rxvt and Linux console
// families, and the US keyboard layout's scan codes.
#include "console/input_decoder.h"

#include <array>

namespace glimmet {

namespace {

using Type = TerminalEvent::Type;

constexpr std::uint8_t kEsc = 0x1B;

struct KeyCode {
  std::uint8_t scan_ = 0;
  bool shift_ = false;
};

// Scan code and Shift for every printable ASCII character on a US layout.
constexpr std::array<KeyCode, 128> BuildAsciiKeys() {
  std::array<KeyCode, 128> keys{};
  constexpr std::string_view rows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
  constexpr std::uint8_t first[] = {16, 30, 44};
  for (int r = 0; r < 3; ++r) {
    for (std::size_t i = 0; i < rows[r].size(); ++i) {
      const auto scan = static_cast<std::uint8_t>(first[r] + i);
      keys[static_cast<unsigned char>(rows[r][i])] = {scan, false};
      keys[static_cast<unsigned char>(rows[r][i] - 'a' + 'A')] = {scan, true};
    }
  }
  constexpr std::string_view digits = "1234567890", shifted = "!@#$%^&*()";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    keys[static_cast<unsigned char>(digits[i])] = {static_cast<std::uint8_t>(2 + i), false};
    keys[static_cast<unsigned char>(shifted[i])] = {static_cast<std::uint8_t>(2 + i), true};
  }
  struct Pair { char plain, shift; std::uint8_t scan; };
  constexpr Pair symbols[] = {{'-', '_', 12}, {'=', '+', 13}, {'[', '{', 26}, {']', '}', 27},
                              {';', ':', 39}, {'\'', '"', 40}, {'`', '~', 41}, {'\\', '|', 43},
                              {',', '<', 51}, {'.', '>', 52}, {'/', '?', 53}};
  for (const Pair& p : symbols) {
    keys[static_cast<unsigned char>(p.plain)] = {p.scan, false};
    keys[static_cast<unsigned char>(p.shift)] = {p.scan, true};
  }
  keys[' '] = {57, false};
  return keys;
}

constexpr std::array<KeyCode, 128> kAsciiKeys = BuildAsciiKeys();

TerminalEvent Key(std::uint8_t ch, std::uint8_t scan, std::uint32_t control) {
  TerminalEvent e;
  e.type_ = Type::kKey;
  e.ch_ = ch;
  e.scan_ = scan;
  e.control_ = control;
  return e;
}

Decoded Done(std::size_t consumed, TerminalEvent event = {}) {
  return Decoded{false, consumed, event};
}
Decoded NeedMore() { return Decoded{true, 0, {}}; }

// A single byte that is not the start of a sequence.
TerminalEvent PlainKey(std::uint8_t byte) {
  switch (byte) {
    case '\r': return Key(13, 28, 0);
    case '\t': return Key(9, 15, 0);
    case 127:
    case '\b': return Key(8, 14, 0);
    case 0: return Key(0, 3, kLeftCtrl);  // Ctrl+2, Ctrl+@
    case 28: return Key(28, 43, kLeftCtrl);
    case 29: return Key(29, 27, kLeftCtrl);
    case 30: return Key(30, 7, kLeftCtrl);
    case 31: return Key(31, 12, kLeftCtrl);
    default: break;
  }
  if (byte >= 1 && byte <= 26) {
    return Key(byte, kAsciiKeys['a' + byte - 1].scan_, kLeftCtrl);
  }
  const KeyCode code = kAsciiKeys[byte & 0x7F];
  return Key(byte, code.scan_, code.shift_ ? kShift : 0);
}

// The control-key state of an xterm modifier parameter (1 + bits).
std::uint32_t Modifiers(int parameter) {
  if (parameter < 2) return 0;
  const int bits = parameter - 1;
  return (bits & 1 ? kShift : 0) | (bits & 2 ? kLeftAlt : 0) | (bits & 4 ? kLeftCtrl : 0);
}

std::uint8_t TildeKeyScan(int code) {
  switch (code) {
    case 1: case 7: return 71;   // Home
    case 2: return 82;           // Insert
    case 3: return 83;           // Delete
    case 4: case 8: return 79;   // End
    case 5: return 73;           // Page Up
    case 6: return 81;           // Page Down
    case 11: case 12: case 13: case 14: case 15: return static_cast<std::uint8_t>(59 + code - 11);
    case 17: case 18: case 19: case 20: case 21: return static_cast<std::uint8_t>(64 + code - 17);
    case 23: return 87;          // F11
    case 24: return 88;          // F12
    default: return 0;
  }
}

std::uint8_t LetterKeyScan(char final_byte) {
  switch (final_byte) {
    case 'A': return 72;
    case 'B': return 80;
    case 'C': return 77;
    case 'D': return 75;
    case 'E': return 76;  // keypad 5
    case 'H': return 71;
    case 'F': return 79;
    case 'P': return 59;
    case 'Q': return 60;
    case 'R': return 61;
    case 'S': return 62;
    default: return 0;
  }
}

struct Csi {
  char prefix_ = 0;  // '<', '?', '>' or '=' before the parameters
  int params_[4] = {-1, -1, -1, -1};
  int count_ = 0;
  bool valid_ = true;  // false for numbers too long or too many parameters
  char final_ = 0;
  std::size_t length_ = 0;
};

// Parses ESC [ ... up to its final byte; false when the bytes end first.
bool ParseCsi(std::string_view b, Csi& csi) {
  std::size_t i = 2;
  if (i < b.size() && (b[i] == '<' || b[i] == '?' || b[i] == '>' || b[i] == '=')) csi.prefix_ = b[i++];
  int value = -1;
  for (; i < b.size(); ++i) {
    const auto c = static_cast<unsigned char>(b[i]);
    if (c >= '0' && c <= '9') {
      value = (value < 0 ? 0 : value) * 10 + (c - '0');
      if (value > 99999) {
        csi.valid_ = false;
        value = 99999;
      }
      continue;
    }
    if (c == ';' || c == ':') {
      if (csi.count_ < 4) csi.params_[csi.count_] = value;
      else csi.valid_ = false;
      ++csi.count_;
      value = -1;
      continue;
    }
    // rxvt ends modified keys with '$' (Shift), '^' (Ctrl) or '@' (both).
    if ((c >= 0x40 && c <= 0x7E) || c == '$') {
      if (csi.count_ < 4) csi.params_[csi.count_] = value;
      else csi.valid_ = false;
      ++csi.count_;
      csi.final_ = static_cast<char>(c);
      csi.length_ = i + 1;
      return true;
    }
    if (c >= 0x20 && c <= 0x2F) continue;  // intermediates: ignored
    csi.valid_ = false;                    // a byte that has no place here
    csi.final_ = 0;
    csi.length_ = i;
    return true;
  }
  return false;
}

TerminalEvent Mouse(int code, int column, int row, bool release, bool old_encoding) {
  TerminalEvent e;
  if (row < 1 || column < 1) return e;
  e.type_ = Type::kMouse;
  e.row_ = row;
  e.column_ = column;
  e.button_ = code & 3;
  if (code & 64) {
    e.action_ = MouseAction::kWheel;
  } else if (code & 32) {
    e.action_ = MouseAction::kMove;
  } else if (release || (old_encoding && e.button_ == 3)) {
    e.action_ = MouseAction::kRelease;
    if (old_encoding) e.button_ = -1;
  } else {
    e.action_ = MouseAction::kPress;
  }
  if (e.button_ == 3) e.button_ = -1;
  return e;
}

Decoded DecodeCsi(std::string_view b) {
  if (b.size() >= 3 && b[2] == 'M') {  // old mouse encoding: three raw bytes
    if (b.size() < 6) return NeedMore();
    const auto at = [&](int i) { return static_cast<unsigned char>(b[i]) - 32; };
    return Done(6, Mouse(at(3), at(4), at(5), false, true));
  }
  if (b.size() >= 3 && b[2] == '[') {  // Linux console F1 to F5
    if (b.size() < 4) return NeedMore();
    const char c = b[3];
    return Done(4, c >= 'A' && c <= 'E' ? Key(0, static_cast<std::uint8_t>(59 + c - 'A'), 0)
                                        : TerminalEvent{});
  }
  Csi csi;
  if (!ParseCsi(b, csi)) return NeedMore();
  if (!csi.valid_) return Done(csi.length_);
  const int p0 = csi.params_[0], p1 = csi.params_[1];
  if (csi.prefix_ == '<') {
    if ((csi.final_ != 'M' && csi.final_ != 'm') || csi.count_ != 3 || p0 < 0)
      return Done(csi.length_);
    return Done(csi.length_, Mouse(p0, p1, csi.params_[2], csi.final_ == 'm', false));
  }
  if (csi.prefix_ != 0) return Done(csi.length_);
  switch (csi.final_) {
    case 'I':
    case 'O': {
      TerminalEvent focus;
      focus.type_ = Type::kFocus;
      return Done(csi.length_, focus);
    }
    case 'Z': return Done(csi.length_, Key(9, 15, kShift));
    case '~':
    case '$':
    case '^':
    case '@': {
      const std::uint8_t scan = TildeKeyScan(p0);
      if (scan == 0) return Done(csi.length_);
      std::uint32_t control = Modifiers(p1);
      if (csi.final_ == '$' || csi.final_ == '@') control |= kShift;
      if (csi.final_ == '^' || csi.final_ == '@') control |= kLeftCtrl;
      return Done(csi.length_, Key(0, scan, control | kEnhancedKey));
    }
    default: {
      const std::uint8_t scan = LetterKeyScan(csi.final_);
      if (scan == 0) return Done(csi.length_);
      return Done(csi.length_, Key(0, scan, Modifiers(p1) | kEnhancedKey));
    }
  }
}

Decoded DecodeSs3(std::string_view b) {
  if (b.size() < 3) return NeedMore();
  const char c = b[2];
  if (c == 'M') return Done(3, Key(13, 28, 0));  // keypad Enter
  const std::uint8_t scan = LetterKeyScan(c);
  return Done(3, scan ? Key(0, scan, kEnhancedKey) : TerminalEvent{});
}

Decoded DecodeUtf8(std::string_view b) {
  const auto lead = static_cast<unsigned char>(b[0]);
  std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (lead < 0xC2 || lead > 0xF4) return Done(1);
  std::uint32_t code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if (i >= b.size()) return NeedMore();
    const auto c = static_cast<unsigned char>(b[i]);
    if ((c & 0xC0) != 0x80) return Done(i);
    code = code << 6 | (c & 0x3F);
  }
  // The console's code page holds Latin-1; anything beyond it is a '?'.
  return Done(length, Key(code <= 0xFF ? static_cast<std::uint8_t>(code) : '?', 0, 0));
}

}  // namespace

Decoded DecodeInput(std::string_view b, bool more_may_come) {
  const auto first = static_cast<unsigned char>(b[0]);
  if (first >= 0x80) {
    const Decoded d = DecodeUtf8(b);
    return d.need_more_ && !more_may_come ? Done(b.size()) : d;
  }
  if (first != kEsc) return Done(1, PlainKey(first));
  if (b.size() == 1) return more_may_come ? NeedMore() : Done(1, Key(27, 1, 0));
  const auto second = static_cast<unsigned char>(b[1]);
  Decoded d;
  if (second == '[') {
    d = DecodeCsi(b);
  } else if (second == 'O') {
    d = DecodeSs3(b);
  } else if (second == kEsc) {
    return Done(1, Key(27, 1, 0));
  } else if (second < 0x80) {
    TerminalEvent alt = PlainKey(second);
    alt.control_ |= kLeftAlt;
    return Done(2, alt);
  } else {
    return Done(1, Key(27, 1, 0));
  }
  if (!d.need_more_ || more_may_come) return d;
  // Nothing more is coming: ESC [ and ESC O alone were Alt with a key, and
  // any longer unfinished sequence is dropped.
  if (b.size() == 2) {
    TerminalEvent alt = PlainKey(second);
    alt.control_ |= kLeftAlt;
    return Done(2, alt);
  }
  return Done(b.size());
}

}  // namespace glimmet
