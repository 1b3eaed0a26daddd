// The one way a unit test waits for something outside it (a window, a
// thread, a child process, a terminal's bytes): poll the condition until it
// holds or a deadline passes. The deadline is generous enough for a
// sanitized build on a machine whose cores are all busy; a healthy run
// waits a small part of it. No test waits a fixed time instead.
#pragma once

#include <chrono>
#include <thread>

namespace glimmet::testing {

inline constexpr std::chrono::seconds kDeadline{120};

// True as soon as done() is, false when it is still false at the deadline.
template <class Condition>
bool WaitUntil(Condition done, std::chrono::milliseconds deadline = kDeadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace glimmet::testing
