// Creation and the two random seedings of the cell field.
#include "automaton/field.h"

#include "automaton/colour.h"

namespace glimmet {

CellField CreateField(int width, int height) {
  CellField field;
  field.width_ = width;
  field.height_ = height;
  field.cells_.assign(2 * static_cast<std::size_t>(field.PageSize()), 0);
  return field;
}

void SeedField(CellField& field, Random& random, int& current_page) {
  current_page = 1;
  for (int x = 1; x <= field.width_; ++x)
    for (int y = 1; y <= field.height_; ++y)
      field.Cell(1, x, y) = RandomBelow(random, 256);
}

void ReseedField(CellField& field, Random& random, int density,
                 int& current_page, int& generation_count, int& colour_scheme) {
  generation_count = 0;
  current_page = 1;
  colour_scheme = RandomBelow(random, kColourSchemes);
  for (int x = 1; x <= field.width_; ++x) {
    for (int y = 1; y <= field.height_; ++y) {
      if (RandomBelow(random, 100) > density)
        field.Cell(1, x, y) = 0;
      else
        field.Cell(1, x, y) = 64 + RandomBelow(random, 128);
    }
  }
}

}  // namespace glimmet
