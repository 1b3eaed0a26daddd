// The console on a POSIX terminal: the model shown through escape
// sequences, the reader fed from the terminal's bytes.
#include "console/console.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace glimmet {

namespace {

constexpr char kMouseOn[] = "\x1b[?1000h\x1b[?1006h";
constexpr char kMouseOff[] = "\x1b[?1006l\x1b[?1000l";

void ReadSize(Console& console) {
  int columns = 0, rows = 0;
  if (TerminalSize(console.fds_.output_, columns, rows)) {
    console.view_.columns_ = columns;
    console.view_.rows_ = rows;
  }
}

bool Start(Console& console, std::span<const SignalUse> signals, std::string& error) {
  if (!EnterTerminal(console.fds_, signals, error)) return false;
  // A terminal that does not say its size is taken to be the usual one.
  console.view_.columns_ = 80;
  console.view_.rows_ = 24;
  ReadSize(console);
  return true;
}

bool AcceptsMouse(const Console& console) {
  return !console.view_.TooSmallFor(console.screen_);
}

}  // namespace

bool OpenConsole(Console& console, std::span<const SignalUse> signals, std::string& error) {
  if (!FindTerminal(console.fds_, error)) return false;
  return Start(console, signals, error);
}

bool OpenConsoleOn(Console& console, int input_fd, int output_fd,
                   std::span<const SignalUse> signals, std::string& error) {
  const int flags = fcntl(input_fd, F_GETFL);
  if (flags < 0 || fcntl(input_fd, F_SETFL, flags | O_NONBLOCK) < 0) {
    error = "cannot make the terminal's input non-blocking";
    return false;
  }
  console.fds_ = TerminalFds{input_fd, output_fd, false};
  return Start(console, signals, error);
}

void CloseConsole(Console& console) {
  FlushConsole(console);
  RestoreTerminal();
  if (console.fds_.owns_output_) close(console.fds_.output_);
  if (console.fds_.input_ >= 0) close(console.fds_.input_);
  console.fds_ = TerminalFds{};
}

void FlushConsole(Console& console, bool resized) {
  if (console.gone_ || console.fds_.output_ < 0) {
    console.out_.clear();
    return;
  }
  if (TakeContinued()) {
    ReenterTerminal();
    if (console.mouse_reporting_) console.out_ += kMouseOn;
    resized = true;
  }
  if (TakeResized() || resized) {
    ReadSize(console);
    console.view_.Invalidate();
  }
  Render(console.screen_, console.view_, console.out_);
  if (console.out_.empty()) return;
  bool short_write = false;
  ++console.writes_;
  console.last_write_ms_ = console.clock_();
  if (!WriteAll(console.fds_.output_, console.out_.data(), console.out_.size(), short_write))
    console.gone_ = true;
  if (short_write) console.pending_error_ = kErrorShortWrite;
  console.out_.clear();
}

// The terminal itself is never resized: a terminal that shrinks on request
// cuts the lines of the user's main screen for good. The alternate screen
// already is a blank grid, and the panel is drawn in its top-left corner.
void SetScreenSize(Console& console, int columns, int rows) {
  ReadSize(console);
  console.screen_.Resize(columns, rows, CurrentAttribute(console));
  console.view_.Invalidate();
  if (console.view_.TooSmallFor(console.screen_)) console.pending_error_ = kErrorScreenSize;
}

std::string ReadInput(Console& console) {
  const std::int64_t now = console.clock_();
  if (now - console.last_write_ms_ >= kFrameMs) FlushConsole(console);
  char buffer[1024];
  for (int reads = 0; reads < 4 && !console.gone_ && console.fds_.input_ >= 0 &&
                      console.input_.queue_.size() < kQueueLimit;
       ++reads) {
    const ssize_t n = read(console.fds_.input_, buffer, sizeof buffer);
    if (n > 0) {
      FeedTerminalBytes(console.input_, std::string_view(buffer, n), now, AcceptsMouse(console));
      if (static_cast<std::size_t>(n) < sizeof buffer) break;
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) break;
    console.gone_ = true;  // end of file or an error: the terminal hung up
  }
  ExpireInput(console.input_, now, AcceptsMouse(console));
  return NextInput(console.input_);
}

void WaitForInput(Console& console) {
  FlushConsole(console);
  InputState& input = console.input_;
  if (console.gone_ || console.fds_.input_ < 0 || !input.queue_.empty()) return;
  int timeout = -1;
  if (!input.pending_.empty())  // an ESC, or a sequence, not yet complete
    timeout = static_cast<int>(
        std::max<std::int64_t>(0, input.pending_since_ + kEscapeWaitMs - console.clock_()));
  if (!WaitForTerminal(console.fds_.input_, timeout)) console.gone_ = true;
}

void EnableMouse(Console& console, bool on) {
  console.input_.enabled_ = on;
  if (!on) console.input_.mouse_row_ = console.input_.mouse_column_ = 0;
  if (on != console.mouse_reporting_) console.out_ += on ? kMouseOn : kMouseOff;
  console.mouse_reporting_ = on;
  FlushConsole(console);
}

void TextArea(Console& console, int& columns, int& rows, int& pixel_width, int& pixel_height) {
  ReadSize(console);
  columns = console.view_.columns_;
  rows = console.view_.rows_;
  if (!TerminalPixelSize(console.fds_.output_, pixel_width, pixel_height))
    pixel_width = pixel_height = 0;
}

}  // namespace glimmet
