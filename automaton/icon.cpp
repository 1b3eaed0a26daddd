// Growing the icon's field.
#include "automaton/icon.h"

#include <algorithm>

#include "automaton/field.h"
#include "automaton/step.h"
#include "support/random.h"

namespace glimmet {

namespace {

// Noon's seed and forty generations of the default rules: by then the
// field has formed the blobs and rims the toy is about.
constexpr double kIconSeed = 43200.0;
constexpr int kIconGenerations = 40;

}  // namespace

std::vector<Colour> IconPicture(int size) {
  size = std::clamp(size, 1, 100);
  Random random;
  SeedRandom(random, kIconSeed);
  CellField field = CreateField(100, 100);
  int page = 1;
  SeedField(field, random, page);
  for (int i = 0; i < kIconGenerations; ++i) StepGeneration(field, page, kDefaultSurvive, kDefaultBirth, kDefaultGrowthRate);
  const ColourTable colours = BuildColourTable();
  std::vector<Colour> picture;
  picture.reserve(size * size);
  for (int y = 1; y <= size; ++y)
    for (int x = 1; x <= size; ++x)
      picture.push_back(colours[kHeatScheme][field.Cell(page, x, y)]);
  return picture;
}

}  // namespace glimmet
