// The window thread: it sleeps in poll() on the X connection and on the
// channel's eventfd, so it wakes for nothing else, and asks SDL for events
// only when the X server has sent some.
//
// An exposure is repainted from the window's own framebuffer, which holds
// the picture as last shown; the picture itself is only read while a redraw
// request holds the program thread, so the two threads never touch the same
// pixels at once.
#include "view/native_window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "view/picture-posix.h"
#include "view/scale.h"
#include "view/wayland_desktop.h"
#include "view/window_channel.h"
#include "view/x11_desktop.h"

namespace glimmet {

namespace {

// The window as its thread sees it.
class SdlWindow final : public NativeWindow {
 public:
  SdlWindow(const OpeningBlock& block, std::shared_ptr<WindowChannel> channel)
      : block_(block), channel_(std::move(channel)) {}
  ~SdlWindow() override { Close(); }
  SdlWindow(const SdlWindow&) = delete;
  SdlWindow& operator=(const SdlWindow&) = delete;

  bool Open(std::string& error);
  void Run() override;
  void Close();
  Handle ViewHandle() const override { return view_handle_; }

 private:
  bool Fail(std::string& error, const char* what) {
    error = what;
    if (const char* why = SDL_GetError(); why != nullptr && *why != '\0')
      error += std::string(": ") + why;
    return false;
  }
  bool StartVideo(std::string& error);
  void TakeDesktopScale();
  bool AddRecords(std::string& error);
  // The window's size in the window system's units: the picture's, scaled
  // on X11, where the units are pixels.
  int Width() const { return block_.width_ * scale_; }
  int Height() const { return block_.height_ * scale_; }
  bool ShowPicture();
  void Place(std::span<const Monitor> monitors, int home);
  bool PanelPlace(ScreenRect& panel) const;
  void MoveOffPanel(std::span<const Monitor> monitors, int home);
  void HoldSize();
  bool FramedByLibdecor() const;
  void KeepInView();
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
  SurfaceCopy copy_;
  Display* display_ = nullptr;  // SDL's X connection; null on other systems
  Window x_window_ = 0;
  bool window_manager_ = false;
  TerminalWindow terminal_;     // zeros where it cannot be found
  bool on_wayland_ = false;
  bool compositor_decorates_ = false;
  int scale_ = 1;  // the X desktop's scale; 1 where the compositor scales
};

// A bus address that names no transport, so that connecting to it fails at
// once without starting anything.
constexpr char kNoBus[] = "disabled:";


bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

bool SdlWindow::StartVideo(std::string& error) {
  if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("SDL_VIDEODRIVER")) {
    error = "neither DISPLAY nor WAYLAND_DISPLAY is set; glimmet2 needs a graphical desktop";
    return false;
  }
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  // Without a runtime directory no Wayland compositor can be reached, and
  // trying only makes libwayland print a complaint of its own.
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (!Set("XDG_RUNTIME_DIR") && !(wayland && wayland[0] == '/') && !Set("SDL_VIDEODRIVER"))
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
  // With no session bus, SDL's D-Bus library would start one of its own
  // (dbus-launch's autolaunch) that lives on after the program; the program
  // needs nothing of a bus. The program thread waits while this runs.
  if (!Set("DBUS_SESSION_BUS_ADDRESS") && setenv("DBUS_SESSION_BUS_ADDRESS", kNoBus, 1) != 0) {
    error = std::string("cannot set the environment: ") + strerror(errno);
    return false;
  }
  if (block_.options_.display_lost_ != nullptr) HookDisplayLoss(block_.options_.display_lost_);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return Fail(error, "SDL cannot start its video");
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* asked = std::getenv("SDL_VIDEODRIVER");
  const std::string name = driver ? driver : "";
  if ((name == "offscreen" || name == "dummy") && !(asked && name == asked)) {
    error = "no display (SDL could only find its '" + name + "' video driver)";
    return false;
  }
  // On X11, straight to shared memory rather than through OpenGL: about
  // twice as fast. SDL's Wayland driver has no framebuffer of its own and
  // needs the accelerated one.
  if (name == "x11") SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");  // never a blend of cells
  on_wayland_ = name == "wayland";
  if (on_wayland_) compositor_decorates_ = CompositorDecorates();
  return true;
}

// The desk's monitors as SDL sees them, the primary first.
std::vector<Monitor> Monitors() {
  std::vector<Monitor> monitors;
  for (int i = 0, n = SDL_GetNumVideoDisplays(); i < n; ++i) {
    SDL_Rect bounds, usable;
    if (SDL_GetDisplayBounds(i, &bounds) != 0) continue;
    if (SDL_GetDisplayUsableBounds(i, &usable) != 0) usable = {};
    monitors.push_back({{bounds.x, bounds.y, bounds.w, bounds.h},
                        {usable.x, usable.y, usable.w, usable.h}});
  }
  return monitors;
}

// The monitor under the pointer, where the user has just typed the
// command; else the primary.
int PointerMonitor(std::span<const Monitor> monitors) {
  int x = 0, y = 0;
  SDL_GetGlobalMouseState(&x, &y);
  return MonitorAt({x, y}, monitors, 0);
}

bool SdlWindow::Open(std::string& error) {
  if (channel_->wake_ < 0) {
    error = std::string("cannot make the window thread's wake-up: ") + strerror(errno);
    return false;
  }
  if (!StartVideo(error)) return false;
  Uint32 flags = block_.style_;
  if (flags == 0) flags = block_.caption_.empty() ? SDL_WINDOW_BORDERLESS : 0;
  if (FramedByLibdecor()) flags |= SDL_WINDOW_RESIZABLE;
  // On a scaled Wayland output, a drawable of the output's own pixels, into
  // which SDL enlarges the framebuffer pixel by pixel, rather than one the
  // compositor stretches, as some do with smoothing.
  if (on_wayland_) flags |= SDL_WINDOW_ALLOW_HIGHDPI;
  window_ = SDL_CreateWindow(block_.caption_.c_str(), block_.x_, block_.y_,
                             block_.width_, block_.height_, flags | SDL_WINDOW_HIDDEN);
  if (window_ == nullptr) return Fail(error, "SDL cannot create the window");
  window_id_ = SDL_GetWindowID(window_);
  KeepInView();
  TakeDesktopScale();
  if (!AddRecords(error)) return false;
  SetIcon();
  // Placed before it is first seen, so that it never shows over the panel;
  // again once shown, when the frame the window manager adds is known.
  const std::vector<Monitor> monitors = Monitors();
  const int home = PointerMonitor(monitors);
  Place(monitors, home);
  SDL_ShowWindow(window_);
  HoldSize();
  Place(monitors, home);
  MoveOffPanel(monitors, home);
  ShowPicture();  // showing may have given the window a new framebuffer
  return true;
}

// Each cell a square of as many whole pixels as the framebuffer has room
// for: the X desktop's scale, or more in a window that a desk maximized.
// (On Wayland the framebuffer is in the compositor's units, and SDL
// enlarges it to the output's pixels.)
bool SdlWindow::ShowPicture() {
  SDL_Surface* framebuffer = SDL_GetWindowSurface(window_);
  if (framebuffer == nullptr) return false;
  const int scale = std::max(1, std::min(framebuffer->w / block_.width_,
                                         framebuffer->h / block_.height_));
  if (!copy_.Copy(*picture_, framebuffer, scale)) return false;
  SDL_UpdateWindowSurface(window_);
  return true;
}

// An X desktop that scales its display says so in GDK_SCALE or Xft.dpi;
// the window is made that many times the picture's size before it is
// first shown. On Wayland the window's size is in the compositor's units,
// which it scales itself.
void SdlWindow::TakeDesktopScale() {
  if (display_ == nullptr) return;
  const char* gdk_scale = std::getenv("GDK_SCALE");
  const char* resources = XResourceManagerString(display_);
  scale_ = DesktopScale(gdk_scale ? gdk_scale : "", resources ? resources : "");
  if (scale_ > 1) SDL_SetWindowSize(window_, Width(), Height());
}

// The window's record and its surface's, with the picture the program
// thread plots into, one pixel a cell.
bool SdlWindow::AddRecords(std::string& error) {
  SDL_Surface* framebuffer = SDL_GetWindowSurface(window_);
  if (framebuffer == nullptr) return Fail(error, "SDL gives the window no framebuffer");
  picture_.reset(Picture::Create(block_.width_, block_.height_, kButtonFace));
  if (!picture_) return Fail(error, "SDL cannot make the picture");
  view_handle_ =
      AddWindowRecords(block_.style_, block_.width_, block_.height_, picture_, channel_, error);
  return view_handle_ != 0;
}

// Room for a title bar that the window manager has not told of yet.
constexpr int kUntoldTitleBar = 40;

// The panel's place on the screen; false where the terminal cannot be
// found (a Wayland client, a terminal on another machine).
bool SdlWindow::PanelPlace(ScreenRect& panel) const {
  const TerminalGrid& grid = block_.options_.terminal_;
  TerminalOnScreen terminal;
  if (display_ == nullptr || grid.panel_columns_ <= 0 || grid.panel_rows_ <= 0 ||
      !TerminalPlace(display_, terminal_, terminal))
    return false;
  panel = PanelOnScreen(terminal, grid);
  return true;
}

// SDL places the client area; move it so that the frame's corner is at
// (x, y), or where the frame leaves the panel clear. Only X11 has
// positions; the frame is known once the window is shown, and some window
// managers tell of it only later. Where the terminal's window cannot be
// found its panel may be anywhere, (x, y) included.
void SdlWindow::Place(std::span<const Monitor> monitors, int home) {
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) != 0)
    top = left = bottom = right = 0;
  // A title bar not told of yet may go above the client (a manager that
  // keeps the client where it was asked for) or push it down (one that puts
  // the frame there): the frame is reckoned with room for both.
  const bool titled = !(SDL_GetWindowFlags(window_) & SDL_WINDOW_BORDERLESS);
  const int untold = window_manager_ && titled && top == 0 ? kUntoldTitleBar : 0;
  const ScreenRect frame{block_.x_, block_.y_ - untold, Width() + left + right,
                         Height() + top + bottom + 2 * untold};
  ScreenPoint corner{frame.x_, frame.y_};
  if (display_ != nullptr && block_.options_.terminal_.panel_columns_ > 0) {
    ScreenRect panel;
    const bool known = PanelPlace(panel);
    corner = ChooseCorner(frame, known ? &panel : nullptr, monitors, home, kPanelGap);
  }
  const int x = corner.x_ + left, y = corner.y_ + top + untold;
  if (x != block_.x_ || y != block_.y_ || top != 0 || left != 0)
    SDL_SetWindowPosition(window_, x, y);
}

// The desk has the last word on where a window goes: where it has put the
// frame over the panel after all, the window moves, once, to the next spot.
void SdlWindow::MoveOffPanel(std::span<const Monitor> monitors, int home) {
  ScreenRect panel, frame;
  Extents extents;
  if (display_ == nullptr || x_window_ == 0 || !PanelPlace(panel)) return;
  XSync(display_, False);
  if (!FrameOnScreen(display_, x_window_, frame, extents) || !Overlap(frame, panel)) return;
  const ScreenPoint corner = ChooseCorner(frame, &panel, monitors, home, kPanelGap);
  if (corner.x_ != frame.x_ || corner.y_ != frame.y_)
    SDL_SetWindowPosition(window_, corner.x_ + extents.left_, corner.y_ + extents.top_);
}

// A tiling Wayland compositor floats a window whose least and greatest
// sizes are the same when it is first shown, and tiles any other; SDL says
// so only when asked, and it must be before the first picture maps the
// window.
void SdlWindow::HoldSize() {
  if (!on_wayland_) return;  // X11 window managers take the size hints
  SDL_SetWindowMinimumSize(window_, Width(), Height());
  // libdecor 0.1.1 crashes at the next configure (a change of focus) once a
  // frame has a greatest size: there the window is resizable, and a new
  // size is undone.
  if (!FramedByLibdecor()) SDL_SetWindowMaximumSize(window_, Width(), Height());
}

// Where SDL frames its Wayland window with libdecor: as SDL decides it.
bool SdlWindow::FramedByLibdecor() const {
  return on_wayland_ && SDL_GetHintBoolean(SDL_HINT_VIDEO_WAYLAND_ALLOW_LIBDECOR, SDL_TRUE) &&
         (SDL_GetHintBoolean(SDL_HINT_VIDEO_WAYLAND_PREFER_LIBDECOR, SDL_FALSE) ||
          !compositor_decorates_);
}

// A click on the panel raises the terminal, which could then cover the
// window and hide the field the panel works on. Where the terminal's window
// is known the field stays above it alone; elsewhere above all windows.
void SdlWindow::KeepInView() {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window_, &info) && info.subsystem == SDL_SYSWM_X11) {
    display_ = info.info.x11.display;
    x_window_ = info.info.x11.window;
    window_manager_ = WindowManagerRuns(display_);
    terminal_ = FindTerminalWindow(display_, info.info.x11.window);
    if (terminal_.top_level_ != 0) {
      KeepAbove(display_, info.info.x11.window, terminal_);
      return;
    }
  }
  SDL_SetWindowAlwaysOnTop(window_, SDL_TRUE);
}

void SdlWindow::SetIcon() {
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

void SdlWindow::Run() {
  for (;;) {
    const bool x_events = Wait();
    if (channel_->stop_.load()) return;
    if (x_events) HandleEvents();
    ServeRedraw();
  }
}

// Returns when there is something to do: a redraw request, the stop, or
// X events, which it reports. Sleeps without a timeout when there is none.
bool SdlWindow::Wait() {
  WindowChannel& ch = *channel_;
  const bool on_x = window_ != nullptr && display_ != nullptr;
  // Events that Xlib read with an earlier reply leave the connection quiet;
  // SDL flushes what it sends, and a redraw ends with a sync.
  if (on_x && XEventsQueued(display_, QueuedAlready) > 0) return true;
  ch.sleeping_.store(true);
  // Elsewhere than X the thread cannot sleep on SDL's events, so it looks
  // at them every 10 ms while the window is open.
  const int timeout = ch.HasWork() ? 0 : (on_x || window_ == nullptr) ? -1 : 10;
  pollfd fds[2] = {{static_cast<int>(ch.wake_), POLLIN, 0}, {on_x ? ConnectionNumber(display_) : -1, POLLIN, 0}};
  const int ready = poll(fds, 2, timeout);
  ch.sleeping_.store(false);
  if (ready > 0 && (fds[0].revents & POLLIN)) ch.TakeWake();
  if (window_ == nullptr) return false;
  return on_x ? ready > 0 && fds[1].revents != 0 : true;
}

void SdlWindow::HandleEvents() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type != SDL_WINDOWEVENT || window_ == nullptr ||
        event.window.windowID != window_id_)
      continue;
    if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
      Close();
    } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
      SDL_UpdateWindowSurface(window_);
    } else if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED &&
               (event.window.data1 != Width() || event.window.data2 != Height())) {
      // A whole number of pixels a cell: a window resized by hand gets its
      // size back.
      SDL_SetWindowSize(window_, Width(), Height());
    }
  }
}

void SdlWindow::ServeRedraw() {
  const std::uint64_t target = channel_->requested_.load();
  if (target <= channel_->shown_.load() || window_ == nullptr) return;
  ShowPicture();
  channel_->Show(target);
}

// Removes the records first, so that no plot or redraw starts on a window
// that is about to go, then destroys it and lets any waiting redraw return.
void SdlWindow::Close() {
  if (view_handle_ != 0) RemoveRecordsOf(view_handle_);
  view_handle_ = 0;
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  window_ = nullptr;
  picture_.reset();
  channel_->Finish();
}

}  // namespace

std::unique_ptr<NativeWindow> OpenNativeWindow(const OpeningBlock& block,
                                               std::shared_ptr<WindowChannel> channel,
                                               std::string& error) {
  auto window = std::make_unique<SdlWindow>(block, std::move(channel));
  if (!window->Open(error)) window->Close();
  return window;
}

void EndWindowSystem() {
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  SDL_Quit();
}

struct SignalsBlocked::Former {
  sigset_t mask_;
};

SignalsBlocked::SignalsBlocked(const std::vector<int>& signals)
    : former_(std::make_unique<Former>()) {
  sigset_t blocked;
  sigemptyset(&blocked);
  for (int s : signals) sigaddset(&blocked, s);
  error_ = pthread_sigmask(SIG_BLOCK, &blocked, &former_->mask_);
}

SignalsBlocked::~SignalsBlocked() {
  if (error_ == 0) pthread_sigmask(SIG_SETMASK, &former_->mask_, nullptr);
}

bool SignalsBlocked::Failed(std::string& error) const {
  if (error_ != 0) error = std::string("cannot block signals for the window thread: ") + strerror(error_);
  return error_ != 0;
}

}  // namespace glimmet
