// The key-and-mouse reader's logic, apart from the terminal it reads.
//
// Bytes from the terminal are decoded into console input records, the form
// a console queues them in: key records with character, scan code and
// control-key state, and mouse records with the button state, the event
// flags and the cell. Terminals report button changes but no double clicks;
// a second press of the same button on the same cell within 500 ms becomes
// a double-click record, as a console makes it. NextInput then turns the
// queue into the reader's results one at a time.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "console/input_decoder.h"

namespace glimmet {

// Mouse record event flags.
constexpr std::uint32_t kButtonChanged = 0;
constexpr std::uint32_t kMouseMoved = 1;
constexpr std::uint32_t kDoubleClick = 2;
constexpr std::uint32_t kWheelTurned = 4;

// The reader's event codes, which are also the bits of the event mask
// that SelectMouseEvents takes.
constexpr std::uint32_t kMoveEvent = 1;
constexpr std::uint32_t kDoubleClickEvent = 2;
constexpr std::uint32_t kPressEvent = 4;
constexpr std::uint32_t kReleaseEvent = 8;

// Button state bits, also the bits of the button mask.
constexpr std::uint32_t kLeftButton = 1;
constexpr std::uint32_t kRightButton = 2;
constexpr std::uint32_t kMiddleButton = 4;
constexpr std::uint32_t kButtonMaskBits = 0xFFFF;

constexpr std::int64_t kDoubleClickMs = 500;
constexpr std::int64_t kEscapeWaitMs = 50;

struct InputRecord {
  enum class Kind { kKey, kMouse, kFocus };
  Kind kind_ = Kind::kKey;
  bool key_down_ = true;
  std::uint8_t ch_ = 0;
  std::uint8_t scan_ = 0;
  std::uint32_t control_ = 0;
  std::uint32_t buttons_ = 0;
  std::uint32_t flags_ = 0;
  int row_ = 0;     // 1-based
  int column_ = 0;  // 1-based
};

struct InputState {
  // Mouse selection and bookkeeping.
  bool enabled_ = false;
  std::uint32_t event_mask_ = 0;
  std::uint32_t button_mask_ = 0;
  std::uint32_t previous_buttons_ = 0;
  int mouse_row_ = 0;
  int mouse_column_ = 0;

  std::deque<InputRecord> queue_;

  // Decoding.
  std::string pending_;              // the start of an unfinished sequence
  std::int64_t pending_since_ = -1;  // when it arrived, ms
  bool discarding_ = false;          // inside an overlong sequence

  // Button state as the terminal reported it, and the last press, for
  // making double clicks.
  std::uint32_t held_ = 0;
  std::uint32_t last_press_button_ = 0;
  int last_press_row_ = 0;
  int last_press_column_ = 0;
  std::int64_t last_press_time_ = 0;
  bool last_press_was_double_ = false;
};

// Records waiting beyond this are left unread in the terminal.
constexpr std::size_t kQueueLimit = 256;

// Decodes bytes that arrived at `now` (ms) into records. Mouse reports are
// dropped when `accept_mouse` is false.
void FeedTerminalBytes(InputState& input, std::string_view bytes, std::int64_t now,
                       bool accept_mouse);

// Decodes what has waited kEscapeWaitMs without being completed: a lone
// ESC becomes the Esc key, an unfinished sequence is dropped.
void ExpireInput(InputState& input, std::int64_t now, bool accept_mouse);

// The next result of the reader: empty when nothing asked for is queued; a
// character (1 byte); 0 and a scan code (2 bytes); or 255, 255, the event
// code and the button byte of a mouse event (4 bytes), which also sets the
// mouse position.
std::string NextInput(InputState& input);

}  // namespace glimmet
