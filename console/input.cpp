// From terminal bytes to console records, and from records to the reader's
// results by the console's rules.
#include "console/input.h"

namespace glimmet {

namespace {

std::uint32_t ButtonBit(int button) {
  switch (button) {
    case 0: return kLeftButton;
    case 1: return kMiddleButton;
    case 2: return kRightButton;
    default: return 0;
  }
}

bool IsDoubleClick(const InputState& in, std::uint32_t bit, const TerminalEvent& e,
                   std::int64_t now) {
  return !in.last_press_was_double_ && in.last_press_button_ == bit &&
         in.last_press_row_ == e.row_ && in.last_press_column_ == e.column_ &&
         now - in.last_press_time_ <= kDoubleClickMs;
}

// The record a mouse report stands for; false when it stands for none.
bool MouseRecord(InputState& in, const TerminalEvent& e, std::int64_t now, InputRecord& r) {
  r.kind_ = InputRecord::Kind::kMouse;
  r.row_ = e.row_;
  r.column_ = e.column_;
  const std::uint32_t bit = ButtonBit(e.button_);
  switch (e.action_) {
    case MouseAction::kPress: {
      if (bit == 0) return false;
      const bool twice = IsDoubleClick(in, bit, e, now);
      in.held_ |= bit;
      r.flags_ = twice ? kDoubleClick : kButtonChanged;
      in.last_press_button_ = bit;
      in.last_press_row_ = e.row_;
      in.last_press_column_ = e.column_;
      in.last_press_time_ = now;
      in.last_press_was_double_ = twice;
      break;
    }
    case MouseAction::kRelease:
      // The old encoding does not say which button went up.
      in.held_ = bit == 0 ? 0 : in.held_ & ~bit;
      r.flags_ = kButtonChanged;
      break;
    case MouseAction::kMove: r.flags_ = kMouseMoved; break;
    case MouseAction::kWheel: r.flags_ = kWheelTurned; break;
  }
  r.buttons_ = in.held_;
  return true;
}

// A press of a button the reader still believes held means its release was
// lost (to a focus change, or to garbage): queue that release first, so the
// press is a change of state and is reported as the new press it is.
void LoseStaleRelease(InputState& in, const TerminalEvent& e, InputRecord r) {
  const std::uint32_t bit = ButtonBit(e.button_);
  if (e.action_ != MouseAction::kPress || bit == 0 || !(in.held_ & bit)) return;
  in.held_ &= ~bit;
  r.kind_ = InputRecord::Kind::kMouse;
  r.row_ = e.row_;
  r.column_ = e.column_;
  r.flags_ = kButtonChanged;
  r.buttons_ = in.held_;
  if (in.queue_.size() < kQueueLimit) in.queue_.push_back(r);
}

void Enqueue(InputState& in, const TerminalEvent& e, std::int64_t now, bool accept_mouse) {
  InputRecord r;
  switch (e.type_) {
    case TerminalEvent::Type::kNone: return;
    case TerminalEvent::Type::kKey:
      r.kind_ = InputRecord::Kind::kKey;
      r.ch_ = e.ch_;
      r.scan_ = e.scan_;
      r.control_ = e.control_;
      break;
    case TerminalEvent::Type::kFocus: r.kind_ = InputRecord::Kind::kFocus; break;
    case TerminalEvent::Type::kMouse:
      if (!accept_mouse) return;
      LoseStaleRelease(in, e, r);
      if (!MouseRecord(in, e, now, r)) return;
      break;
  }
  if (in.queue_.size() < kQueueLimit) in.queue_.push_back(r);
}

bool IsFinalByte(unsigned char c) { return c >= 0x40 && c <= 0x7E; }

void Decode(InputState& in, std::int64_t now, bool more_may_come, bool accept_mouse) {
  std::size_t at = 0;
  const std::string_view bytes = in.pending_;
  while (at < bytes.size()) {
    if (in.discarding_) {
      // An overlong sequence ends at its final byte, or where ESC starts
      // the next one, as it does in a terminal.
      const auto c = static_cast<unsigned char>(bytes[at]);
      in.discarding_ = !IsFinalByte(c) && c != 0x1B;
      if (c != 0x1B) ++at;
      continue;
    }
    const Decoded d = DecodeInput(bytes.substr(at), more_may_come);
    if (d.need_more_) {
      if (bytes.size() - at < kLongestSequence) break;
      in.discarding_ = true;  // too long to be anything: skip to its end
      at = bytes.size();
      break;
    }
    Enqueue(in, d.event_, now, accept_mouse);
    at += d.consumed_;
  }
  in.pending_.erase(0, at);
  if (in.pending_.empty()) in.pending_since_ = -1;
  else if (in.pending_since_ < 0) in.pending_since_ = now;
}

// Letter keys, for Alt with a letter.
bool IsLetterScan(std::uint8_t k) {
  return (k >= 16 && k <= 25) || (k >= 30 && k <= 38) || (k >= 44 && k <= 50);
}

bool IsLoneModifier(std::uint8_t k) {
  return k == 29 || k == 42 || k == 54 || k == 56 || k == 58 || k == 69 || k == 70;
}

// With Caps Lock on, the keys whose two characters swap with Shift.
std::uint8_t CapsLockCorrection(std::uint8_t ch, std::uint8_t scan, std::uint32_t control) {
  if (!(control & kCapsLock)) return ch;
  static constexpr struct { std::uint8_t scan; char plain, shifted; } kKeys[] = {
      {2, '1', '!'},  {3, '2', '@'},  {4, '3', '#'},  {5, '4', '$'},   {6, '5', '%'},
      {7, '6', '^'},  {8, '7', '&'},  {9, '8', '*'},  {10, '9', '('},  {11, '0', ')'},
      {12, '-', '_'}, {13, '=', '+'}, {26, '[', '{'}, {27, ']', '}'},  {39, ';', ':'},
      {40, '\'', '"'}, {41, '`', '~'}, {43, '\\', '|'}, {51, ',', '<'}, {52, '.', '>'},
      {53, '/', '?'}};
  const bool shift = control & kShift;
  for (const auto& key : kKeys) {
    if (key.scan != scan) continue;
    if (shift && ch == static_cast<std::uint8_t>(key.plain)) return key.shifted;
    if (!shift && ch == static_cast<std::uint8_t>(key.shifted)) return key.plain;
    return ch;
  }
  return ch;
}

// The result for a key record, or nothing for one that gives none.
bool KeyResult(const InputRecord& r, std::string& result) {
  if (!r.key_down_) return false;
  const bool alt = r.control_ & (kLeftAlt | kRightAlt);
  if (r.ch_ != 0) {
    if (alt && IsLetterScan(r.scan_)) {
      result = {'\0', static_cast<char>(r.scan_)};
    } else {
      result = std::string(1, static_cast<char>(CapsLockCorrection(r.ch_, r.scan_, r.control_)));
    }
    return true;
  }
  if (IsLoneModifier(r.scan_)) return false;
  if (r.scan_ == 1) {
    result = std::string(1, (r.control_ & kCapsLock) ? '\x1b' : '\0');
    return true;
  }
  result = {'\0', static_cast<char>(r.scan_)};
  return true;
}

// The event code and button byte for a mouse record, or nothing.
bool MouseResult(const InputState& in, const InputRecord& r, char& code, char& button) {
  switch (r.flags_) {
    case kButtonChanged: {
      const std::uint32_t changed = r.buttons_ ^ in.previous_buttons_;
      const std::uint32_t b = changed & (~changed + 1);  // lowest set bit
      if (b == 0) return false;
      const std::uint32_t event = (r.buttons_ & b) ? kPressEvent : kReleaseEvent;
      if (!(in.event_mask_ & event) || !(in.button_mask_ & b)) return false;
      code = static_cast<char>(event);
      button = static_cast<char>(b);
      return true;
    }
    case kMouseMoved:
      if (!(in.event_mask_ & kMoveEvent)) return false;
      code = kMoveEvent;
      button = 0;
      return true;
    case kDoubleClick:
      if (!(in.event_mask_ & kDoubleClickEvent) || !(r.buttons_ & kButtonMaskBits & in.button_mask_))
        return false;
      code = kDoubleClickEvent;
      button = static_cast<char>(r.buttons_ & 0xFF);
      return true;
    default:
      return false;  // wheel turns are never clicks
  }
}

}  // namespace

void FeedTerminalBytes(InputState& input, std::string_view bytes, std::int64_t now,
                       bool accept_mouse) {
  input.pending_.append(bytes);
  Decode(input, now, true, accept_mouse);
}

void ExpireInput(InputState& input, std::int64_t now, bool accept_mouse) {
  if (input.pending_.empty() || now - input.pending_since_ < kEscapeWaitMs) return;
  Decode(input, now, false, accept_mouse);
}

std::string NextInput(InputState& input) {
  std::string result;
  while (!input.queue_.empty()) {
    const InputRecord r = input.queue_.front();
    input.queue_.pop_front();
    if (r.kind_ == InputRecord::Kind::kKey) {
      if (KeyResult(r, result)) return result;
      continue;
    }
    if (r.kind_ != InputRecord::Kind::kMouse) continue;
    char code = 0, button = 0;
    const bool reported = input.enabled_ && MouseResult(input, r, code, button);
    input.previous_buttons_ = r.buttons_;
    if (!reported) continue;
    input.mouse_row_ = r.row_;
    input.mouse_column_ = r.column_;
    return {'\xff', '\xff', code, button};
  }
  return result;
}

}  // namespace glimmet
