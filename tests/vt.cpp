// The emulator's rules are xterm's for the sequences it knows.
#include "tests/vt.h"

#include <cstdlib>

namespace glimmet::testing {

namespace {

std::vector<int> Numbers(std::string_view body) {
  std::vector<int> numbers;
  int value = -1;
  for (char c : body) {
    if (c >= '0' && c <= '9') {
      value = (value < 0 ? 0 : value) * 10 + (c - '0');
    } else if (c == ';') {
      numbers.push_back(value);
      value = -1;
    }
  }
  numbers.push_back(value);
  return numbers;
}

}  // namespace

std::string Vt::Text(int row) const {
  std::string text;
  for (int c = 1; c <= columns_; ++c) {
    const char32_t ch = At(row, c).ch_;
    text += ch < 0x80 ? static_cast<char>(ch) : '?';
  }
  return text;
}

void Vt::Put(char32_t ch) {
  if (column_ > columns_) {  // the wrap xterm holds back until the next character
    column_ = 1;
    if (row_ < rows_) ++row_;
  }
  cells_[(row_ - 1) * columns_ + (column_ - 1)] = VtCell{ch, fg_, bg_};
  ++column_;
}

void Vt::Csi(std::string_view body, char final_byte) {
  const bool private_mode = !body.empty() && body[0] == '?';
  const std::vector<int> n = Numbers(private_mode ? body.substr(1) : body);
  auto arg = [&](std::size_t i, int fallback) {
    return i < n.size() && n[i] >= 0 ? n[i] : fallback;
  };
  if (private_mode && (final_byte == 'h' || final_byte == 'l')) {
    const bool on = final_byte == 'h';
    for (int mode : n) {
      if (mode == 25) cursor_visible_ = on;
      else if (mode == 1049) alternate_ = on;
      else if (mode == 1000) mouse_ = on;
      else if (mode == 1006) sgr_mouse_ = on;
      else ++unknown_;
    }
    return;
  }
  switch (final_byte) {
    case 'H':
      row_ = std::min(std::max(arg(0, 1), 1), rows_);
      column_ = std::min(std::max(arg(1, 1), 1), columns_);
      return;
    case 'J':
      if (arg(0, 0) == 2)
        for (VtCell& cell : cells_) cell = VtCell{' ', fg_, bg_};
      else
        ++unknown_;
      return;
    case 'm':
      for (std::size_t i = 0; i < n.size(); ++i) {
        const int code = n[i] < 0 ? 0 : n[i];
        if (code == 0) fg_ = bg_ = -1;
        else if ((code >= 30 && code <= 37) || (code >= 90 && code <= 97)) fg_ = code;
        else if ((code >= 40 && code <= 47) || (code >= 100 && code <= 107)) bg_ = code;
        else ++unknown_;
      }
      return;
    case 'n':
      if (arg(0, 0) == 5) ++status_requests_;
      else ++unknown_;
      return;
    case 't':
      if (arg(0, 0) == 8) size_requests_ += std::to_string(arg(1, 0)) + "x" + std::to_string(arg(2, 0)) + ";";
      else ++unknown_;
      return;
    default:
      ++unknown_;
  }
}

void Vt::Feed(std::string_view bytes) {
  for (const char byte : bytes) {
    const auto b = static_cast<unsigned char>(byte);
    if (!sequence_.empty()) {
      sequence_ += byte;
      if (sequence_.size() == 2 && b != '[') {
        ++unknown_;
        sequence_.clear();
      } else if (sequence_.size() > 2 && b >= 0x40 && b <= 0x7E) {
        Csi(std::string_view(sequence_).substr(2, sequence_.size() - 3), byte);
        sequence_.clear();
      }
      continue;
    }
    if (utf8_left_ > 0) {
      utf8_ = utf8_ << 6 | (b & 0x3F);
      if (--utf8_left_ == 0) Put(utf8_);
      continue;
    }
    if (b == 0x1B) {
      sequence_.assign(1, '\x1b');
    } else if (b == '\r') {
      column_ = 1;
    } else if (b == '\n') {
      if (row_ < rows_) ++row_;
    } else if (b >= 0xC0) {
      utf8_left_ = b >= 0xE0 ? 2 : 1;
      utf8_ = b & (b >= 0xE0 ? 0x0F : 0x1F);
    } else if (b >= 0x20 && b != 0x7F) {
      Put(b);
    } else {
      ++unknown_;  // a control byte a console must never send raw
    }
  }
}

}  // namespace glimmet::testing
