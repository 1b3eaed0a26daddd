// The hand-off's two wake-ups: an eventfd for the window thread, which
// sleeps in poll() beside the X connection, and a futex for the waiter,
// without the spin that std::atomic::wait makes first.
#include "view/window_channel.h"

#include <linux/futex.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>

namespace glimmet {

namespace {

std::uint32_t* FutexWord(std::atomic<std::uint32_t>& word) {
  static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));
  return reinterpret_cast<std::uint32_t*>(&word);
}

}  // namespace

WindowChannel::WindowChannel() : wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WindowChannel::~WindowChannel() {
  if (wake_ >= 0) close(static_cast<int>(wake_));
}

void WindowChannel::Wake() {
  if (!sleeping_.load()) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = write(static_cast<int>(wake_), &one, sizeof one);  // a full count wakes too
}

void WindowChannel::TakeWake() {
  std::uint64_t count;
  [[maybe_unused]] ssize_t n = read(static_cast<int>(wake_), &count, sizeof count);
}

void WindowChannel::SleepWhileShownIs(std::uint32_t seq) {
  syscall(SYS_futex, FutexWord(shown_seq_), FUTEX_WAIT_PRIVATE, seq, nullptr, nullptr, 0);
}

void WindowChannel::WakeShownWaiters() {
  syscall(SYS_futex, FutexWord(shown_seq_), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

}  // namespace glimmet
