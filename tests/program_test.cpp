// The built program started on a terminal of its own: the window it opens,
// the picture moving in it, the close box ending it with status 0, and a
// clear failure when there is no display or no terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "tests/wait.h"
#include "tests/x11_probe.h"

namespace glimmet {
namespace {

using testing::XProbe;
using namespace std::chrono_literals;

struct Child {
  pid_t pid_ = -1;
  int stderr_ = -1;
  int terminal_ = -1;  // the master side of its terminal, -1 without one
  ~Child() {
    if (terminal_ >= 0) close(terminal_);
  }
};

enum class Setting { kNormal, kNoDisplay, kNoTerminal };

// Starts the program on a pseudo-terminal of its own, or with none at all;
// its standard error comes back through a pipe.
Child Start(Setting setting) {
  int pipe_fds[2];
  EXPECT_EQ(pipe(pipe_fds), 0);
  Child child;
  winsize size{};
  size.ws_col = 80;
  size.ws_row = 24;
  child.pid_ = setting == Setting::kNoTerminal ? fork()
                                               : forkpty(&child.terminal_, nullptr, nullptr, &size);
  if (child.pid_ == 0) {
    if (setting == Setting::kNoTerminal) {
      setsid();  // no controlling terminal
      const int null = open("/dev/null", O_RDWR);
      dup2(null, 0);
      dup2(null, 1);
    }
    dup2(pipe_fds[1], 2);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    if (setting == Setting::kNoDisplay) {
      unsetenv("DISPLAY");
      unsetenv("WAYLAND_DISPLAY");
      unsetenv("SDL_VIDEODRIVER");
    }
    execl(GLIMMET2_PROGRAM, GLIMMET2_PROGRAM, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipe_fds[1]);
  child.stderr_ = pipe_fds[0];
  return child;
}

// Keeps the terminal's output flowing so the program never blocks on it.
void Drain(const Child& child) {
  char buffer[4096];
  fcntl(child.terminal_, F_SETFL, O_NONBLOCK);
  while (read(child.terminal_, buffer, sizeof buffer) > 0) {
  }
}

// The exit status, or -1 if the child has not ended by the deadline (it is
// then killed).
int Wait(const Child& child) {
  const auto deadline = std::chrono::steady_clock::now() + testing::kDeadline;
  int status = 0;
  while (waitpid(child.pid_, &status, WNOHANG) == 0) {
    if (child.terminal_ >= 0) Drain(child);
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child.pid_, SIGKILL);
      waitpid(child.pid_, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(10ms);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[512];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, n);
  close(fd);
  return text;
}

Window WaitForWindow(XProbe& probe, const std::string& name) {
  Window found = 0;
  testing::WaitUntil([&] { return (found = probe.Find(name)) != 0; });
  return found;
}

TEST(ProgramTest, ShowsTheAutomatonAndEndsWhenTheWindowIsClosed) {
  XProbe probe;
  ASSERT_TRUE(probe.Connected());
  Child child = Start(Setting::kNormal);
  const Window w = WaitForWindow(probe, "Glimmet");
  ASSERT_NE(w, 0u);
  // Named before it is placed and shown: where it is shown counts.
  auto geometry = probe.Geometry(w);
  testing::WaitUntil([&] { return !(geometry = probe.Geometry(w)) || geometry->shown_; });
  ASSERT_TRUE(geometry && geometry->shown_);
  // Its terminal, a pty of the test's, has no window to find, so its panel
  // could be anywhere: the field opens in the screen's far corner.
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  const auto screen = probe.Geometry(DefaultRootWindow(display));
  XCloseDisplay(display);
  ASSERT_TRUE(screen);
  EXPECT_EQ(geometry->x_, screen->width_ - 100);
  EXPECT_EQ(geometry->y_, screen->height_ - 100);
  EXPECT_EQ(geometry->width_, 100);
  EXPECT_EQ(geometry->height_, 100);
  // Two changes in a row: the first may be only the first picture drawn.
  auto changed_from = [&](const std::vector<std::int32_t>& before) {
    std::vector<std::int32_t> now;
    testing::WaitUntil([&] {
      Drain(child);
      return (now = probe.Pixels(w)) != before;
    });
    return now;
  };
  // The window is named before it is shown, and cannot be read until it is.
  std::vector<std::int32_t> first;
  testing::WaitUntil([&] { return (first = probe.Pixels(w)).size() == 10000u; });
  ASSERT_EQ(first.size(), 10000u);
  const auto second = changed_from(first);
  EXPECT_NE(changed_from(second), second) << "the picture does not move";
  probe.RequestClose(w);
  EXPECT_EQ(Wait(child), 0);
  EXPECT_EQ(ReadAll(child.stderr_), "");
}

TEST(ProgramTest, WithoutADisplayItSaysSoAndFails) {
  Child child = Start(Setting::kNoDisplay);
  EXPECT_EQ(Wait(child), 1);
  const std::string message = ReadAll(child.stderr_);
  EXPECT_EQ(message.rfind("glimmet2: cannot open the cell view window: ", 0), 0u) << message;
  EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
  // What the user must do: the two variables a desktop sets.
  EXPECT_NE(message.find("neither DISPLAY nor WAYLAND_DISPLAY is set"), std::string::npos)
      << message;
  EXPECT_NE(message.find("graphical desktop"), std::string::npos) << message;
}

TEST(ProgramTest, WithoutATerminalItSaysSoAndFails) {
  Child child = Start(Setting::kNoTerminal);
  EXPECT_EQ(Wait(child), 1);
  const std::string message = ReadAll(child.stderr_);
  EXPECT_EQ(message.rfind("glimmet2: no terminal to work on", 0), 0u) << message;
  EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
}

}  // namespace
}  // namespace glimmet
