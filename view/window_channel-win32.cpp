// The hand-off's two wake-ups on Windows: an auto-reset event for the
// window thread, which waits on it and on its message queue together, and
// WaitOnAddress for the waiter, which sleeps until the shown count moves.
#include "view/window_channel.h"

#include <windows.h>

namespace glimmet {

namespace {

std::intptr_t MakeEvent() {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  return event == nullptr ? -1 : reinterpret_cast<std::intptr_t>(event);
}

HANDLE EventOf(std::intptr_t wake) { return reinterpret_cast<HANDLE>(wake); }

}  // namespace

WindowChannel::WindowChannel() : wake_(MakeEvent()) {}

WindowChannel::~WindowChannel() {
  if (wake_ >= 0) CloseHandle(EventOf(wake_));
}

void WindowChannel::Wake() {
  if (!sleeping_.load() || wake_ < 0) return;
  SetEvent(EventOf(wake_));
}

// The wait itself took the event's signal.
void WindowChannel::TakeWake() {}

void WindowChannel::Redraw() {
  const std::uint64_t ticket = requested_.fetch_add(1) + 1;
  Wake();
  AwaitShown(ticket);
}

void WindowChannel::AwaitShown(std::uint64_t ticket) {
  for (;;) {
    std::uint32_t seq = shown_seq_.load();
    if (shown_.load() >= ticket) return;
    waiters_.fetch_add(1);
    if (shown_seq_.load() == seq)  // else something was shown meanwhile
      WaitOnAddress(&shown_seq_, &seq, sizeof seq, INFINITE);
    waiters_.fetch_sub(1);
  }
}

void WindowChannel::Show(std::uint64_t shown) {
  shown_.store(shown);
  shown_seq_.fetch_add(1);
  if (waiters_.load() > 0) WakeByAddressAll(&shown_seq_);
}

}  // namespace glimmet
