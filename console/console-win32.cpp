// The console on Windows. The panel is drawn in a screen buffer of the
// program's own, made active while it runs, as a terminal's alternate
// screen is: the user's buffer keeps its size, contents, cursor and
// attribute, and is made active again on every way out (QUIT, the window
// closed, Ctrl+Break), with the input mode it had. The model is written
// into that buffer whole, in one call, at most once a display frame, as the
// terminal gets one write a frame on Linux. The reader takes the console's
// input records without ever waiting for one.
#include "console/console-win32.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "console/console.h"

namespace glimmet {

namespace {

// Mouse records only. ENABLE_EXTENDED_FLAGS without ENABLE_QUICK_EDIT_MODE
// also turns QuickEdit off, which Windows 10 and later have on: it would
// take every click for the start of a selection.
constexpr DWORD kInputQuiet = ENABLE_EXTENDED_FLAGS;
constexpr DWORD kInputMouse = ENABLE_MOUSE_INPUT | ENABLE_EXTENDED_FLAGS;
// Control characters acted on, wrap at the end of a line.
constexpr DWORD kOutputMode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;
constexpr DWORD kRecordsAtOnce = 64;

// The console as the program found it and the buffer it draws in; process
// wide, so that the control handler can give the console back.
struct Taken {
  HANDLE input_ = INVALID_HANDLE_VALUE;   // CONIN$
  HANDLE former_ = INVALID_HANDLE_VALUE;  // the user's active buffer
  HANDLE own_ = INVALID_HANDLE_VALUE;     // the panel's
  DWORD input_mode_ = 0;
  SMALL_RECT former_window_{};
  CONSOLE_CURSOR_INFO former_cursor_{};
  bool former_cursor_read_ = false;
  std::atomic<bool> held_{false};  // own_ is active and the modes are ours
};
Taken taken;

bool Open() { return taken.own_ != INVALID_HANDLE_VALUE; }

// Ctrl+Break, or Ctrl+C sent by another program (typed, it is a key): the
// console back first, then the system's handling, which ends the process.
// The console's window closing: nothing to give back, the end at once.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) RestoreTerminal();
  return FALSE;
}

HANDLE OpenDevice(const char* name) {
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

void CloseDevice(HANDLE& handle) {
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  handle = INVALID_HANDLE_VALUE;
}

void ReadSize(Console& console) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!Open() || !GetConsoleScreenBufferInfo(taken.own_, &info)) return;
  console.view_.columns_ = info.srWindow.Right - info.srWindow.Left + 1;
  console.view_.rows_ = info.srWindow.Bottom - info.srWindow.Top + 1;
}

// The model's cells into the buffer, in one call, when any differ from
// what was written last.
void WriteCells(Console& console) {
  const ScreenModel& model = console.screen_;
  TerminalView& view = console.view_;
  const int columns = model.Columns(), rows = model.Rows();
  std::vector<Cell> cells;
  cells.reserve(static_cast<std::size_t>(columns) * rows);
  for (int r = 1; r <= rows; ++r)
    for (int c = 1; c <= columns; ++c) cells.push_back(model.At(r, c));
  if (cells == view.shown_) return;
  std::vector<CHAR_INFO> text(cells.size());
  for (std::size_t i = 0; i < cells.size(); ++i) {
    text[i].Char.AsciiChar = static_cast<CHAR>(cells[i].ch_);
    text[i].Attributes = cells[i].attr_;
  }
  SMALL_RECT area{0, 0, static_cast<SHORT>(columns - 1), static_cast<SHORT>(rows - 1)};
  ++console.writes_;
  console.last_write_ms_ = console.clock_();
  if (!WriteConsoleOutputA(taken.own_, text.data(),
                           {static_cast<SHORT>(columns), static_cast<SHORT>(rows)}, {0, 0},
                           &area)) {
    console.pending_error_ = kErrorShortWrite;
    return;
  }
  view.shown_ = std::move(cells);
}

void PlaceCursor(Console& console) {
  const ScreenModel& model = console.screen_;
  TerminalView& view = console.view_;
  if (view.row_ != model.Row() || view.column_ != model.Column()) {
    SetConsoleCursorPosition(taken.own_, {static_cast<SHORT>(model.Column() - 1),
                                          static_cast<SHORT>(model.Row() - 1)});
    view.row_ = model.Row();
    view.column_ = model.Column();
  }
  const int shown = model.cursor_visible_ ? model.cursor_size_ : 0;
  if (view.cursor_visible_ != shown) {
    CONSOLE_CURSOR_INFO cursor{static_cast<DWORD>(model.cursor_size_),
                               model.cursor_visible_ ? TRUE : FALSE};
    SetConsoleCursorInfo(taken.own_, &cursor);
    view.cursor_visible_ = shown;
  }
}

}  // namespace

void QueueConsoleRecords(InputState& input, const INPUT_RECORD* records, std::size_t count) {
  for (std::size_t i = 0; i < count && input.queue_.size() < kQueueLimit; ++i) {
    const INPUT_RECORD& from = records[i];
    InputRecord r;
    if (from.EventType == KEY_EVENT) {
      const KEY_EVENT_RECORD& key = from.Event.KeyEvent;
      r.kind_ = InputRecord::Kind::kKey;
      r.key_down_ = key.bKeyDown != FALSE;
      r.ch_ = static_cast<std::uint8_t>(key.uChar.AsciiChar);
      r.scan_ = static_cast<std::uint8_t>(key.wVirtualScanCode & 0xFF);
      r.control_ = key.dwControlKeyState;
    } else if (from.EventType == MOUSE_EVENT) {
      const MOUSE_EVENT_RECORD& mouse = from.Event.MouseEvent;
      r.kind_ = InputRecord::Kind::kMouse;
      r.buttons_ = mouse.dwButtonState;
      r.flags_ = mouse.dwEventFlags;
      r.row_ = mouse.dwMousePosition.Y + 1;
      r.column_ = mouse.dwMousePosition.X + 1;
    } else {
      r.kind_ = InputRecord::Kind::kFocus;  // focus, menu, buffer size: no result
    }
    input.queue_.push_back(r);
  }
}

void RestoreTerminal() {
  if (!taken.held_.exchange(false)) return;
  SetConsoleMode(taken.input_, taken.input_mode_);
  if (taken.former_cursor_read_) SetConsoleCursorInfo(taken.former_, &taken.former_cursor_);
  SetConsoleActiveScreenBuffer(taken.former_);
  SetConsoleWindowInfo(taken.former_, TRUE, &taken.former_window_);
}

bool OpenConsole(Console& console, std::span<const SignalUse>, std::string& error) {
  constexpr char kNoConsole[] =
      "no console to work on; start glimmet2 in a console window (cmd, PowerShell, "
      "Windows Terminal; under Wine, wineconsole)";
  taken.input_ = OpenDevice("CONIN$");
  taken.former_ = OpenDevice("CONOUT$");
  CONSOLE_SCREEN_BUFFER_INFO former;
  if (taken.input_ == INVALID_HANDLE_VALUE || taken.former_ == INVALID_HANDLE_VALUE ||
      !GetConsoleMode(taken.input_, &taken.input_mode_) ||
      !GetConsoleScreenBufferInfo(taken.former_, &former)) {
    CloseDevice(taken.input_);
    CloseDevice(taken.former_);
    error = kNoConsole;
    return false;
  }
  taken.former_window_ = former.srWindow;
  taken.own_ = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         CONSOLE_TEXTMODE_BUFFER, nullptr);
  if (taken.own_ == INVALID_HANDLE_VALUE) {
    CloseDevice(taken.input_);
    CloseDevice(taken.former_);
    error = "cannot make a screen buffer in the console (Windows error " +
            std::to_string(GetLastError()) + ")";
    return false;
  }
  SetConsoleMode(taken.own_, kOutputMode);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  taken.held_.store(true);
  SetConsoleMode(taken.input_, kInputQuiet);
  // Wine's console goes on drawing the user's buffer's caret for a moment
  // after the switch, and leaves it standing in the panel: that caret is
  // hidden until the buffer is given back.
  taken.former_cursor_read_ = GetConsoleCursorInfo(taken.former_, &taken.former_cursor_) != 0;
  if (taken.former_cursor_read_) {
    CONSOLE_CURSOR_INFO hidden = taken.former_cursor_;
    hidden.bVisible = FALSE;
    SetConsoleCursorInfo(taken.former_, &hidden);
  }
  SetConsoleActiveScreenBuffer(taken.own_);
  console.view_ = TerminalView{};
  ReadSize(console);
  return true;
}

void CloseConsole(Console& console) {
  FlushConsole(console);
  RestoreTerminal();
  SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  CloseDevice(taken.own_);
  CloseDevice(taken.former_);
  CloseDevice(taken.input_);
}

void FlushConsole(Console& console, bool) {
  console.out_.clear();
  if (!Open() || console.gone_ || console.screen_.Columns() == 0) return;
  WriteCells(console);
  PlaceCursor(console);
}

// The buffer and its window made columns by rows; the console's window
// keeps its place on the desktop. Windows Terminal cannot be resized this
// way: there the panel is drawn in the top-left corner, as on Linux.
void SetScreenSize(Console& console, int columns, int rows) {
  console.screen_.Resize(columns, rows, CurrentAttribute(console));
  console.view_.Invalidate();
  if (!Open()) return;
  CONSOLE_SCREEN_BUFFER_INFO info;
  HWND window = GetConsoleWindow();
  RECT place{};
  const bool placed = window != nullptr && GetWindowRect(window, &place);
  const COORD size{static_cast<SHORT>(columns), static_cast<SHORT>(rows)};
  if (!GetConsoleScreenBufferInfo(taken.own_, &info) ||
      !SetConsoleScreenBufferSize(taken.own_, {std::max(size.X, info.dwSize.X),
                                               std::max(size.Y, info.dwSize.Y)})) {
    console.pending_error_ = kErrorScreenSize;
  } else {
    const SMALL_RECT shown{0, 0, static_cast<SHORT>(columns - 1), static_cast<SHORT>(rows - 1)};
    SetConsoleWindowInfo(taken.own_, TRUE, &shown);
    SetConsoleScreenBufferSize(taken.own_, size);
  }
  if (placed)
    SetWindowPos(window, nullptr, place.left, place.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ReadSize(console);
}

std::string ReadInput(Console& console) {
  DWORD waiting = 0;
  while (Open() && !console.gone_ && console.input_.queue_.size() < kQueueLimit &&
         GetNumberOfConsoleInputEvents(taken.input_, &waiting) && waiting > 0) {
    INPUT_RECORD records[kRecordsAtOnce];
    DWORD got = 0;
    if (!ReadConsoleInputA(taken.input_, records, std::min(waiting, kRecordsAtOnce), &got)) {
      console.gone_ = true;
      break;
    }
    QueueConsoleRecords(console.input_, records, got);
  }
  return NextInput(console.input_);
}

void WaitForInput(Console& console) {
  if (!Open() || console.gone_ || !console.input_.queue_.empty()) return;
  if (WaitForSingleObject(taken.input_, INFINITE) == WAIT_FAILED) console.gone_ = true;
}

void EnableMouse(Console& console, bool on) {
  console.input_.enabled_ = on;
  if (!on) console.input_.mouse_row_ = console.input_.mouse_column_ = 0;
  if (Open()) SetConsoleMode(taken.input_, on ? kInputMouse : kInputQuiet);
  console.mouse_reporting_ = on;
}

void TextArea(Console& console, int& columns, int& rows, int& pixel_width, int& pixel_height) {
  ReadSize(console);
  columns = console.view_.columns_;
  rows = console.view_.rows_;
  CONSOLE_FONT_INFO font{};
  const bool told = Open() && GetCurrentConsoleFont(taken.own_, FALSE, &font);
  pixel_width = told ? columns * font.dwFontSize.X : 0;
  pixel_height = told ? rows * font.dwFontSize.Y : 0;
}

}  // namespace glimmet
