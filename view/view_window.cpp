// The window thread and the five drawing operations.
//
// Everything SDL happens on the window thread. The program thread talks to
// it through a WindowChannel: RedrawView raises a request and waits for the
// window thread to say the picture is on the window. The window thread
// sleeps in poll() on the X connection and on an eventfd that a redraw
// request or the stop writes to, so it wakes for nothing else, and it asks
// SDL for events only when the X server has sent some.
//
// An exposure is repainted from the window's own framebuffer, which holds
// the picture as last shown; the picture itself is only read while a redraw
// request holds the program thread, so the two threads never touch the same
// pixels at once.
#include "view/view_window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <linux/futex.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace glimmet {

namespace view_internal {
thread_local constinit PlotTarget plot_target;
}  // namespace view_internal

// Lock-free, so that a pass costs no more than the two wake-ups it needs:
// the window thread's, through the eventfd, when it sleeps, and the
// waiter's, through a futex. Neither side spins.
struct WindowChannel {
  WindowChannel() : wake_fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~WindowChannel() {
    if (wake_fd_ >= 0) close(wake_fd_);
  }
  WindowChannel(const WindowChannel&) = delete;
  WindowChannel& operator=(const WindowChannel&) = delete;

  // Wakes the window thread if it sleeps. The window thread says it sleeps
  // before it looks for work, and a requester makes its work before it
  // looks whether the thread sleeps, both in sequential order, so one of
  // the two always sees the other.
  void Wake() {
    if (!sleeping_.load()) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(wake_fd_, &one, sizeof one);
  }
  bool HasWork() const { return stop_.load() || requested_.load() > shown_.load(); }

  // Returns once the picture of redraw request `ticket` is shown.
  void AwaitShown(std::uint64_t ticket) {
    for (;;) {
      const std::uint32_t seq = shown_seq_.load();
      if (shown_.load() >= ticket) return;
      waiters_.fetch_add(1);
      if (shown_seq_.load() == seq)  // else something was shown meanwhile
        syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&shown_seq_), FUTEX_WAIT_PRIVATE,
                seq, nullptr, nullptr, 0);
      waiters_.fetch_sub(1);
    }
  }
  void Show(std::uint64_t shown) {
    shown_.store(shown);
    shown_seq_.fetch_add(1);
    if (waiters_.load() > 0)
      syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&shown_seq_), FUTEX_WAKE_PRIVATE,
              INT32_MAX, nullptr, nullptr, 0);
  }
  // Releases every redraw waiter for good: the window is gone.
  void Finish() { Show(UINT64_MAX); }

  const int wake_fd_;
  std::atomic<bool> sleeping_{false};  // the window thread is in poll()
  std::atomic<std::uint64_t> requested_{0};
  std::atomic<std::uint64_t> shown_{0};
  std::atomic<std::uint32_t> shown_seq_{0};  // the futex word: bumped by each Show
  std::atomic<int> waiters_{0};
  std::atomic<bool> stop_{false};   // the thread has been asked to end
  std::atomic<bool> ended_{false};  // the thread has ended
};


namespace {

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

struct WindowThread {
  std::thread thread_;
  std::shared_ptr<WindowChannel> channel_;
};

// Xlib's handler for a lost connection is process-wide, so its hook is too.
std::atomic<DisplayLostHandler> display_lost{nullptr};

// Xlib ends the process after this returns; end it here instead, without
// running exit handlers while the program thread is still drawing.
int OnDisplayLost(Display*) {
  if (DisplayLostHandler handler = display_lost.load()) handler();
  _exit(1);
}

// X errors while the terminal's window is looked up; only the window thread
// touches Xlib, and only while the lookup's own handler is in place.
int lookup_errors = 0;
int CountLookupError(Display*, XErrorEvent*) {
  ++lookup_errors;
  return 0;
}

bool HasWmState(Display* display, Window w) {
  const Atom wm_state = XInternAtom(display, "WM_STATE", True);
  if (wm_state == None) return false;
  Atom type = None;
  int format = 0;
  unsigned long items = 0, left = 0;
  unsigned char* data = nullptr;
  const bool found = XGetWindowProperty(display, w, wm_state, 0, 0, False, AnyPropertyType,
                                        &type, &format, &items, &left, &data) == Success &&
                     type != None;
  if (data != nullptr) XFree(data);
  return found;
}

// The top-level window that holds `id`: the first window up the tree that
// a window manager manages (it has WM_STATE), else the child of the root.
// 0 when `id` names no window on this display.
Window TopLevelOf(Display* display, Window id) {
  lookup_errors = 0;
  XErrorHandler former = XSetErrorHandler(CountLookupError);
  Window found = 0, below_root = 0;
  for (Window w = id; w != 0 && found == 0;) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, w, &root, &parent, &children, &count) || lookup_errors) break;
    if (children != nullptr) XFree(children);
    if (w == root) break;
    if (HasWmState(display, w)) found = w;
    if (parent == root) below_root = w;
    w = parent == root ? 0 : parent;
  }
  XSync(display, False);
  XSetErrorHandler(former);
  if (lookup_errors) return 0;
  return found != 0 ? found : below_root;
}

// The terminal's own top-level window, as many terminals publish it in
// WINDOWID, or 0 when there is none to be found.
Window TerminalWindow(Display* display, Window own) {
  const char* text = std::getenv("WINDOWID");
  if (text == nullptr || *text == '\0') return 0;
  char* end = nullptr;
  const unsigned long id = std::strtoul(text, &end, 0);
  if (*end != '\0' || id == 0) return 0;
  const Window top = TopLevelOf(display, static_cast<Window>(id));
  return top == own ? 0 : top;
}

// The running window threads. Never destroyed, so that a thread still
// joinable when the process exits does not end it with std::terminate.
std::vector<WindowThread>& Threads() {
  static auto* threads = new std::vector<WindowThread>;
  return *threads;
}
std::mutex& ThreadsMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

// This thread's current target, kept alive (and its picture with it) while
// the thread may still plot into it; view_internal::plot_target points into
// it.
thread_local std::shared_ptr<Record> current_target;
thread_local std::string open_error;

void Detach() {
  view_internal::plot_target = {};
  current_target.reset();
}

// The live surface record of this thread's current target, or null.
Record* CurrentSurface() {
  Record* record = view_internal::plot_target.record_;
  if (record != nullptr && !record->alive_.load(std::memory_order_acquire)) {
    Detach();
    return nullptr;
  }
  return record;
}

void Redraw(Record& surface) {
  WindowChannel& channel = *surface.channel_;
  const std::uint64_t ticket = channel.requested_.fetch_add(1) + 1;
  channel.Wake();
  channel.AwaitShown(ticket);
}

// The window as its thread sees it.
class NativeWindow {
 public:
  NativeWindow(const OpeningBlock& block, std::shared_ptr<WindowChannel> channel)
      : block_(block), channel_(std::move(channel)) {}

  bool Open(std::string& error);
  void Run();
  void Close();
  Handle ViewHandle() const { return view_handle_; }

 private:
  bool Fail(std::string& error, const char* what) {
    error = std::string(what) + ": " + SDL_GetError();
    return false;
  }
  void Place();
  void KeepAboveTerminal();
  void SetIcon();
  bool Wait();
  void HandleEvents();
  void ServeRedraw();

  OpeningBlock block_;
  std::shared_ptr<WindowChannel> channel_;
  SDL_Window* window_ = nullptr;
  Uint32 window_id_ = 0;
  Handle view_handle_ = 0;
  std::shared_ptr<Picture> picture_;
  Display* display_ = nullptr;  // SDL's X connection; null on other systems
};

bool NativeWindow::Open(std::string& error) {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  // Straight to X11 shared memory, not through OpenGL: about twice as fast.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // Without a runtime directory no Wayland compositor can be reached, and
  // trying only makes libwayland print a complaint of its own.
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (std::getenv("XDG_RUNTIME_DIR") == nullptr && !(wayland && wayland[0] == '/'))
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
  if (block_.options_.display_lost_ != nullptr) {
    display_lost.store(block_.options_.display_lost_);
    XSetIOErrorHandler(OnDisplayLost);
  }
  if (channel_->wake_fd_ < 0) {
    error = std::string("cannot make the window thread's wake-up: ") + strerror(errno);
    return false;
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return Fail(error, "SDL cannot start its video");
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* asked = std::getenv("SDL_VIDEODRIVER");
  const std::string name = driver ? driver : "";
  if ((name == "offscreen" || name == "dummy") && !(asked && name == asked)) {
    error = "no display (SDL could only find its '" + name + "' video driver)";
    return false;
  }

  Uint32 flags = block_.style_;
  if (flags == 0) flags = block_.caption_.empty() ? SDL_WINDOW_BORDERLESS : 0;
  window_ = SDL_CreateWindow(block_.caption_.c_str(), block_.x_, block_.y_,
                             block_.width_, block_.height_, flags | SDL_WINDOW_HIDDEN);
  if (window_ == nullptr) return Fail(error, "SDL cannot create the window");
  window_id_ = SDL_GetWindowID(window_);

  auto view = std::make_shared<Record>();
  view->kind_ = RecordKind::kView;
  view->handle_ = view_handle_ = NewHandle();
  view->style_ = block_.style_;
  view->width_ = block_.width_;
  view->height_ = block_.height_;
  if (!AddRecord(view)) {
    error = "the window's handle is already registered";
    return false;
  }
  SDL_Surface* framebuffer = SDL_GetWindowSurface(window_);
  if (framebuffer == nullptr) return Fail(error, "SDL gives the window no framebuffer");
  picture_.reset(Picture::Create(framebuffer->w, framebuffer->h, kButtonFace));
  if (!picture_) return Fail(error, "SDL cannot make the picture");

  auto surface = std::make_shared<Record>();
  surface->kind_ = RecordKind::kSurface;
  surface->handle_ = NewHandle();
  surface->owner_ = view_handle_;
  surface->width_ = picture_->Width();
  surface->height_ = picture_->Height();
  surface->picture_ = picture_;
  surface->channel_ = channel_;
  if (!AddRecord(surface)) {
    error = "the surface's handle is already registered";
    return false;
  }
  KeepAboveTerminal();
  SetIcon();
  SDL_ShowWindow(window_);
  Place();
  // Showing may have given the window a new framebuffer.
  framebuffer = SDL_GetWindowSurface(window_);
  if (framebuffer != nullptr && picture_->CopyTo(framebuffer)) SDL_UpdateWindowSurface(window_);
  return true;
}

// SDL places the client area; move it so the frame's corner is at (x, y).
void NativeWindow::Place() {
  int top = 0, left = 0;
  if (SDL_GetWindowBordersSize(window_, &top, &left, nullptr, nullptr) == 0 &&
      (top != 0 || left != 0))
    SDL_SetWindowPosition(window_, block_.x_ + left, block_.y_ + top);
}

// A click on the panel raises the terminal, which could then cover the
// window and hide the field the panel works on. A transient of the
// terminal's window stays above that window alone; where the terminal
// cannot be found, the window stays above all others.
void NativeWindow::KeepAboveTerminal() {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window_, &info) && info.subsystem == SDL_SYSWM_X11) {
    Display* display = display_ = info.info.x11.display;
    const Window own = info.info.x11.window;
    if (!block_.options_.class_.empty()) {
      std::string name = block_.options_.class_;
      XClassHint hint{name.data(), name.data()};
      XSetClassHint(display, own, &hint);
    }
    if (const Window terminal = TerminalWindow(display, own)) {
      XSetTransientForHint(display, own, terminal);
      return;
    }
  }
  SDL_SetWindowAlwaysOnTop(window_, SDL_TRUE);
}

void NativeWindow::SetIcon() {
  const ViewOptions& o = block_.options_;
  if (o.icon_size_ <= 0 || o.icon_.size() != static_cast<std::size_t>(o.icon_size_) * o.icon_size_)
    return;
  // Colour keeps red in its low byte: XBGR8888 in SDL's terms.
  SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<Colour*>(o.icon_.data()), o.icon_size_, o.icon_size_, 32, o.icon_size_ * 4,
      SDL_PIXELFORMAT_XBGR8888);
  if (icon == nullptr) return;  // the window manager's own icon serves
  SDL_SetWindowIcon(window_, icon);
  SDL_FreeSurface(icon);
}

void NativeWindow::Run() {
  for (;;) {
    const bool x_events = Wait();
    if (channel_->stop_.load()) return;
    if (x_events) HandleEvents();
    ServeRedraw();
  }
}

// Returns when there is something to do: a redraw request, the stop, or
// X events, which it reports. Sleeps without a timeout when there is none.
bool NativeWindow::Wait() {
  WindowChannel& ch = *channel_;
  const bool on_x = window_ != nullptr && display_ != nullptr;
  // Events that Xlib read with an earlier reply leave the connection quiet;
  // SDL flushes what it sends, and a redraw ends with a sync.
  if (on_x && XEventsQueued(display_, QueuedAlready) > 0) return true;
  ch.sleeping_.store(true);
  // Elsewhere than X the thread cannot sleep on SDL's events, so it looks
  // at them every 10 ms while the window is open.
  const int timeout = ch.HasWork() ? 0 : (on_x || window_ == nullptr) ? -1 : 10;
  pollfd fds[2] = {{ch.wake_fd_, POLLIN, 0}, {on_x ? ConnectionNumber(display_) : -1, POLLIN, 0}};
  const int ready = poll(fds, 2, timeout);
  ch.sleeping_.store(false);
  if (ready > 0 && (fds[0].revents & POLLIN)) {
    std::uint64_t count;
    [[maybe_unused]] ssize_t n = read(ch.wake_fd_, &count, sizeof count);
  }
  if (window_ == nullptr) return false;
  return on_x ? ready > 0 && fds[1].revents != 0 : true;
}

void NativeWindow::HandleEvents() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type != SDL_WINDOWEVENT || window_ == nullptr ||
        event.window.windowID != window_id_)
      continue;
    if (event.window.event == SDL_WINDOWEVENT_CLOSE) Close();
    else if (event.window.event == SDL_WINDOWEVENT_EXPOSED)
      SDL_UpdateWindowSurface(window_);
  }
}

void NativeWindow::ServeRedraw() {
  const std::uint64_t target = channel_->requested_.load();
  if (target <= channel_->shown_.load() || window_ == nullptr) return;
  SDL_Surface* framebuffer = SDL_GetWindowSurface(window_);
  if (framebuffer != nullptr && picture_->CopyTo(framebuffer)) SDL_UpdateWindowSurface(window_);
  channel_->Show(target);
}

// Removes the records first, so that no plot or redraw starts on a window
// that is about to go, then destroys it and lets any waiting redraw return.
void NativeWindow::Close() {
  if (view_handle_ != 0) RemoveRecordsOf(view_handle_);
  view_handle_ = 0;
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  window_ = nullptr;
  picture_.reset();
  channel_->Finish();
}

void WindowThreadMain(OpeningBlock block, std::shared_ptr<WindowChannel> channel,
                      std::promise<OpenResult> report) {
  {
    NativeWindow window(block, channel);
    OpenResult result;
    if (window.Open(result.error_)) {
      result.handle_ = window.ViewHandle();
      report.set_value(result);
      window.Run();
    } else {
      report.set_value(result);
    }
    window.Close();
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  SDL_Quit();
  channel->ended_.store(true);
  channel->Finish();
}

// Joins the threads that have ended; true when none is left running.
bool ReapEndedThreads() {
  auto& threads = Threads();
  for (auto it = threads.begin(); it != threads.end();) {
    if (it->channel_->ended_.load()) {
      it->thread_.join();
      it = threads.erase(it);
    } else {
      ++it;
    }
  }
  return threads.empty();
}

// The asynchronous signals, which belong to the program thread.
sigset_t AsyncSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGWINCH, SIGUSR1, SIGUSR2,
                SIGALRM, SIGCHLD, SIGPIPE})
    sigaddset(&set, s);
  return set;
}

}  // namespace

Handle OpenViewWindow(const std::string& caption, int x, int y, int width,
                      int height, std::uint32_t style, const ViewOptions& options) {
  open_error.clear();
  std::lock_guard threads_lock(ThreadsMutex());
  // SDL's video belongs to one thread at a time.
  if (!ReapEndedThreads()) {
    open_error = "a view window is already open";
    return 0;
  }
  OpeningBlock block{caption, x, y, width, height, style, options};
  auto channel = std::make_shared<WindowChannel>();
  std::promise<OpenResult> report;
  std::future<OpenResult> result = report.get_future();

  // The thread starts with the asynchronous signals blocked, so they are
  // always delivered to the program thread.
  const sigset_t blocked = AsyncSignals();
  sigset_t former;
  pthread_sigmask(SIG_BLOCK, &blocked, &former);
  try {
    Threads().push_back(WindowThread{
        std::thread(WindowThreadMain, block, channel, std::move(report)), channel});
  } catch (const std::system_error& e) {
    pthread_sigmask(SIG_SETMASK, &former, nullptr);
    open_error = std::string("cannot start the window thread: ") + e.what();
    return 0;
  }
  pthread_sigmask(SIG_SETMASK, &former, nullptr);
  OpenResult opened = result.get();
  open_error = opened.error_;
  return opened.handle_;
}

std::string ViewWindowError() { return open_error; }

void AttachViewWindow(Handle window, bool redraw_on_request) {
  Detach();
  std::shared_ptr<Record> surface = FindSurfaceOf(window);
  if (!surface) surface = FindRecord(window);
  if (!surface || surface->kind_ != RecordKind::kSurface) return;
  surface->redraw_on_request_.store(redraw_on_request);
  const Picture& picture = *surface->picture_;
  view_internal::plot_target = {picture.Pixels(),
                                picture.Stride(),
                                static_cast<std::size_t>(surface->width_),
                                static_cast<std::size_t>(surface->height_),
                                surface.get(),
                                redraw_on_request};
  current_target = std::move(surface);
}

void view_internal::RedrawPlotted() {
  if (Record* surface = CurrentSurface()) Redraw(*surface);
}

void RedrawView() {
  if (Record* surface = CurrentSurface()) Redraw(*surface);
}

ViewSize QueryViewSize() {
  Record* surface = CurrentSurface();
  if (surface == nullptr) return {};
  return {static_cast<double>(surface->width_), static_cast<double>(surface->height_)};
}

void StopViewWindows() {
  std::lock_guard threads_lock(ThreadsMutex());
  for (WindowThread& t : Threads()) {
    t.channel_->stop_.store(true);
    t.channel_->Wake();
  }
  for (WindowThread& t : Threads()) t.thread_.join();
  Threads().clear();
}

}  // namespace glimmet
