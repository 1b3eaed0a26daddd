// The console on a terminal that takes xterm's sequences, wherever its
// bytes travel: the model shown through escape sequences in one write a
// flush, the reader fed from the bytes that come back. Each platform moves
// the bytes in a file of its own (vt_transport.h).
#include <algorithm>

#include "console/console.h"
#include "console/vt_transport.h"

namespace glimmet {

namespace {

constexpr char kMouseOn[] = "\x1b[?1000h\x1b[?1006h";
constexpr char kMouseOff[] = "\x1b[?1006l\x1b[?1000l";

bool AcceptsMouse(const Console& console) {
  return !console.view_.TooSmallFor(console.screen_);
}

}  // namespace

void FlushConsole(Console& console, bool resized) {
  if (console.gone_ || !CanWrite(console)) {
    console.out_.clear();
    return;
  }
  const Repaint repaint = TakeRepaint(console);
  // A terminal given back to the shell meanwhile has mouse reporting off.
  if (repaint == Repaint::kReentered && console.mouse_reporting_) console.out_ += kMouseOn;
  if (repaint != Repaint::kNone || resized) {
    ReadTerminalSize(console);
    console.view_.Invalidate();
  }
  Render(console.screen_, console.view_, console.out_);
  if (console.out_.empty()) return;
  bool short_write = false;
  ++console.writes_;
  console.last_write_ms_ = console.clock_();
  if (!WriteBytes(console, console.out_, short_write)) console.gone_ = true;
  if (short_write) console.pending_error_ = kErrorShortWrite;
  console.out_.clear();
}

// The terminal itself is never resized: a terminal that shrinks on request
// cuts the lines of the user's main screen for good. The alternate screen
// already is a blank grid, and the panel is drawn in its top-left corner.
void SetScreenSize(Console& console, int columns, int rows) {
  ReadTerminalSize(console);
  console.screen_.Resize(columns, rows, CurrentAttribute(console));
  console.view_.Invalidate();
  if (console.view_.TooSmallFor(console.screen_)) console.pending_error_ = kErrorScreenSize;
}

std::string ReadInput(Console& console) {
  const std::int64_t now = console.clock_();
  char buffer[1024];
  for (int reads = 0; reads < 4 && !console.gone_ && console.input_.queue_.size() < kQueueLimit;
       ++reads) {
    const long n = ReadBytes(console, buffer, sizeof buffer);
    if (n < 0) console.gone_ = true;  // the terminal hung up
    if (n <= 0) break;
    FeedTerminalBytes(console.input_, std::string_view(buffer, n), now, AcceptsMouse(console));
    if (static_cast<std::size_t>(n) < sizeof buffer) break;
  }
  ExpireInput(console.input_, now, AcceptsMouse(console));
  return NextInput(console.input_);
}

void WaitForInput(Console& console) {
  InputState& input = console.input_;
  if (console.gone_ || !CanWrite(console) || !input.queue_.empty()) return;
  int timeout = -1;
  if (!input.pending_.empty())  // an ESC, or a sequence, not yet complete
    timeout = static_cast<int>(
        std::max<std::int64_t>(0, input.pending_since_ + kEscapeWaitMs - console.clock_()));
  if (!AwaitBytes(console, timeout)) console.gone_ = true;
}

void EnableMouse(Console& console, bool on) {
  console.input_.enabled_ = on;
  if (!on) console.input_.mouse_row_ = console.input_.mouse_column_ = 0;
  if (on != console.mouse_reporting_) console.out_ += on ? kMouseOn : kMouseOff;
  console.mouse_reporting_ = on;
}

void TextArea(Console& console, int& columns, int& rows, int& pixel_width, int& pixel_height) {
  ReadTerminalSize(console);
  columns = console.view_.columns_;
  rows = console.view_.rows_;
  if (!TerminalPixels(console, pixel_width, pixel_height)) pixel_width = pixel_height = 0;
}

}  // namespace glimmet
