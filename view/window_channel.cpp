// The hand-off's logic, the same on every system; each platform supplies
// its two wake-ups in a file of its own.
#include "view/window_channel.h"

namespace glimmet {

void WindowChannel::Redraw() {
  const std::uint64_t ticket = requested_.fetch_add(1) + 1;
  Wake();
  AwaitShown(ticket);
}

void WindowChannel::AwaitShown(std::uint64_t ticket) {
  for (;;) {
    const std::uint32_t seq = shown_seq_.load();
    if (shown_.load() >= ticket) return;
    waiters_.fetch_add(1);
    if (shown_seq_.load() == seq) SleepWhileShownIs(seq);  // else something was shown meanwhile
    waiters_.fetch_sub(1);
  }
}

void WindowChannel::Show(std::uint64_t shown) {
  shown_.store(shown);
  shown_seq_.fetch_add(1);
  if (waiters_.load() > 0) WakeShownWaiters();
}

}  // namespace glimmet
