// The console in a web page: the terminal is the page's (xterm.js, 44 by
// 14 cells). Bytes go to it through the page's `write`; what the user does
// there comes back as bytes the page keeps until the reader takes them.
// There is no raw mode to enter: the alternate screen is taken on opening
// and left on closing, as on a real terminal.
#include <emscripten.h>

#include <cstring>

#include "console/console-web.h"
#include "console/vt_transport.h"

namespace glimmet {

namespace {

constexpr int kPageColumns = 44;
constexpr int kPageRows = 14;

constexpr char kEnter[] = "\x1b[?1049h";
// Mouse reporting off, colours reset, the screen erased, the cursor shown,
// the main screen back: the terminal as the page made it.
constexpr char kLeave[] = "\x1b[?1006l\x1b[?1000l\x1b[0m\x1b[2J\x1b[?25h\x1b[?1049l";

}  // namespace

// The page's one terminal holds all there is; the link only says the
// console is open.
struct ConsoleLink {};

EM_JS(void, PageWrite, (const char* bytes, int size), {
  Module.page.write(HEAPU8.slice(bytes, bytes + size));
});

EM_JS(int, PageRead, (char* buffer, int size), {
  return Module.page.read(HEAPU8.subarray(buffer, buffer + size));
});

EM_JS(int, PageHasInput, (), { return Module.page.hasInput() ? 1 : 0; });

void ReadTerminalSize(Console& console) {
  console.view_.columns_ = kPageColumns;
  console.view_.rows_ = kPageRows;
}

Repaint TakeRepaint(Console&) { return Repaint::kNone; }

bool WriteBytes(Console&, std::string_view bytes, bool& short_write) {
  short_write = false;
  PageWrite(bytes.data(), static_cast<int>(bytes.size()));
  return true;
}

long ReadBytes(Console&, char* buffer, std::size_t size) {
  return PageRead(buffer, static_cast<int>(size));
}

bool AwaitBytes(Console&, int) { return true; }

bool TerminalPixels(Console&, int&, int&) { return false; }

bool CanWrite(const Console& console) { return console.link_ != nullptr; }

bool InputQueued(const Console& console) {
  return !console.input_.queue_.empty() || !console.input_.pending_.empty() || PageHasInput();
}

bool OpenConsole(Console& console, std::span<const SignalUse>, std::string&) {
  console.link_ = std::make_shared<ConsoleLink>();
  ReadTerminalSize(console);
  PageWrite(kEnter, sizeof kEnter - 1);
  return true;
}

void CloseConsole(Console& console) {
  if (!CanWrite(console)) return;
  FlushConsole(console);
  PageWrite(kLeave, sizeof kLeave - 1);
  console.link_.reset();
}

}  // namespace glimmet
