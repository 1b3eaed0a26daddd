// Decoding the bytes a terminal sends into key presses and mouse reports.
//
// DecodeInput is a pure function: given the bytes received so far, it either
// says that they begin with an incomplete sequence and more must be waited
// for, or it consumes one complete sequence (a key, a mouse report, a focus
// report, or something malformed or unknown that yields nothing). Only the
// caller knows whether more bytes may still come; once it says none will (a
// short time has passed), a lone ESC is the Esc key and any other incomplete
// sequence is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace glimmet {

// Control-key state bits, as a console reports them with each key.
constexpr std::uint32_t kRightAlt = 0x01;
constexpr std::uint32_t kLeftAlt = 0x02;
constexpr std::uint32_t kRightCtrl = 0x04;
constexpr std::uint32_t kLeftCtrl = 0x08;
constexpr std::uint32_t kShift = 0x10;
constexpr std::uint32_t kCapsLock = 0x80;
constexpr std::uint32_t kEnhancedKey = 0x100;

enum class MouseAction { kPress, kRelease, kMove, kWheel };

struct TerminalEvent {
  enum class Type { kNone, kKey, kMouse, kFocus };
  Type type_ = Type::kNone;
  // Keys: the character (0 for keys without one), the US-layout scan code
  // and the control-key state.
  std::uint8_t ch_ = 0;
  std::uint8_t scan_ = 0;
  std::uint32_t control_ = 0;
  // Mouse: button 0 left, 1 middle, 2 right, -1 unknown (a release in the
  // old encoding names no button); 1-based row and column.
  MouseAction action_ = MouseAction::kPress;
  int button_ = 0;
  int row_ = 0;
  int column_ = 0;
};

struct Decoded {
  bool need_more_ = false;  // the bytes begin an incomplete sequence
  std::size_t consumed_ = 0;
  TerminalEvent event_;
};

// Decodes the sequence at the start of `bytes` (which must not be empty).
Decoded DecodeInput(std::string_view bytes, bool more_may_come);

// The longest sequence worth waiting for; anything longer is malformed.
constexpr std::size_t kLongestSequence = 48;

}  // namespace glimmet
