// The console on a POSIX terminal: its bytes through the terminal's
// descriptors, its size from the kernel, and raw mode entered and left
// through the terminal layer.
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "console/console.h"
#include "console/vt_transport.h"

namespace glimmet {

struct ConsoleLink {
  TerminalFds fds_;
};

namespace {

// The descriptors of an open console; none (-1) before it is open.
const TerminalFds& Fds(const Console& console) {
  static const TerminalFds kNone;
  return console.link_ ? console.link_->fds_ : kNone;
}

bool Start(Console& console, const TerminalFds& fds, std::span<const SignalUse> signals,
           std::string& error) {
  if (!EnterTerminal(fds, signals, error)) return false;
  console.link_ = std::make_shared<ConsoleLink>(ConsoleLink{fds});
  // A terminal that does not say its size is taken to be the usual one.
  console.view_.columns_ = 80;
  console.view_.rows_ = 24;
  ReadTerminalSize(console);
  return true;
}

}  // namespace

void ReadTerminalSize(Console& console) {
  int columns = 0, rows = 0;
  if (TerminalSize(Fds(console).output_, columns, rows)) {
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
  return WriteAll(Fds(console).output_, bytes.data(), bytes.size(), short_write);
}

long ReadBytes(Console& console, char* buffer, std::size_t size) {
  if (Fds(console).input_ < 0) return 0;
  const ssize_t n = read(Fds(console).input_, buffer, size);
  if (n > 0) return n;
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
  return -1;  // end of file or an error: the terminal hung up
}

bool AwaitBytes(Console& console, int timeout_ms) {
  return Fds(console).input_ < 0 || WaitForTerminal(Fds(console).input_, timeout_ms);
}

bool TerminalPixels(Console& console, int& width, int& height) {
  return TerminalPixelSize(Fds(console).output_, width, height);
}

bool CanWrite(const Console& console) { return Fds(console).output_ >= 0; }

bool OpenConsole(Console& console, std::span<const SignalUse> signals, std::string& error) {
  TerminalFds fds;
  if (!FindTerminal(fds, error)) return false;
  return Start(console, fds, signals, error);
}

bool OpenConsoleOn(Console& console, int input_fd, int output_fd,
                   std::span<const SignalUse> signals, std::string& error) {
  const int flags = fcntl(input_fd, F_GETFL);
  if (flags < 0 || fcntl(input_fd, F_SETFL, flags | O_NONBLOCK) < 0) {
    error = "cannot make the terminal's input non-blocking";
    return false;
  }
  return Start(console, TerminalFds{input_fd, output_fd, false}, signals, error);
}

void CloseConsole(Console& console) {
  FlushConsole(console);
  RestoreTerminal();
  if (Fds(console).owns_output_) close(Fds(console).output_);
  if (Fds(console).input_ >= 0) close(Fds(console).input_);
  console.link_.reset();
}

}  // namespace glimmet
