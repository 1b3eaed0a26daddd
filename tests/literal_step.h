// A line-by-line transcription of the generation rule, kept as the reference
// that the shipped step is checked and timed against: the wrap by branches,
// the count by rounding the real quotient, the rule by searching its text.
#pragma once

#include <cmath>
#include <string>

#include "automaton/field.h"

namespace glimmet::literal {

inline int NeighbourSum(const CellField& f, int page, int x, int y) {
  const int xl = x == 1 ? f.width_ : x - 1;
  const int xr = x == f.width_ ? 1 : x + 1;
  const int yu = y == 1 ? f.height_ : y - 1;
  const int yd = y == f.height_ ? 1 : y + 1;
  return f.Cell(page, xl, y) + f.Cell(page, xl, yu) + f.Cell(page, xl, yd) +
         f.Cell(page, x, yu) + f.Cell(page, x, yd) + f.Cell(page, xr, yu) +
         f.Cell(page, xr, y) + f.Cell(page, xr, yd);
}

// 1-based position of `needle` in `text`, 0 when absent.
inline int Search(const std::string& text, const std::string& needle) {
  const auto at = text.find(needle);
  return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

inline void Step(CellField& f, int& current_page, const std::string& survive,
                 const std::string& birth, int growth_rate) {
  const int next_page = current_page == 1 ? 2 : 1;
  const int g = 5 * growth_rate;
  for (int x = 1; x <= f.width_; ++x) {
    for (int y = 1; y <= f.height_; ++y) {
      const int s = NeighbourSum(f, current_page, x, y);
      const int n = static_cast<int>(std::nearbyint(s / 255.0));
      const int v = f.Cell(current_page, x, y);
      const std::string text = std::to_string(n);
      int w;
      if (v > 128) {
        if (Search(survive, text) > 0) {
          w = v + g;
          if (w > 255) w = 255;
        } else {
          w = v - g;
        }
      } else {
        if (Search(birth, text) > 0) {
          w = v + g;
        } else {
          w = v - g;
          if (w < 0) w = 0;
        }
      }
      f.Cell(next_page, x, y) = w;
    }
  }
  current_page = next_page;
}

}  // namespace glimmet::literal
