// The console layer's model of the screen buffer and the rendering of that
// model onto a terminal.
//
// The terminal cannot be asked cheaply what it shows or where its cursor is,
// so the console keeps both itself: ScreenModel is the buffer as the program
// wrote it (characters, attributes, cursor), with the wrap and scroll rules
// of a console, and TerminalView is what the terminal was last made to show.
// Render() writes the escape sequences that bring the terminal from its view
// to the model, touching only cells that differ.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace glimmet {

// A text attribute: foreground + 16 * background, each 0 to 15 with bit 0
// blue, bit 1 green, bit 2 red and bit 3 intensity.
using Attribute = std::uint8_t;

constexpr Attribute MakeAttribute(int foreground, int background) {
  return static_cast<Attribute>(foreground + 16 * background);
}

struct Cell {
  std::uint8_t ch_ = ' ';
  Attribute attr_ = MakeAttribute(7, 0);
  bool operator==(const Cell&) const = default;
};

class ScreenModel {
 public:
  // Every cell blank in `attr`, the cursor at row 1, column 1.
  void Resize(int columns, int rows, Attribute attr);

  int Columns() const { return columns_; }
  int Rows() const { return rows_; }
  int Row() const { return row_; }
  int Column() const { return column_; }
  const Cell& At(int row, int column) const {
    return cells_[(row - 1) * columns_ + (column - 1)];
  }

  // Moves the cursor; a row or column outside the buffer keeps the current one.
  void MoveCursor(int row, int column);

  // Writes one byte at the cursor as a console with processed output does:
  // CR, LF (which also returns the carriage), backspace, tab and bell act;
  // other bytes are stored and advance the cursor, wrapping after the last
  // column and scrolling the buffer up from the last row.
  void Write(std::uint8_t byte, Attribute attr);
  void Newline(Attribute attr);

  // Gives `count` cells from the cursor on, along the row and into the
  // following ones, the attribute, keeping their characters.
  void Recolour(int count, Attribute attr);

  bool cursor_visible_ = true;
  int cursor_size_ = 25;

 private:
  void Advance(Attribute attr);
  void LineFeed(Attribute attr);

  int columns_ = 0;
  int rows_ = 0;
  int row_ = 1;
  int column_ = 1;
  std::vector<Cell> cells_;
};

// What the terminal is known to show. Unknown parts are redrawn.
struct TerminalView {
  int columns_ = 0;  // the terminal's size
  int rows_ = 0;
  std::vector<Cell> shown_;  // model-sized; empty when nothing is known
  int row_ = 0;              // the terminal's cursor, 0 when unknown
  int column_ = 0;
  int sgr_ = -1;             // attribute in force, -1 when unknown
  int cursor_visible_ = -1;  // -1 unknown
  bool message_shown_ = false;

  // Forgets everything, so that the next Render repaints the whole screen.
  void Invalidate() {
    TerminalView fresh;
    fresh.columns_ = columns_;
    fresh.rows_ = rows_;
    *this = fresh;
  }
  bool TooSmallFor(const ScreenModel& model) const {
    return columns_ < model.Columns() || rows_ < model.Rows();
  }
};

// Appends to `out` what brings the terminal from `view` to `model`, and
// updates `view`. A terminal smaller than the model gets one centred line
// saying how large it must be instead.
void Render(const ScreenModel& model, TerminalView& view, std::string& out);

// The SGR sequence that selects the attribute's colours.
std::string AttributeSequence(Attribute attr);

// The line shown on a terminal too small for the panel, cut to `columns`.
std::string SizeMessage(int needed_columns, int needed_rows, int columns);

}  // namespace glimmet
