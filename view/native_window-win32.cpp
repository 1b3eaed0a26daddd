// The GDI window behind a view window on Windows, and the thread that owns
// it. The thread creates the top-level window and its owner-drawn STATIC
// child, then sleeps in MsgWaitForMultipleObjects on its message queue and
// the channel's event together, so that it wakes only for messages and
// redraw requests; right after a redraw it sleeps on the request count
// instead, for the next. A redraw copies the picture into the window's
// bitmap (a DIB section in a memory DC) and BitBlts that bitmap onto the
// child; an exposure repaints from the bitmap as last shown.
// The close box destroys the window: its records go, every later plot and
// redraw does nothing, and the size reads 0 by 0.
// On a scaled display each cell is a square of whole pixels (scale.h): the
// bitmap is the picture scaled up, made anew when the window moves to a
// monitor of another scale; the picture stays one pixel a cell.
#include "view/native_window.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "view/placement.h"
#include "view/scale.h"
#include "view/window_channel.h"

namespace glimmet {

namespace {

constexpr char kWindowKind[] = "Glimmet2View";
// A popup with a thin border, a system menu and a minimise box; a caption
// bar when there is a caption.
constexpr DWORD kDefaultStyle = WS_POPUP | WS_BORDER | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kSurfaceId = 0;
// How long the window thread waits for the next redraw before it goes back
// to its message queue; messages wait at most this long, once per run of
// redraws.
constexpr unsigned kNapMs = 10;
constexpr auto kLookEvery = std::chrono::milliseconds(1);

std::string LastError(const char* what) {
  return std::string(what) + " (Windows error " + std::to_string(GetLastError()) + ")";
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM w, LPARAM l);

// The exe's own icon at the size the system shows for `width` and `height`
// (the taskbar's and Alt+Tab's, or the caption's); the system's program
// icon where the exe carries none (the test programs).
HICON ProgramIcon(int width, int height) {
  constexpr int kProgramIcon = 1;  // the resource script's ICON
  if (HANDLE icon = LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kProgramIcon),
                               IMAGE_ICON, GetSystemMetrics(width), GetSystemMetrics(height),
                               LR_DEFAULTCOLOR))
    return static_cast<HICON>(icon);
  return LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
}

// The dots per inch of the monitor the window is on, where Windows (10 and
// later) tells each window's; else the system's.
int WindowDpi(HWND window) {
  using DpiForWindow = UINT(WINAPI*)(HWND);
  static const auto dpi_for_window = reinterpret_cast<DpiForWindow>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  if (dpi_for_window != nullptr) return static_cast<int>(dpi_for_window(window));
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : kUnscaledDpi;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi;
}

// Registered once for the life of the process.
bool RegisterWindowKind() {
  static const bool registered = [] {
    WNDCLASSEXA kind{};
    kind.cbSize = sizeof kind;
    kind.style = CS_HREDRAW | CS_VREDRAW;
    kind.lpfnWndProc = WindowProcedure;
    kind.hInstance = GetModuleHandleA(nullptr);
    kind.hIcon = ProgramIcon(SM_CXICON, SM_CYICON);
    kind.hIconSm = ProgramIcon(SM_CXSMICON, SM_CYSMICON);
    kind.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    kind.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    kind.lpszClassName = kWindowKind;
    return RegisterClassExA(&kind) != 0;
  }();
  return registered;
}

// The window as its thread sees it.
class GdiWindow final : public NativeWindow {
 public:
  GdiWindow(const OpeningBlock& block, std::shared_ptr<WindowChannel> channel)
      : block_(block), channel_(std::move(channel)) {}
  ~GdiWindow() override { Close(); }
  GdiWindow(const GdiWindow&) = delete;
  GdiWindow& operator=(const GdiWindow&) = delete;

  bool Open(std::string& error);
  void Run() override;
  void Close();
  Handle ViewHandle() const override { return view_handle_; }
  LRESULT Answer(UINT message, WPARAM w, LPARAM l);

 private:
  bool AddRecords(std::string& error);
  bool MakeBitmap(std::string& error);
  void FreeBitmap();
  void TakeScale(int dpi, const RECT* suggested);
  void FitClientArea(int x, int y);
  // The field's size on the screen: the picture's, scaled.
  int Width() const { return block_.width_ * scale_; }
  int Height() const { return block_.height_ * scale_; }
  void Place();
  void DispatchMessages();
  bool NapForWork(std::uint64_t seen);
  std::uint64_t ServeRedraw();
  void Released();

  OpeningBlock block_;
  std::shared_ptr<WindowChannel> channel_;
  HWND window_ = nullptr;
  HWND surface_ = nullptr;
  HDC surface_dc_ = nullptr;
  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ former_bitmap_ = nullptr;
  std::uint32_t* bits_ = nullptr;
  std::shared_ptr<Picture> picture_;
  Handle view_handle_ = 0;
  int scale_ = 1;  // device pixels a cell, across and down
};

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(l);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* native = reinterpret_cast<GdiWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (native == nullptr) return DefWindowProcA(window, message, w, l);
  const LRESULT answer = native->Answer(message, w, l);
  return answer != -1 ? answer : DefWindowProcA(window, message, w, l);
}

// The answer to a message, or -1 for the default handling.
LRESULT GdiWindow::Answer(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_GETMINMAXINFO:
      // A window manager's least width would widen the 100-pixel field.
      reinterpret_cast<MINMAXINFO*>(l)->ptMinTrackSize = {1, 1};
      return 0;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(l);
      if (w != kSurfaceId || item->hwndItem != surface_ || memory_ == nullptr ||
          !(item->itemAction & ODA_DRAWENTIRE))
        return FALSE;
      BitBlt(item->hDC, 0, 0, Width(), Height(), memory_, 0, 0, SRCCOPY);
      return TRUE;
    }
    case WM_DPICHANGED:
      TakeScale(HIWORD(w), reinterpret_cast<const RECT*>(l));
      return 0;
    case WM_NCDESTROY:
      Released();
      return -1;
    default:
      return -1;
  }
}

bool GdiWindow::Open(std::string& error) {
  if (channel_->wake_ < 0) {
    error = LastError("cannot make the window thread's wake-up");
    return false;
  }
  if (!RegisterWindowKind()) {
    error = LastError("cannot register the window's kind");
    return false;
  }
  DWORD style = block_.style_;
  if (style == 0) style = kDefaultStyle | (block_.caption_.empty() ? 0 : WS_CAPTION);
  window_ = CreateWindowExA(0, kWindowKind, block_.caption_.c_str(), style, block_.x_, block_.y_,
                            block_.width_, block_.height_, nullptr, nullptr,
                            GetModuleHandleA(nullptr), this);
  if (window_ == nullptr) {
    error = LastError("cannot create the window");
    return false;
  }
  scale_ = WholeScale(WindowDpi(window_));
  FitClientArea(block_.x_, block_.y_);
  surface_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 0, 0,
                             Width(), Height(), window_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSurfaceId)),
                             GetModuleHandleA(nullptr), nullptr);
  if (surface_ == nullptr) {
    error = LastError("cannot create the window's drawing surface");
    return false;
  }
  if (!AddRecords(error) || !MakeBitmap(error)) return false;
  // Before the program has the window, so nobody plots meanwhile.
  picture_->CopyToXrgb(bits_, Width(), scale_);
  Place();
  ShowWindow(window_, SW_SHOWNORMAL);
  return true;
}

// The outer size, its corner at (x, y), that gives a client area of
// exactly the field's size.
void GdiWindow::FitClientArea(int x, int y) {
  RECT outer{}, client{};
  if (!GetWindowRect(window_, &outer) || !GetClientRect(window_, &client)) return;
  const int frame_width = (outer.right - outer.left) - (client.right - client.left);
  const int frame_height = (outer.bottom - outer.top) - (client.bottom - client.top);
  SetWindowPos(window_, nullptr, x, y, Width() + frame_width, Height() + frame_height,
               SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOCOPYBITS | SWP_NOZORDER);
}

// On a monitor of another scale the field takes that scale, its corner
// where Windows suggests; the bitmap is remade from the last picture shown,
// which the old bitmap holds, so the program's pixels are not read here.
void GdiWindow::TakeScale(int dpi, const RECT* suggested) {
  const int scale = WholeScale(dpi);
  if (scale == scale_ || bits_ == nullptr) return;
  const int w = block_.width_, h = block_.height_;
  std::vector<std::uint32_t> shown(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) shown[y * w + x] = bits_[(y * Width() + x) * scale_];
  FreeBitmap();
  scale_ = scale;
  std::string error;
  if (!MakeBitmap(error)) return;  // the window stays blank until its end
  for (int y = 0; y < h; ++y) {
    std::uint32_t* row = bits_ + static_cast<std::ptrdiff_t>(y) * scale_ * Width();
    std::copy_n(shown.data() + y * w, w, row);
    ScaleRowUp(row, Width(), w, scale_);
  }
  SetWindowPos(surface_, nullptr, 0, 0, Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  FitClientArea(suggested->left, suggested->top);
  InvalidateRect(surface_, nullptr, FALSE);
  UpdateWindow(surface_);  // at the new size at once, not at the next paint
}

// How long the field waits for the console to take the panel's size. The
// console applies a new window size after the call that asked for it
// returns (Wine posts it; Microsoft's host is documented to defer it too),
// so right after start-up the console may still show its former size.
constexpr auto kConsoleSettles = std::chrono::milliseconds(500);
constexpr DWORD kConsoleLookMs = 10;

// Where the console's text lies on the screen, when the console is a
// window of its own that shows (conhost). Windows Terminal's console window
// is a hidden stand-in: there the panel's place is unknown. The text's
// origin is the client area's; its size is the panel's cells in the
// console's font, never the client area's live size, which may not have
// caught up with the resize yet. Waits, a bounded time, for the console to
// reach that size, so that its origin is read where it comes to rest.
bool ConsoleOnScreen(const TerminalGrid& grid, TerminalOnScreen& console) {
  HWND window = GetConsoleWindow();
  if (window == nullptr || !IsWindowVisible(window) || IsIconic(window)) return false;
  const bool told = grid.pixel_width_ > 0 && grid.pixel_height_ > 0 && grid.columns_ > 0 &&
                    grid.rows_ > 0;
  const int width = told ? grid.panel_columns_ * (grid.pixel_width_ / grid.columns_) : 0;
  const int height = told ? grid.panel_rows_ * (grid.pixel_height_ / grid.rows_) : 0;
  RECT client{};
  const auto deadline = std::chrono::steady_clock::now() + kConsoleSettles;
  while (told && GetClientRect(window, &client) &&
         (client.right != width || client.bottom != height) &&
         std::chrono::steady_clock::now() < deadline)
    Sleep(kConsoleLookMs);
  POINT origin{0, 0};
  if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0 ||
      !ClientToScreen(window, &origin))
    return false;
  console.window_ = {origin.x, origin.y, told ? width : int(client.right),
                     told ? height : int(client.bottom)};
  return true;
}

// Moves the window, not yet shown, off the panel when its usual corner
// would cover it: a maximized Windows Terminal has the panel under
// (300, 300), as may a console window the user has moved there.
void GdiWindow::Place() {
  const TerminalGrid& grid = block_.options_.terminal_;
  RECT outer{};
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  HMONITOR where = MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST);
  if (grid.panel_columns_ <= 0 || grid.panel_rows_ <= 0 || !GetWindowRect(window_, &outer) ||
      where == nullptr || !GetMonitorInfoA(where, &monitor))
    return;
  const ScreenRect frame{outer.left, outer.top, outer.right - outer.left,
                         outer.bottom - outer.top};
  const RECT& b = monitor.rcMonitor;
  const RECT& w = monitor.rcWork;
  const Monitor screen{{b.left, b.top, b.right - b.left, b.bottom - b.top},
                       {w.left, w.top, w.right - w.left, w.bottom - w.top}};
  TerminalOnScreen console;
  ScreenRect panel;
  const bool known = ConsoleOnScreen(grid, console);
  if (known) panel = PanelOnScreen(console, grid);
  const ScreenPoint corner =
      ChooseCorner(frame, known ? &panel : nullptr, {&screen, 1}, 0, kPanelGap);
  if (corner.x_ != frame.x_ || corner.y_ != frame.y_)
    SetWindowPos(window_, nullptr, corner.x_, corner.y_, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The window's record and its surface's, with the picture the program
// thread plots into, one pixel a cell.
bool GdiWindow::AddRecords(std::string& error) {
  picture_.reset(Picture::Create(block_.width_, block_.height_, kButtonFace));
  if (!picture_) {
    error = "no memory for the picture";
    return false;
  }
  view_handle_ =
      AddWindowRecords(block_.style_, block_.width_, block_.height_, picture_, channel_, error);
  return view_handle_ != 0;
}

// The window's side of the picture, scaled: a 32-bit top-down DIB section,
// which takes the picture's colours as they are, so every colour is its
// nearest. Its pixels are the caller's to fill.
bool GdiWindow::MakeBitmap(std::string& error) {
  HDC screen = GetDC(surface_);
  if (screen == nullptr) {
    error = LastError("the drawing surface has no display context");
    return false;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = Width();
  info.bmiHeader.biHeight = -Height();
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  memory_ = CreateCompatibleDC(screen);
  bitmap_ = memory_ ? CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  surface_dc_ = screen;  // kept for the redraws, released with the window
  if (bitmap_ == nullptr) {
    error = LastError("cannot make the window's bitmap");
    return false;
  }
  former_bitmap_ = SelectObject(memory_, bitmap_);
  bits_ = static_cast<std::uint32_t*>(bits);
  return true;
}

void GdiWindow::FreeBitmap() {
  if (memory_ != nullptr) {
    if (former_bitmap_ != nullptr) SelectObject(memory_, former_bitmap_);
    DeleteDC(memory_);
  }
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
  if (surface_dc_ != nullptr) ReleaseDC(surface_, surface_dc_);
  surface_dc_ = nullptr;
  memory_ = nullptr;
  bitmap_ = nullptr;
  former_bitmap_ = nullptr;
  bits_ = nullptr;
}

void GdiWindow::Run() {
  const HANDLE wake = reinterpret_cast<HANDLE>(channel_->wake_);
  auto next_look = std::chrono::steady_clock::now();
  bool look_now = true;
  for (;;) {
    // A look at the queue is a trip through the window system; while
    // redraws come back to back, one look a millisecond is plenty.
    const auto now = std::chrono::steady_clock::now();
    if (look_now || now >= next_look) {
      DispatchMessages();
      next_look = now + kLookEvery;
    }
    if (channel_->stop_.load()) return;
    const std::uint64_t served = ServeRedraw();
    // Right after a redraw the next is likely near: wait for it on the
    // request count, cheaply, leaving messages for a few milliseconds.
    look_now = served == 0 || !NapForWork(served);
    if (!look_now) continue;
    channel_->sleeping_.store(true);
    if (!channel_->HasWork())
      MsgWaitForMultipleObjectsEx(1, &wake, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    channel_->sleeping_.store(false);
  }
}

// Sleeps until a request beyond `seen` or a stop comes, or kNapMs pass;
// says whether one came. The requester's Wake() ends the nap.
bool GdiWindow::NapForWork(std::uint64_t seen) {
  if (!channel_->HasWork())
    WaitOnAddress(&channel_->requested_, &seen, sizeof seen, kNapMs);
  return channel_->HasWork();
}

void GdiWindow::DispatchMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// Returns the request served, or 0 when there was none.
std::uint64_t GdiWindow::ServeRedraw() {
  const std::uint64_t target = channel_->requested_.load();
  if (target <= channel_->shown_.load() || window_ == nullptr) return 0;
  if (bits_ != nullptr) {
    picture_->CopyToXrgb(bits_, Width(), scale_);
    // Straight onto the surface: a paint request would take the window
    // system several trips more for the same copy.
    BitBlt(surface_dc_, 0, 0, Width(), Height(), memory_, 0, 0, SRCCOPY);
    GdiFlush();
  }
  channel_->Show(target);
  return target;
}

// The window's last message: its records first, so that no plot or redraw
// starts on a window that is going, then its bitmap; any waiting redraw
// returns.
void GdiWindow::Released() {
  if (view_handle_ != 0) RemoveRecordsOf(view_handle_);
  view_handle_ = 0;
  FreeBitmap();
  window_ = surface_ = nullptr;
  picture_.reset();
  channel_->Finish();
}

void GdiWindow::Close() {
  if (window_ != nullptr) DestroyWindow(window_);
  Released();
}

}  // namespace

std::unique_ptr<NativeWindow> OpenNativeWindow(const OpeningBlock& block,
                                               std::shared_ptr<WindowChannel> channel,
                                               std::string& error) {
  auto window = std::make_unique<GdiWindow>(block, std::move(channel));
  if (!window->Open(error)) window->Close();
  return window;
}

void EndWindowSystem() {}

// Windows has no signal masks: nothing is held.
struct SignalsBlocked::Former {};

SignalsBlocked::SignalsBlocked(const std::vector<int>&) {}
SignalsBlocked::~SignalsBlocked() = default;
bool SignalsBlocked::Failed(std::string&) const { return false; }

}  // namespace glimmet
