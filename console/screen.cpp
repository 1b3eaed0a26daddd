// The screen model's console rules and the diff renderer.
#include "console/screen.h"

#include <algorithm>

namespace glimmet {

void ScreenModel::Resize(int columns, int rows, Attribute attr) {
  columns_ = std::max(columns, 1);
  rows_ = std::max(rows, 1);
  cells_.assign(static_cast<std::size_t>(columns_) * rows_, Cell{' ', attr});
  row_ = 1;
  column_ = 1;
}

void ScreenModel::MoveCursor(int row, int column) {
  if (column >= 1 && column <= columns_) column_ = column;
  if (row >= 1 && row <= rows_) row_ = row;
}

void ScreenModel::LineFeed(Attribute attr) {
  if (row_ < rows_) {
    ++row_;
    return;
  }
  std::move(cells_.begin() + columns_, cells_.end(), cells_.begin());
  std::fill(cells_.end() - columns_, cells_.end(), Cell{' ', attr});
}

void ScreenModel::Advance(Attribute attr) {
  if (++column_ <= columns_) return;
  column_ = 1;
  LineFeed(attr);
}

void ScreenModel::Newline(Attribute attr) {
  column_ = 1;
  LineFeed(attr);
}

void ScreenModel::Write(std::uint8_t byte, Attribute attr) {
  if (cells_.empty()) return;
  switch (byte) {
    case '\r': column_ = 1; return;
    case '\n': Newline(attr); return;
    case '\b': column_ = std::max(column_ - 1, 1); return;
    case '\a': return;
    case '\t':  // to the next tab stop, every eight columns, no wrap
      column_ = std::min(((column_ - 1) / 8 + 1) * 8 + 1, columns_);
      return;
    default: break;
  }
  // Other control bytes are kept as a visible stand-in, never passed on.
  const bool control = byte < 32 || byte == 127 || (byte >= 0x80 && byte < 0xA0);
  cells_[(row_ - 1) * columns_ + (column_ - 1)] = Cell{control ? std::uint8_t('?') : byte, attr};
  Advance(attr);
}

void ScreenModel::Recolour(int count, Attribute attr) {
  const std::size_t from = static_cast<std::size_t>(row_ - 1) * columns_ + (column_ - 1);
  const std::size_t to = std::min(cells_.size(), from + static_cast<std::size_t>(std::max(count, 0)));
  for (std::size_t i = from; i < to; ++i) cells_[i].attr_ = attr;
}

namespace {

int AnsiIndex(int console_colour) {
  return ((console_colour & 1) << 2) | (console_colour & 2) | ((console_colour & 4) >> 2);
}

void AppendNumber(std::string& out, int n) { out += std::to_string(n); }

void MoveTo(std::string& out, int row, int column) {
  out += "\x1b[";
  AppendNumber(out, row);
  out += ';';
  AppendNumber(out, column);
  out += 'H';
}

// Bytes 160 to 255 are shown as the Latin-1 characters they stand for.
void AppendGlyph(std::string& out, std::uint8_t ch) {
  if (ch < 0x80) {
    out += static_cast<char>(ch);
  } else {
    out += static_cast<char>(0xC0 | (ch >> 6));
    out += static_cast<char>(0x80 | (ch & 0x3F));
  }
}

void ShowMessage(const ScreenModel& model, TerminalView& view, std::string& out) {
  const std::string text = SizeMessage(model.Columns(), model.Rows(), view.columns_);
  out += "\x1b[0m\x1b[2J";
  MoveTo(out, std::max(1, (view.rows_ + 1) / 2),
         std::max(1, (view.columns_ - static_cast<int>(text.size())) / 2 + 1));
  out += text;
  view.shown_.clear();
  view.sgr_ = -1;
  view.row_ = view.column_ = 0;
  view.message_shown_ = true;
}

}  // namespace

std::string AttributeSequence(Attribute attr) {
  const int fg = attr & 15, bg = attr >> 4;
  std::string out = "\x1b[";
  AppendNumber(out, (fg & 8 ? 90 : 30) + AnsiIndex(fg));
  out += ';';
  AppendNumber(out, (bg & 8 ? 100 : 40) + AnsiIndex(bg));
  out += 'm';
  return out;
}

std::string SizeMessage(int needed_columns, int needed_rows, int columns) {
  const std::string size = std::to_string(needed_columns) + " x " + std::to_string(needed_rows);
  for (const std::string& text :
       {"GLIMMET2 needs a terminal of at least " + size, "GLIMMET2 needs at least " + size,
        "Needs " + size, size}) {
    if (static_cast<int>(text.size()) <= columns) return text;
  }
  return size.substr(0, std::max(columns, 0));
}

void Render(const ScreenModel& model, TerminalView& view, std::string& out) {
  if (view.cursor_visible_ != 0 && !model.cursor_visible_) {
    out += "\x1b[?25l";
    view.cursor_visible_ = 0;
  }
  if (model.Columns() == 0 || view.columns_ <= 0 || view.rows_ <= 0) return;
  if (view.TooSmallFor(model)) {
    if (!view.message_shown_) ShowMessage(model, view, out);
    return;
  }
  if (view.message_shown_ || view.shown_.empty()) {
    out += "\x1b[0m\x1b[2J";
    view.shown_.assign(static_cast<std::size_t>(model.Columns()) * model.Rows(), Cell{0, 0});
    view.sgr_ = -1;
    view.row_ = view.column_ = 0;
    view.message_shown_ = false;
  }
  for (int r = 1; r <= model.Rows(); ++r) {
    for (int c = 1; c <= model.Columns(); ++c) {
      const Cell& cell = model.At(r, c);
      Cell& shown = view.shown_[(r - 1) * model.Columns() + (c - 1)];
      if (shown == cell) continue;
      if (view.row_ != r || view.column_ != c) MoveTo(out, r, c);
      if (view.sgr_ != cell.attr_) out += AttributeSequence(cell.attr_);
      AppendGlyph(out, cell.ch_);
      shown = cell;
      view.sgr_ = cell.attr_;
      view.row_ = r;
      // Past the last column the terminal's cursor position is its own.
      view.column_ = c < view.columns_ ? c + 1 : 0;
    }
  }
  if (model.cursor_visible_) {
    if (view.row_ != model.Row() || view.column_ != model.Column()) {
      MoveTo(out, model.Row(), model.Column());
      view.row_ = model.Row();
      view.column_ = model.Column();
    }
    if (view.cursor_visible_ != 1) out += "\x1b[?25h";
    view.cursor_visible_ = 1;
  }
}

}  // namespace glimmet
