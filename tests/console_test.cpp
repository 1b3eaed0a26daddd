// The console on a real pseudo-terminal: the bytes the terminal receives, as
// a terminal would show them, the reader on bytes the terminal sends, and
// the terminal's state after every way out of the process.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "app/signals.h"
#include "console/console.h"
#include "panel/panel.h"
#include "tests/vt.h"
#include "tests/wait.h"

namespace glimmet {
namespace {

using testing::Vt;
using namespace std::chrono_literals;

// A pseudo-terminal whose far side behaves as a terminal does in one
// respect: it answers every status request (CSI 5 n) at once, so that no
// way out waits for an answer that never comes. What the program writes
// collects until Drain takes it. A thread reads and answers in the
// background, except where the test forks (a child of a threaded process
// is not safe under ThreadSanitizer): there WaitFor answers while it waits.
struct Pty {
  enum class Answering { kInBackground, kWhileWaiting };
  int master_ = -1;
  int slave_ = -1;
  Pty(int columns, int rows, Answering answering = Answering::kInBackground) {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    EXPECT_EQ(openpty(&master_, &slave_, nullptr, nullptr, &size), 0);
    EXPECT_EQ(pipe(stop_), 0);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (answering == Answering::kInBackground) reader_ = std::thread([this] { Serve(); });
  }
  ~Pty() {
    EXPECT_EQ(write(stop_[1], "s", 1), 1);
    if (reader_.joinable()) reader_.join();
    for (int fd : {master_, slave_, stop_[0], stop_[1]}) close(fd);
  }
  // Everything the program has written to the terminal so far. A fence
  // written behind it on the same terminal arrives after all of it, so
  // once the fence is read nothing written before is still on its way,
  // however slowly the reader is scheduled.
  std::string Drain() {
    static constexpr std::string_view kFence = "\x1b_drained\x1b\\";
    EXPECT_EQ(write(slave_, kFence.data(), kFence.size()),
              static_cast<ssize_t>(kFence.size()));
    auto fenced = [&] { return written_.find(kFence) != std::string::npos; };
    std::unique_lock<std::mutex> lock(mutex_, std::defer_lock);
    if (reader_.joinable()) {
      lock.lock();
      more_.wait_for(lock, testing::kDeadline, fenced);
    } else {
      testing::WaitUntil([&] {
        Pump(10);
        return fenced();
      });
    }
    const std::size_t at = written_.find(kFence);
    EXPECT_NE(at, std::string::npos) << "the terminal's output stopped";
    std::string sent = written_.substr(0, at);
    written_.erase(0, at == std::string::npos ? at : at + kFence.size());
    return sent;
  }
  // The child's status once it has ended, answering it meanwhile.
  int WaitFor(pid_t child) {
    int status = 0;
    for (;;) {
      const pid_t ended = waitpid(child, &status, WNOHANG);
      EXPECT_NE(ended, -1);
      if (ended != 0) return status;
      Pump(10);
    }
  }
  void Type(const std::string& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  void Resize(int columns, int rows) {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    ioctl(master_, TIOCSWINSZ, &size);
  }
  termios Modes() const {
    termios t{};
    tcgetattr(slave_, &t);
    return t;
  }

 private:
  void Serve() {
    for (;;) {
      pollfd p[2] = {{master_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
      if (poll(p, 2, -1) < 0 && errno != EINTR) return;
      if (p[1].revents) return;
      Pump(0);
    }
  }
  // Reads what has come within `timeout_ms`, answering the requests in it;
  // false when nothing came.
  bool Pump(int timeout_ms) {
    static constexpr char kStatusRequest[] = "\x1b[5n";
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) return false;
    char buffer[4096];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return false;
    tail_.append(buffer, n);  // a request may arrive split across reads
    for (std::size_t at; (at = tail_.find(kStatusRequest)) != std::string::npos;) {
      EXPECT_EQ(write(master_, "\x1b[0n", 4), 4);
      tail_.erase(0, at + sizeof kStatusRequest - 1);
    }
    if (tail_.size() > 8) tail_.erase(0, tail_.size() - 8);
    std::lock_guard<std::mutex> lock(mutex_);
    written_.append(buffer, n);
    more_.notify_all();
    return true;
  }

  int stop_[2] = {-1, -1};
  std::thread reader_;
  std::string tail_;
  std::mutex mutex_;
  std::condition_variable more_;
  std::string written_;
};

bool SameModes(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && a.c_cc[VMIN] == b.c_cc[VMIN] && a.c_cc[VTIME] == b.c_cc[VTIME];
}

// Polls the reader until it gives something, or the deadline passes.
std::string Read(Console& console) {
  std::string got;
  testing::WaitUntil([&] { return !(got = ReadInput(console)).empty(); });
  return got;
}

TEST(ConsoleTest, RawModeOnTheAlternateScreenAndBackAgain) {
  Pty pty(80, 24);
  const termios before = pty.Modes();
  Console console;
  std::string error;
  // CloseConsole closes its input, and the pty's stays open.
  ASSERT_TRUE(OpenConsoleOn(console, dup(pty.slave_), pty.slave_, ProgramSignals(), error))
      << error;
  const termios raw = pty.Modes();
  EXPECT_FALSE(raw.c_lflag & (ICANON | ECHO | ISIG | IEXTEN));
  EXPECT_FALSE(raw.c_iflag & (IXON | ICRNL));
  EXPECT_TRUE(raw.c_oflag & OPOST);
  Vt vt(80, 24);
  vt.Feed(pty.Drain());
  EXPECT_TRUE(vt.alternate_);
  EnableMouse(console, true);
  SetCursor(console, kCursorHidden);
  FlushConsole(console);
  vt.Feed(pty.Drain());
  EXPECT_TRUE(vt.mouse_ && vt.sgr_mouse_);
  EXPECT_FALSE(vt.cursor_visible_);
  CloseConsole(console);
  vt.Feed(pty.Drain());
  EXPECT_FALSE(vt.alternate_);
  EXPECT_FALSE(vt.mouse_ || vt.sgr_mouse_);
  EXPECT_TRUE(vt.cursor_visible_);
  EXPECT_TRUE(SameModes(pty.Modes(), before));
  EXPECT_EQ(vt.unknown_, 0);
}

class OpenConsoleTest : public ::testing::Test {
 protected:
  void Open(int columns, int rows) {
    pty_ = std::make_unique<Pty>(columns, rows);
    vt_ = std::make_unique<Vt>(columns, rows);
    std::string error;
    ASSERT_TRUE(OpenConsoleOn(console_, dup(pty_->slave_), pty_->slave_, ProgramSignals(), error)) << error;
  }
  void TearDown() override { CloseConsole(console_); }
  void Show() {
    FlushConsole(console_);
    vt_->Feed(pty_->Drain());
  }

  std::unique_ptr<Pty> pty_;
  std::unique_ptr<Vt> vt_;
  Console console_;
};

TEST_F(OpenConsoleTest, ScreenServicesAsTheTerminalShowsThem) {
  Open(80, 24);
  SetScreenSize(console_, 44, 14);
  Show();
  EXPECT_EQ(vt_->size_requests_, "") << "the user's terminal must keep its size";
  EXPECT_EQ(console_.pending_error_, 0);  // 80 x 24 serves
  EXPECT_EQ(vt_->At(14, 44).bg_, 40);
  EXPECT_EQ(vt_->At(14, 44).fg_, 37);
  EXPECT_EQ(vt_->At(15, 1).bg_, -1);  // beyond the buffer: untouched
  SetCursor(console_, kCursorHidden);
  SetColours(console_, 15, 0, 0);
  PrintText(console_, "GLIMMET2");
  PrintNewline(console_);
  SetColours(console_, -1, 4, 0);
  PrintText(console_, "red");
  SetColours(console_, 16, 16, 0);
  PrintText(console_, "!");
  Show();
  EXPECT_FALSE(vt_->cursor_visible_);
  EXPECT_EQ(vt_->Text(1).substr(0, 10), "GLIMMET2  ");
  EXPECT_EQ(vt_->At(1, 1).fg_, 97);
  EXPECT_EQ(vt_->Text(2).substr(0, 5), "red! ");
  EXPECT_EQ(vt_->At(2, 1).fg_, 97);
  EXPECT_EQ(vt_->At(2, 4).bg_, 41);
  MoveCursor(console_, 1, 1);
  SetColours(console_, 12, 0, 5);
  EXPECT_EQ(console_.screen_.Row(), 1);
  EXPECT_EQ(console_.screen_.Column(), 1);
  Show();
  EXPECT_EQ(vt_->At(1, 5).fg_, 91);
  EXPECT_EQ(vt_->At(1, 5).ch_, U'M');
  EXPECT_EQ(vt_->At(1, 6).fg_, 97);
  SetCursor(console_, 100);
  EXPECT_EQ(console_.screen_.cursor_size_, 99);
  SetCursor(console_, 5);
  EXPECT_EQ(console_.screen_.cursor_size_, 10);
  SetCursor(console_, kCursorHidden);
  EXPECT_EQ(console_.screen_.cursor_size_, 10);
  SetCursor(console_, kCursorShown);
  Show();
  EXPECT_TRUE(vt_->cursor_visible_);
  EXPECT_EQ(vt_->unknown_, 0);
}

TEST_F(OpenConsoleTest, ReaderOnTheTerminalsBytes) {
  Open(80, 24);
  SetScreenSize(console_, 44, 14);
  EnableMouse(console_, true);
  SelectMouseEvents(console_, kPressEvent | kDoubleClickEvent, kLeftButton);
  EXPECT_EQ(ReadInput(console_), "");
  pty_->Type("\x1b[<0;44;14M\x1b[<0;44;14m");
  EXPECT_EQ(Read(console_), "\xff\xff\x04\x01");
  EXPECT_EQ(MouseRow(console_), 14);
  EXPECT_EQ(MouseColumn(console_), 44);
  pty_->Type("\x03");
  EXPECT_EQ(Read(console_), "\x03");
  pty_->Type("\x1bOP");
  EXPECT_EQ(Read(console_), std::string("\0\x3b", 2));
  EnableMouse(console_, false);
  EXPECT_EQ(MouseRow(console_), 0);
  EXPECT_EQ(MouseColumn(console_), 0);
  Show();
  EXPECT_FALSE(vt_->mouse_);
}

std::int64_t fake_ms = 0;
std::int64_t FakeMs() { return fake_ms; }

std::string Counter(int count) {
  char text[16];
  std::snprintf(text, sizeof text, "%08d", count);
  return text;
}

// What the driver does on the terminal in a generation pass: one poll, one
// counter, thousands of times a second. The terminal gets at most one write
// a frame, each small and showing the latest count; stopped, it shows the
// exact count at once.
TEST_F(OpenConsoleTest, GenerationsWriteOnceAFrameAndTheLatestCount) {
  Open(80, 24);
  console_.clock_ = FakeMs;
  fake_ms = 1000;
  DrawPanel(console_);
  EnableMouse(console_, true);
  Show();
  const std::uint64_t before = console_.writes_;
  int count = 0;
  for (; count < 4000; ++count, fake_ms = 1000 + count / 8) {  // 8 passes a ms
    const std::uint64_t writes = console_.writes_;
    PresentConsole(console_);
    ReadInput(console_);
    if (console_.writes_ != writes) {
      const std::string sent = pty_->Drain();
      ASSERT_LE(sent.size(), 24u) << ::testing::PrintToString(sent);
      vt_->Feed(sent);
      ASSERT_EQ(vt_->Text(12).substr(27, 8), Counter(count)) << "the latest count";
    }
    DrawGenerationCounter(console_, count + 1);
  }
  const std::uint64_t written = console_.writes_ - before;
  EXPECT_LE(written, 500 / kFrameMs + 1) << "writes in 500 ms";
  EXPECT_GE(written, 500 / kFrameMs - 1);
  // Paused: everything pending is shown before the sleep.
  pty_->Type("x");
  PresentConsole(console_, true);
  WaitForInput(console_);
  vt_->Feed(pty_->Drain());
  EXPECT_EQ(vt_->Text(12).substr(27, 8), Counter(count));
  EXPECT_EQ(ReadInput(console_), "x");
}

// Paused, the program sleeps until the terminal has something for it: a
// key or a click, a resize, a continue after a stop.
TEST_F(OpenConsoleTest, WaitingSleepsUntilInputOrAResize) {
  Open(80, 24);
  DrawPanel(console_);
  EnableMouse(console_, true);
  SelectMouseEvents(console_, kPressEvent | kDoubleClickEvent, kLeftButton);
  auto wakes_for = [this](auto cause) {
    auto waiter = std::async(std::launch::async, [this] { WaitForInput(console_); });
    EXPECT_EQ(waiter.wait_for(50ms), std::future_status::timeout) << "woke for nothing";
    cause();
    return waiter.wait_for(10s) == std::future_status::ready;
  };
  EXPECT_TRUE(wakes_for([this] { pty_->Type("\x1b[<0;28;5M"); }));
  EXPECT_EQ(Read(console_), "\xff\xff\x04\x01");
  EXPECT_TRUE(wakes_for([this] {
    pty_->Resize(100, 30);
    kill(getpid(), SIGWINCH);  // the pty is not this process's terminal
  }));
  FlushConsole(console_);
  EXPECT_EQ(console_.view_.columns_, 100);
  // A lone ESC may be the start of a sequence: the wait ends when it can
  // be taken for the Esc key.
  pty_->Type("\x1b");
  EXPECT_EQ(ReadInput(console_), "");
  WaitForInput(console_);
  EXPECT_EQ(Read(console_), std::string(1, '\x1b'));
}

TEST_F(OpenConsoleTest, ATerminalTooSmallShowsTheSizeAndIgnoresClicks) {
  Open(40, 12);
  SetScreenSize(console_, 44, 14);
  EXPECT_EQ(console_.pending_error_, kErrorScreenSize);
  PrintText(console_, "GLIMMET2 - Cellular Automata Toy");
  EnableMouse(console_, true);
  SelectMouseEvents(console_, kPressEvent | kDoubleClickEvent, kLeftButton);
  Show();
  EXPECT_NE(vt_->Text(6).find("GLIMMET2 needs at least 44 x 14"), std::string::npos);
  EXPECT_EQ(vt_->size_requests_, "") << "the user's terminal must keep its size";
  // The key typed after it comes out first: the click was dropped.
  pty_->Type("\x1b[<0;5;5Ma");
  EXPECT_EQ(Read(console_), "a");
  pty_->Resize(44, 14);
  Vt grown(44, 14);
  FlushConsole(console_, true);
  grown.Feed(pty_->Drain());
  EXPECT_EQ(grown.Text(1).substr(0, 32), "GLIMMET2 - Cellular Automata Toy");
  pty_->Type("\x1b[<0;5;5M");
  EXPECT_EQ(Read(console_), "\xff\xff\x04\x01");
}

// The exit tests play a program started from an interactive shell. Run as
// a background job, the tests inherit SIGINT and SIGQUIT ignored, which the
// console would rightly leave ignored; so the whole test process starts with
// the default dispositions, before any console is opened.
const bool kDefaultDispositions = [] {
  for (int s : {SIGTERM, SIGHUP, SIGINT, SIGQUIT}) {
    struct sigaction now {};
    if (sigaction(s, nullptr, &now) == 0 && now.sa_handler == SIG_IGN) signal(s, SIG_DFL);
  }
  return true;
}();

// Starts a child that takes the terminal, draws, turns the mouse on, then
// says so on `ready`; once it reads a byte from `go`, `ending` ends it (or it
// waits for the signal that will).
pid_t StartChild(Pty& pty, int ready, int go, void (*ending)(Console&)) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  rlimit no_core{0, 0};
  setrlimit(RLIMIT_CORE, &no_core);
  Console console;
  std::string error;
  if (!OpenConsoleOn(console, dup(pty.slave_), pty.slave_, ProgramSignals(), error)) _exit(100);
  SetScreenSize(console, 44, 14);
  SetCursor(console, kCursorHidden);
  SetColours(console, 12, 0, 0);
  PrintText(console, "X");
  EnableMouse(console, true);
  FlushConsole(console);
  if (write(ready, "r", 1) != 1) _exit(101);
  char byte;
  if (read(go, &byte, 1) != 1) _exit(102);
  ending(console);
  for (;;) pause();
}

struct ExitCase {
  const char* name;
  int signal;  // sent by the parent; 0 when the child ends itself
  void (*ending)(Console&);
  int status;  // the expected exit status, or the signal
};

void Wait(Console&) {}

const ExitCase kExits[] = {
    {"close", 0, [](Console& c) { CloseConsole(c); _exit(0); }, 0},
    {"exit", 0, [](Console&) { exit(3); }, 3},
    {"SIGTERM", SIGTERM, Wait, SIGTERM},
    {"SIGHUP", SIGHUP, Wait, SIGHUP},
    {"SIGINT", SIGINT, Wait, SIGINT},
    {"SIGSEGV", SIGSEGV, Wait, SIGSEGV},
    {"SIGABRT", SIGABRT, Wait, SIGABRT},
    {"SIGBUS", SIGBUS, Wait, SIGBUS},
    {"SIGFPE", SIGFPE, Wait, SIGFPE},
    {"fault", 0, [](Console&) { raise(SIGSEGV); }, SIGSEGV},
};

// Started under nohup, the program leaves SIGHUP ignored; a closed terminal
// then shows as failing reads, which end the program with a message.
TEST(ConsoleExitTest, AnIgnoredHangUpStaysIgnored) {
  Pty pty(80, 24, Pty::Answering::kWhileWaiting);
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGHUP, SIG_IGN);
    Console console;
    std::string error;
    if (!OpenConsoleOn(console, dup(pty.slave_), pty.slave_, ProgramSignals(), error)) _exit(100);
    struct sigaction now {};
    sigaction(SIGHUP, nullptr, &now);
    CloseConsole(console);
    _exit(now.sa_handler == SIG_IGN ? 0 : 1);
  }
  const int status = pty.WaitFor(child);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0) << "SIGHUP was handled, not left ignored";
}

// One way out, from the start to the terminal given back; a failed
// assertion ends this way out only.
void CheckWayOut(const ExitCase& exit_case) {
  {
    Pty pty(80, 24, Pty::Answering::kWhileWaiting);
    const termios before = pty.Modes();
    int ready[2], go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    const pid_t child = StartChild(pty, ready[1], go[0], exit_case.ending);
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    Vt vt(80, 24);
    vt.Feed(pty.Drain());
    ASSERT_TRUE(vt.alternate_);
    ASSERT_TRUE(vt.mouse_);
    ASSERT_FALSE(SameModes(pty.Modes(), before));
    ASSERT_EQ(write(go[1], "g", 1), 1);
    if (exit_case.signal != 0) kill(child, exit_case.signal);
    const int status = pty.WaitFor(child);
    if (exit_case.signal != 0 || exit_case.status >= 4) {
      ASSERT_TRUE(WIFSIGNALED(status)) << status;
      EXPECT_EQ(WTERMSIG(status), exit_case.status);
    } else {
      ASSERT_TRUE(WIFEXITED(status)) << status;
      EXPECT_EQ(WEXITSTATUS(status), exit_case.status);
    }
    const std::string restore = pty.Drain();
    vt.Feed(restore);
    // The status request that fences the input comes after mouse reporting
    // is off and before the main screen is back.
    EXPECT_EQ(vt.status_requests_, 1);
    EXPECT_LT(restore.find("\x1b[?1000l"), restore.find("\x1b[5n"));
    EXPECT_LT(restore.find("\x1b[5n"), restore.find("\x1b[?1049l"));
    EXPECT_FALSE(vt.alternate_);
    EXPECT_FALSE(vt.mouse_ || vt.sgr_mouse_);
    EXPECT_TRUE(vt.cursor_visible_);
    // A terminal without an alternate screen is left blank, the cursor
    // home, not with the panel on it; and none is ever asked to resize.
    EXPECT_EQ(vt.Text(1), std::string(80, ' '));
    EXPECT_EQ(vt.row_, 1);
    EXPECT_EQ(vt.column_, 1);
    EXPECT_EQ(vt.size_requests_, "");
    EXPECT_TRUE(SameModes(pty.Modes(), before));
    for (int fd : {ready[0], ready[1], go[0], go[1]}) close(fd);
  }
}

TEST(ConsoleExitTest, EveryWayOutGivesTheTerminalBack) {
  for (const ExitCase& exit_case : kExits) {
    SCOPED_TRACE(exit_case.name);
    CheckWayOut(exit_case);
  }
}

// The answer may come split across reads, after mouse reports and other
// input, or after a false start.
TEST(ConsoleExitTest, TheStatusAnswerIsFoundByteByByte) {
  auto found = [](std::initializer_list<std::string> reads) {
    std::size_t matched = 0;
    for (const std::string& bytes : reads)
      if (FindStatusAnswer(bytes.data(), bytes.size(), matched)) return true;
    return false;
  };
  EXPECT_TRUE(found({"\x1b[0n"}));
  EXPECT_TRUE(found({"\x1b[<0;42;14m\x1b[0n"}));
  EXPECT_TRUE(found({"\x1b", "[", "0", "n"}));
  EXPECT_TRUE(found({"\x1b[<0;42;14", "m\x1b[", "0n"}));
  EXPECT_TRUE(found({"\x1b\x1b[0n"}));
  EXPECT_TRUE(found({"\x1b[\x1b[0n"}));
  EXPECT_FALSE(found({"\x1b[<0;42;14m"}));
  EXPECT_FALSE(found({"\x1b[0;n", "\x1b[3n", "[0n", "0n"}));
  EXPECT_FALSE(found({"\x1b[0", "m"}));
}

}  // namespace
}  // namespace glimmet
