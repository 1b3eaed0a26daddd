// A small terminal emulator for tests: it interprets the bytes the console
// writes (text, cursor moves, colours, erases, mode switches) into a grid,
// so a test can check what a terminal would show rather than which bytes
// were sent.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace glimmet::testing {

struct VtCell {
  char32_t ch_ = ' ';
  int fg_ = -1;  // SGR colour code in force (30-37, 90-97), -1 default
  int bg_ = -1;  // 40-47, 100-107, -1 default
};

class Vt {
 public:
  Vt(int columns, int rows) : columns_(columns), rows_(rows), cells_(columns * rows) {}

  void Feed(std::string_view bytes);

  const VtCell& At(int row, int column) const {
    return cells_[(row - 1) * columns_ + (column - 1)];
  }
  // The text of a row, trailing blanks kept.
  std::string Text(int row) const;

  int row_ = 1, column_ = 1;
  bool cursor_visible_ = true;
  bool alternate_ = false;
  bool mouse_ = false;
  bool sgr_mouse_ = false;
  std::string size_requests_;  // each "rows x columns;"
  int status_requests_ = 0;    // CSI 5 n
  int unknown_ = 0;            // sequences this emulator does not know

 private:
  void Put(char32_t ch);
  void Csi(std::string_view body, char final_byte);

  int columns_, rows_;
  std::vector<VtCell> cells_;
  int fg_ = -1, bg_ = -1;
  std::string sequence_;  // an escape sequence being collected
  int utf8_left_ = 0;
  char32_t utf8_ = 0;
};

}  // namespace glimmet::testing
