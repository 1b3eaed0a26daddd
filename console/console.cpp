// The console services that only change the console's model of the screen
// buffer and of the mouse selection; each platform shows the model and
// feeds the reader in a file of its own.
#include "console/console.h"

#include <chrono>

namespace glimmet {

Attribute CurrentAttribute(const Console& console) {
  return MakeAttribute(console.foreground_, console.background_);
}

std::int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void PresentConsole(Console& console, bool all) {
  if (all || console.clock_() - console.last_write_ms_ >= kFrameMs) FlushConsole(console);
}

void SetCursor(Console& console, int n) {
  ScreenModel& s = console.screen_;
  if (n > 0) s.cursor_size_ = n < 10 ? 10 : n > 99 ? 99 : n;
  s.cursor_visible_ = n != 0;
}

void SetColours(Console& console, int foreground, int background, int count) {
  if (foreground >= 0 && foreground <= 15) console.foreground_ = foreground;
  if (background >= 0 && background <= 15) console.background_ = background;
  if (count > 0) console.screen_.Recolour(count, CurrentAttribute(console));
}

void MoveCursor(Console& console, int row, int column) {
  console.screen_.MoveCursor(row, column);
}

void PrintText(Console& console, std::string_view text) {
  const Attribute attr = CurrentAttribute(console);
  for (const char c : text) console.screen_.Write(static_cast<std::uint8_t>(c), attr);
}

void PrintNewline(Console& console) { PrintText(console, "\r\n"); }

void SelectMouseEvents(Console& console, std::uint32_t events, std::uint32_t buttons) {
  console.input_.event_mask_ = events;
  console.input_.button_mask_ = buttons & kButtonMaskBits;
}

int MouseRow(const Console& console) { return console.input_.mouse_row_; }

int MouseColumn(const Console& console) { return console.input_.mouse_column_; }

}  // namespace glimmet
