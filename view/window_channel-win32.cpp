// The hand-off's wake-ups on Windows: an auto-reset event for the window
// thread, which waits on it and on its message queue together, and
// WaitOnAddress for the waiter, which sleeps until the shown count moves.
// While generations come one after another, the window thread naps on the
// request count instead: under Wine an event costs a trip through the
// wineserver each way, an address wait none.
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
  if (!sleeping_.load()) {
    WakeByAddressSingle(&requested_);  // in case it naps on the count
    return;
  }
  if (wake_ >= 0) SetEvent(EventOf(wake_));
}

// The wait itself took the event's signal.
void WindowChannel::TakeWake() {}

void WindowChannel::SleepWhileShownIs(std::uint32_t seq) {
  WaitOnAddress(&shown_seq_, &seq, sizeof seq, INFINITE);
}

void WindowChannel::WakeShownWaiters() { WakeByAddressAll(&shown_seq_); }

}  // namespace glimmet
