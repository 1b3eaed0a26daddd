// The redraw hand-off in a web page, where the program and the page share
// one thread: a redraw request is done as soon as it is made (the picture
// is marked, and the page's next frame puts it on the canvas), so nobody
// ever waits and nothing needs waking.
#include "view/window_channel.h"

namespace glimmet {

WindowChannel::WindowChannel() : wake_(-1) {}

WindowChannel::~WindowChannel() = default;

void WindowChannel::Wake() { Show(requested_.load()); }

void WindowChannel::TakeWake() {}

void WindowChannel::SleepWhileShownIs(std::uint32_t) {}

void WindowChannel::WakeShownWaiters() {}

}  // namespace glimmet
