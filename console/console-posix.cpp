// The console on a POSIX terminal: its bytes through the terminal's
// descriptors, its size from the kernel, and raw mode entered and left
// through the terminal layer.
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "console/console.h"
#include "console/vt_transport.h"

namespace glimmet {

namespace {

bool Start(Console& console, std::span<const SignalUse> signals, std::string& error) {
  if (!EnterTerminal(console.fds_, signals, error)) return false;
  // A terminal that does not say its size is taken to be the usual one.
  console.view_.columns_ = 80;
  console.view_.rows_ = 24;
  ReadTerminalSize(console);
  return true;
}

}  // namespace

void ReadTerminalSize(Console& console) {
  int columns = 0, rows = 0;
  if (TerminalSize(console.fds_.output_, columns, rows)) {
    console.view_.columns_ = columns;
    console.view_.rows_ = rows;
  }
}

Repaint TakeRepaint(Console&) {
  if (TakeContinued()) {
    ReenterTerminal();
    TakeResized();  // painted whole anyway
    return Repaint::kReentered;
  }
  return TakeResized() ? Repaint::kResized : Repaint::kNone;
}

bool WriteBytes(Console& console, std::string_view bytes, bool& short_write) {
  return WriteAll(console.fds_.output_, bytes.data(), bytes.size(), short_write);
}

long ReadBytes(Console& console, char* buffer, std::size_t size) {
  if (console.fds_.input_ < 0) return 0;
  const ssize_t n = read(console.fds_.input_, buffer, size);
  if (n > 0) return n;
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
  return -1;  // end of file or an error: the terminal hung up
}

bool AwaitBytes(Console& console, int timeout_ms) {
  return console.fds_.input_ < 0 || WaitForTerminal(console.fds_.input_, timeout_ms);
}

bool TerminalPixels(Console& console, int& width, int& height) {
  return TerminalPixelSize(console.fds_.output_, width, height);
}

bool CanWrite(const Console& console) { return console.fds_.output_ >= 0; }

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

}  // namespace glimmet
