// Raw mode, the alternate screen and their restore.
//
// Escape sequences written by the console layer (here and in screen.cpp
// and console.cpp):
//
//   CSI ? 1049 h / l       enter / leave the alternate screen
//   CSI ? 25 l / h         hide / show the cursor
//   CSI row ; col H        move the cursor (1-based)
//   CSI 2 J                erase the screen
//   CSI 0 m                reset attributes
//   CSI 30+a ; 40+a m      normal foreground ; background, a = ANSI colour
//   CSI 90+a ; 100+a m     bright foreground ; background
//   CSI ? 1000 h / l       report mouse presses and releases / stop
//   CSI ? 1006 h / l       SGR-encoded mouse reports / stop
//   CSI 5 n                report the status, answered CSI 0 n
//
// and read by the input decoder: CSI < b ; x ; y M/m (SGR mouse), CSI M b x y
// (old mouse encoding), CSI I / O (focus), key sequences in CSI and SS3 form.
#include "console/terminal.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>

namespace glimmet {

namespace {

constexpr char kEnter[] = "\x1b[?1049h";
// The screen is erased before the main screen comes back: invisible where
// the alternate screen works, and where it does not (GNU screen's default)
// the user gets a clean screen instead of a stale panel.
// Mouse reporting goes off first, then the terminal is asked for its status
// and the input read away until the answer: a release that the terminal
// sent before it read "off" (a quick click on QUIT) would otherwise wait at
// the shell's prompt as typed text.
constexpr char kMouseOffAndFence[] = "\x1b[?1006l\x1b[?1000l\x1b[5n";
// A terminal that never answers costs no more than this. A busy machine
// can keep one that does answer (VTE) past 100 ms; its answer would then
// reach the shell.
constexpr int kFenceMs = 500;
constexpr char kRestore[] = "\x1b[0m\x1b[2J\x1b[H\x1b[?25h\x1b[?1049l";

// Everything a handler needs, prepared in advance.
struct SavedTerminal {
  termios modes_{};
  termios raw_{};
  int input_ = -1;
  int output_ = -1;
  std::atomic<bool> active_{false};
  std::atomic<bool> suspended_{false};  // restored for a stop, to be re-entered
  bool handlers_installed_ = false;
};

SavedTerminal saved;
// Lock-free atomics: safe in a handler, and read safely from any thread.
std::atomic<int> resized{0};
std::atomic<int> continued{0};
static_assert(std::atomic<int>::is_always_lock_free);
// A resize or a continue writes a byte here, so that a wait for the
// terminal's input wakes for them too.
int wake_pipe[2] = {-1, -1};

void WriteRaw(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

void OnEndingSignal(int signal_number) {
  const int saved_errno = errno;
  RestoreTerminal();
  struct sigaction deflt {};
  deflt.sa_handler = SIG_DFL;
  sigemptyset(&deflt.sa_mask);
  sigaction(signal_number, &deflt, nullptr);
  errno = saved_errno;
  // Blocked until the handler returns, then delivered with its default
  // action, so the exit status and any core dump are the signal's own.
  raise(signal_number);
}

void OnStop(int) {
  const int saved_errno = errno;
  if (saved.active_.load()) saved.suspended_.store(true);
  RestoreTerminal();
  raise(SIGSTOP);
  errno = saved_errno;
}

void WakeWaiter() {
  const int saved_errno = errno;
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(wake_pipe[1], &byte, 1);  // full is as good
  errno = saved_errno;
}

void OnResize(int) {
  resized.store(1);
  WakeWaiter();
}
void OnContinue(int) {
  continued.store(1);
  WakeWaiter();
}

void RestoreAtExit() { RestoreTerminal(); }

std::int64_t MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Reads and drops the terminal's input until the answer to the status
// request has come, or kFenceMs have passed. Async-signal-safe.
void AwaitFence(int fd) {
  const std::int64_t end = MonotonicMs() + kFenceMs;
  std::size_t matched = 0;
  for (std::int64_t left = kFenceMs; left > 0; left = end - MonotonicMs()) {
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0 || !(p.revents & POLLIN)) return;
    char bytes[256];
    const ssize_t n = read(fd, bytes, sizeof bytes);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return;  // the terminal has gone
    if (FindStatusAnswer(bytes, static_cast<std::size_t>(n), matched)) return;
  }
}

bool Install(int signal_number, void (*handler)(int), int flags) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigemptyset(&action.sa_mask);
  return sigaction(signal_number, &action, nullptr) == 0;
}

// A signal the parent chose to ignore (nohup ignores SIGHUP, a shell's
// background jobs SIGINT and SIGQUIT) stays ignored.
bool Ignored(int signal_number) {
  struct sigaction current {};
  return sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

bool InstallHandler(const SignalUse& use) {
  switch (use.action_) {
    case SignalAction::kEnd:
      return Ignored(use.signal_) || Install(use.signal_, OnEndingSignal, 0);
    case SignalAction::kFault: return Install(use.signal_, OnEndingSignal, 0);
    case SignalAction::kStop: return Install(use.signal_, OnStop, SA_RESTART);
    case SignalAction::kResize: return Install(use.signal_, OnResize, SA_RESTART);
    case SignalAction::kContinue: return Install(use.signal_, OnContinue, SA_RESTART);
    case SignalAction::kDefault: return true;
  }
  return true;
}

bool InstallHandlers(std::span<const SignalUse> signals, std::string& error) {
  if (saved.handlers_installed_) return true;
  if (pipe2(wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    error = std::string("cannot make a pipe: ") + strerror(errno);
    return false;
  }
  for (const SignalUse& use : signals) {
    if (!InstallHandler(use)) {
      error = std::string("cannot install a signal handler: ") + strerror(errno);
      return false;
    }
  }
  if (std::atexit(RestoreAtExit) != 0) {
    error = "cannot register the exit handler";
    return false;
  }
  saved.handlers_installed_ = true;
  return true;
}

termios RawModes(termios modes) {
  modes.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INPCK | ISTRIP | IXON | IXOFF);
  modes.c_cflag |= CS8;
  modes.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | IEXTEN | ISIG);
  // One byte minimum: with the descriptor non-blocking, an empty read then
  // fails with EAGAIN, and a read of 0 bytes means the terminal hung up.
  modes.c_cc[VMIN] = 1;
  modes.c_cc[VTIME] = 0;
  return modes;
}

}  // namespace

bool FindTerminal(TerminalFds& fds, std::string& error) {
  fds.input_ = open("/dev/tty", O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fds.input_ < 0) {
    error = std::string("no terminal to work on (/dev/tty: ") + strerror(errno) + ")";
    return false;
  }
  if (isatty(STDOUT_FILENO)) {
    fds.output_ = STDOUT_FILENO;
  } else if (isatty(STDERR_FILENO)) {
    fds.output_ = STDERR_FILENO;
  } else {
    fds.output_ = open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fds.output_ < 0) {
      error = std::string("cannot write to the terminal: ") + strerror(errno);
      close(fds.input_);
      fds.input_ = -1;
      return false;
    }
    fds.owns_output_ = true;
  }
  return true;
}

bool EnterTerminal(const TerminalFds& fds, std::span<const SignalUse> signals,
                   std::string& error) {
  if (saved.active_.load()) return true;
  termios modes;
  if (tcgetattr(fds.input_, &modes) != 0) {
    error = std::string("cannot read the terminal's modes: ") + strerror(errno);
    return false;
  }
  saved.modes_ = modes;
  saved.raw_ = RawModes(modes);
  saved.input_ = fds.input_;
  saved.output_ = fds.output_;
  if (!InstallHandlers(signals, error)) return false;
  saved.active_.store(true);
  if (tcsetattr(fds.input_, TCSAFLUSH, &saved.raw_) != 0) {
    error = std::string("cannot put the terminal in raw mode: ") + strerror(errno);
    RestoreTerminal();
    return false;
  }
  WriteRaw(fds.output_, kEnter, sizeof kEnter - 1);
  return true;
}

void ReenterTerminal() {
  if (!saved.suspended_.exchange(false)) return;
  saved.active_.store(true);
  tcsetattr(saved.input_, TCSANOW, &saved.raw_);
  WriteRaw(saved.output_, kEnter, sizeof kEnter - 1);
}

void RestoreTerminal() {
  if (!saved.active_.exchange(false)) return;
  const int saved_errno = errno;
  WriteRaw(saved.output_, kMouseOffAndFence, sizeof kMouseOffAndFence - 1);
  AwaitFence(saved.input_);
  WriteRaw(saved.output_, kRestore, sizeof kRestore - 1);
  tcsetattr(saved.input_, TCSAFLUSH, &saved.modes_);
  errno = saved_errno;
}

bool FindStatusAnswer(const char* bytes, std::size_t size, std::size_t& matched) {
  static constexpr char kAnswer[] = "\x1b[0n";
  for (std::size_t i = 0; i < size; ++i) {
    if (bytes[i] == kAnswer[matched]) ++matched;
    else matched = bytes[i] == kAnswer[0] ? 1 : 0;
    if (matched == sizeof kAnswer - 1) return true;
  }
  return false;
}

bool TakeResized() {
  return resized.exchange(0) != 0;
}

bool TakeContinued() {
  return continued.exchange(0) != 0;
}

bool WaitForTerminal(int fd, int timeout_ms) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {wake_pipe[0], POLLIN, 0}};
  const int ready = poll(fds, 2, timeout_ms);
  if (ready < 0 && errno != EINTR) return false;
  if (ready > 0 && fds[1].revents) {
    char bytes[64];
    while (read(wake_pipe[0], bytes, sizeof bytes) > 0) {
    }
  }
  return true;
}

bool TerminalSize(int fd, int& columns, int& rows) {
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return false;
  columns = size.ws_col;
  rows = size.ws_row;
  return true;
}

bool TerminalPixelSize(int fd, int& width, int& height) {
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_xpixel == 0 || size.ws_ypixel == 0)
    return false;
  width = size.ws_xpixel;
  height = size.ws_ypixel;
  return true;
}

bool WriteAll(int fd, const char* data, std::size_t size, bool& short_write) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, 100);
        continue;
      }
      return false;
    }
    if (static_cast<std::size_t>(n) < size) short_write = true;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace glimmet
