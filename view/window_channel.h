// The redraw hand-off between the program thread and a window thread.
// RedrawView raises a request and sleeps until the window thread says the
// picture is on the window; the window thread sleeps in poll() and is woken
// through an eventfd (an event on Windows) only when it sleeps. On Windows
// it may nap on requested_ instead, which Wake() ends too. Lock-free, so
// that a pass costs no more than the two wake-ups it needs, and neither
// side spins.
#pragma once

#include <atomic>
#include <cstdint>

namespace glimmet {

struct WindowChannel {
  WindowChannel();
  ~WindowChannel();
  WindowChannel(const WindowChannel&) = delete;
  WindowChannel& operator=(const WindowChannel&) = delete;

  // Wakes the window thread if it sleeps. The window thread says it sleeps
  // before it looks for work, and a requester makes its work before it
  // looks whether the thread sleeps, both in sequential order, so one of
  // the two always sees the other.
  void Wake();
  bool HasWork() const { return stop_.load() || requested_.load() > shown_.load(); }

  // Raises a redraw request and returns once its picture is shown, or at
  // once when the window has gone.
  void Redraw();
  // Tells every request up to `shown` that its picture is on the window.
  void Show(std::uint64_t shown);
  // Releases every redraw waiter for good: the window is gone.
  void Finish() { Show(UINT64_MAX); }
  // Empties the eventfd after a wake-up.
  void TakeWake();

  // An eventfd on Linux, an event on Windows; -1 when none could be made.
  const std::intptr_t wake_;
  std::atomic<bool> sleeping_{false};  // the window thread waits on wake_
  std::atomic<std::uint64_t> requested_{0};
  std::atomic<std::uint64_t> shown_{0};
  std::atomic<std::uint32_t> shown_seq_{0};  // the futex word: bumped by each Show
  std::atomic<int> waiters_{0};
  std::atomic<bool> stop_{false};   // the thread has been asked to end
  std::atomic<bool> ended_{false};  // the thread has ended

 private:
  void AwaitShown(std::uint64_t ticket);
  // The waiter's sleep, until shown_seq_ is no longer `seq` (or for no
  // reason, now and then), and its wake-up.
  void SleepWhileShownIs(std::uint32_t seq);
  void WakeShownWaiters();
};

}  // namespace glimmet
