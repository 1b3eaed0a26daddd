// The seam under a console that speaks xterm's sequences: how its bytes
// reach the terminal and come back. A POSIX terminal moves them through
// descriptors; a web page through the terminal it shows. Everything above
// the bytes (the model, the repaint, the reader) is the same for both.
#pragma once

#include <cstddef>
#include <string_view>

#include "console/console.h"

namespace glimmet {

// Reads the terminal's size in cells into console.view_, where it tells.
void ReadTerminalSize(Console& console);

enum class Repaint {
  kNone,
  kResized,     // the terminal changed size
  kReentered,  // the process was continued and took the terminal back
};

// Whether the terminal must be painted whole at the next flush, once.
Repaint TakeRepaint(Console& console);

// Writes all of `bytes`. Sets `short_write` when the terminal took fewer
// bytes than offered at a time; false when the terminal is gone.
bool WriteBytes(Console& console, std::string_view bytes, bool& short_write);

// Reads what the terminal has sent, up to `size` bytes, without waiting:
// the count, 0 when nothing has come, -1 when the terminal is gone.
long ReadBytes(Console& console, char* buffer, std::size_t size);

// Sleeps until the terminal has sent something, must be repainted, or
// `timeout_ms` pass (-1: no limit); returns at once where the platform
// cannot sleep (a page waits for its next frame instead). False when the
// wait itself failed.
bool AwaitBytes(Console& console, int timeout_ms);

// The text area in pixels; false where the terminal does not tell.
bool TerminalPixels(Console& console, int& width, int& height);

// True when the console can be written to (it is open, and not gone).
bool CanWrite(const Console& console);

}  // namespace glimmet
