// The SDL window behind a view window, and the thread that owns it.
// Everything SDL happens on that thread: it opens the window, sleeps until
// the X server or a redraw request has something for it, copies the picture
// to the window on request, and removes the window's records when the user
// closes it.
#pragma once

#include <cstdint>
#include <string>

#include "view/registry.h"
#include "view/view_window.h"

namespace glimmet {

// What OpenViewWindow hands to the window thread, copied when it starts.
struct OpeningBlock {
  std::string caption_;
  int x_ = 0, y_ = 0, width_ = 0, height_ = 0;
  std::uint32_t style_ = 0;
  ViewOptions options_;
};

// Starts a window thread for the block and returns the window's handle once
// it is shown; 0, with the reason, when no window could be opened. The
// thread starts with options_.program_signals_ blocked.
Handle StartWindowThread(const OpeningBlock& block, std::string& error);

// Asks every window thread to close its window and end, and waits for them.
void StopWindowThreads();

}  // namespace glimmet
