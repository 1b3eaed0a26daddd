// The cell field: two pages of intensities 0 to 255, one holding the present
// generation and the other receiving the next, plus the two ways of filling
// page 1 with a new random field.
//
// Cells are addressed (page, x, y) with page 1 or 2 and x, y counted from 1.
// Each page is stored with a one-cell ghost border so the generation step can
// read a cell's eight neighbours without testing for the edges; the border
// belongs to the step and is never visible through Cell().
#pragma once

#include <cstdint>
#include <vector>

#include "support/random.h"

namespace glimmet {

struct CellField {
  int width_ = 0;
  int height_ = 0;
  std::vector<std::int32_t> cells_;  // page 1 then page 2, rows of width_ + 2

  int Stride() const { return width_ + 2; }
  int PageSize() const { return Stride() * (height_ + 2); }
  std::int32_t* Row(int page, int y) {
    return cells_.data() + (page - 1) * PageSize() + y * Stride();
  }
  const std::int32_t* Row(int page, int y) const {
    return cells_.data() + (page - 1) * PageSize() + y * Stride();
  }
  std::int32_t& Cell(int page, int x, int y) { return Row(page, y)[x]; }
  std::int32_t Cell(int page, int x, int y) const { return Row(page, y)[x]; }
};

// A field of width by height cells on both pages, every cell 0.
CellField CreateField(int width, int height);

// Fills page 1 with uniform intensities 0 to 255, one draw per cell with x
// in the outer loop, and makes page 1 current.
void SeedField(CellField& field, Random& random, int& current_page);

// Starts a new field: count 0, page 1 current, a new colour scheme, then for
// every cell a draw from 0 to 99; a draw above `density` leaves the cell 0,
// any other takes one more draw for an intensity of 64 to 191. A density of
// 99 or more fills every cell, a negative one none.
void ReseedField(CellField& field, Random& random, int density,
                 int& current_page, int& generation_count, int& colour_scheme);

}  // namespace glimmet
