// The native window behind a view window, and the thread that owns it
// (SDL's on Linux, GDI's on Windows). Everything of the window system
// happens on that thread: it opens the window, sleeps until the window
// system or a redraw request has something for it, copies the picture to
// the window on request, and removes the window's records when the user
// closes it.
#pragma once

#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "view/registry.h"
#include "view/view_window.h"
#include "view/window_channel.h"

namespace glimmet {

// What OpenViewWindow hands to the window thread, copied when it starts.
struct OpeningBlock {
  std::string caption_;
  int x_ = 0, y_ = 0, width_ = 0, height_ = 0;
  std::uint32_t style_ = 0;
  ViewOptions options_;
};

struct OpenResult {
  Handle handle_ = 0;
  std::string error_;
};

// A native window as its thread runs it; each platform's window file
// makes its own (SDL's, GDI's).
class NativeWindow {
 public:
  // Closes the window, if it is still open.
  virtual ~NativeWindow() = default;
  // The handle of the shown window; 0 where it could not be opened.
  virtual Handle ViewHandle() const = 0;
  // Runs the window until its thread is told to stop.
  virtual void Run() = 0;
};

// Opens and shows the window of `block` on the calling thread, which from
// then on owns it. Where it cannot be opened, a window whose handle is 0,
// with the reason in `error`.
std::unique_ptr<NativeWindow> OpenNativeWindow(const OpeningBlock& block,
                                               std::shared_ptr<WindowChannel> channel,
                                               std::string& error);

// Lets the window system go, where it must be told, once the thread's
// window has gone.
void EndWindowSystem();

// The window thread: opens the window, reports how that went, runs the
// window until it is told to stop, and ends.
void WindowThreadMain(OpeningBlock block, std::shared_ptr<WindowChannel> channel,
                      std::promise<OpenResult> report);

// While it lives, the calling thread blocks `signals`, so that a thread it
// starts begins with them blocked; nothing where there are no signals.
class SignalsBlocked {
 public:
  explicit SignalsBlocked(const std::vector<int>& signals);
  ~SignalsBlocked();
  SignalsBlocked(const SignalsBlocked&) = delete;
  SignalsBlocked& operator=(const SignalsBlocked&) = delete;
  // True, with the reason, when the signals could not be blocked.
  bool Failed(std::string& error) const;

 private:
  // The thread's mask before, where the system has masks; each platform's
  // window file says what it holds.
  struct Former;
  std::unique_ptr<Former> former_;
  int error_ = 0;
};

// Starts a window thread for the block and returns the window's handle once
// it is shown; 0, with the reason, when no window could be opened. The
// thread starts with options_.program_signals_ blocked.
Handle StartWindowThread(const OpeningBlock& block, std::string& error);

// Asks every window thread to close its window and end, and waits for them.
void StopWindowThreads();

}  // namespace glimmet
