// The console: the program's text screen and its key-and-mouse reader on the
// user's terminal. One Console lives in main and is passed to everything that
// draws or reads. Screen operations change the console's model of the screen
// buffer; FlushConsole shows the changes with one write, and the program's
// pass shows them through PresentConsole once a display frame has passed
// since the last write, so the terminal gets at most one write a frame.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "console/input.h"
#include "console/screen.h"
#include "console/terminal.h"

namespace glimmet {

// Pending error codes of the console services.
constexpr int kErrorScreenSize = 5;
constexpr int kErrorShortWrite = 61;

// No eye follows a counter that changes more often than a display shows
// frames, and the terminal pays for every write: the reader writes at most
// once in this many ms.
constexpr std::int64_t kFrameMs = 12;

std::int64_t SteadyMs();

// What a platform keeps of the console it has opened (a terminal's
// descriptors, a page's terminal); defined in that platform's console file,
// null until the console is open.
struct ConsoleLink;

struct Console {
  std::shared_ptr<ConsoleLink> link_;
  bool gone_ = false;  // the terminal went away
  ScreenModel screen_;
  TerminalView view_;
  int foreground_ = 7;
  int background_ = 0;
  std::string out_;  // sequences waiting for the next flush
  int pending_error_ = 0;
  InputState input_;
  bool mouse_reporting_ = false;
  std::uint64_t writes_ = 0;  // flushes that wrote, for keeping count of them
  std::int64_t (*clock_)() = SteadyMs;  // the time in ms; tests set their own
  std::int64_t last_write_ms_ = INT64_MIN / 2;
};

// The attribute of the current colours.
Attribute CurrentAttribute(const Console& console);

// Takes over the controlling terminal (raw mode, alternate screen), and
// gives it back before the signals take effect as their uses say; false,
// with the reason, when there is no terminal to work on.
bool OpenConsole(Console& console, std::span<const SignalUse> signals, std::string& error);

// The same on the given descriptors, which must be a terminal.
bool OpenConsoleOn(Console& console, int input_fd, int output_fd,
                   std::span<const SignalUse> signals, std::string& error);

// Shows what is pending and gives the terminal back as it was.
void CloseConsole(Console& console);

// Writes what the model and the pending sequences have that the terminal
// does not show yet; first repaints everything when the terminal changed
// size or the process was continued. `resized` forces the size to be read.
void FlushConsole(Console& console, bool resized = false);

// Makes the screen buffer columns by rows, blank in the current colours,
// the cursor at row 1, column 1, shown in the top-left corner of the
// terminal as it is. A terminal smaller than that records kErrorScreenSize
// and shows a line asking for more room until it grows.
void SetScreenSize(Console& console, int columns, int rows);

constexpr int kCursorHidden = 0;
constexpr int kCursorShown = -1;

// kCursorHidden hides the cursor, a negative value shows it, a positive one
// sets its size (10 to 99) and shows it.
void SetCursor(Console& console, int n);

// Colours outside 0 to 15 keep the current ones; a count above 0 recolours
// that many cells from the cursor on, leaving their characters and the
// cursor where they are.
void SetColours(Console& console, int foreground, int background, int count);

// A row or column outside the screen buffer keeps the current one.
void MoveCursor(Console& console, int row, int column);

void PrintText(Console& console, std::string_view text);
void PrintNewline(Console& console);

// Shows what is pending on the screen if a display frame has passed since
// the last write, or at once when `all` (the program is about to sleep, or
// needs the screen to stand as drawn): the one place the program's screen
// is written.
void PresentConsole(Console& console, bool all = false);

// The reader; it never waits. See NextInput for the results.
std::string ReadInput(Console& console);

// Sleeps until there is input to read, the terminal was resized or the
// process continued; it writes nothing, so show the screen first. Returns
// at once when input is queued already or there is no terminal.
void WaitForInput(Console& console);
void EnableMouse(Console& console, bool on);
// Which mouse events the reader reports: `events` of kMoveEvent,
// kDoubleClickEvent, kPressEvent and kReleaseEvent, for the buttons in
// `buttons` (kLeftButton and the others, 16 bits).
void SelectMouseEvents(Console& console, std::uint32_t events, std::uint32_t buttons);
// The terminal's text area as it is now, in cells and, where the terminal
// tells, in pixels (else 0 by 0).
void TextArea(Console& console, int& columns, int& rows, int& pixel_width, int& pixel_height);

int MouseRow(const Console& console);
int MouseColumn(const Console& console);

}  // namespace glimmet
