// The floor the browser build is measured against: the same field and step
// in the same WebAssembly, stepped for the same share of each frame and
// put on a canvas once a frame, with nothing of the program around them
// (no panel, no reader, no plots, no redraw hand-off).
#include <emscripten.h>

#include <cstdint>
#include <vector>

#include "automaton/colour.h"
#include "automaton/field.h"
#include "automaton/step.h"
#include "support/random.h"

namespace {

using namespace glimmet;

constexpr int kSize = 100;
constexpr double kFrameBudgetMs = 8.0;  // as the program's frame takes

struct Floor {
  CellField field_ = CreateField(kSize, kSize);
  int page_ = 1;
  Random random_;
  ColourTable colours_ = BuildColourTable();
  std::vector<std::uint32_t> rgba_ = std::vector<std::uint32_t>(kSize * kSize);
};

Floor* floor_state = nullptr;

}  // namespace

// Steps for the frame's share, then colours the field into the canvas's
// pixels; the generations it ran.
extern "C" EMSCRIPTEN_KEEPALIVE int floor_frame() {
  if (floor_state == nullptr) {
    floor_state = new Floor;
    SeedRandom(floor_state->random_, 0.0);
    SeedField(floor_state->field_, floor_state->random_, floor_state->page_);
  }
  Floor& f = *floor_state;
  const double start = emscripten_get_now();
  int generations = 0;
  do {
    StepGeneration(f.field_, f.page_, kDefaultSurvive, kDefaultBirth, kDefaultGrowthRate);
    ++generations;
  } while (emscripten_get_now() - start < kFrameBudgetMs);
  const Colour* scheme = f.colours_[0].data();
  std::uint32_t* to = f.rgba_.data();
  for (int y = 1; y <= kSize; ++y) {
    const std::int32_t* row = f.field_.Row(f.page_, y);
    for (int x = 1; x <= kSize; ++x) *to++ = static_cast<std::uint32_t>(scheme[row[x]]) | 0xFF000000u;
  }
  return generations;
}

extern "C" EMSCRIPTEN_KEEPALIVE const std::uint32_t* floor_pixels() {
  return floor_state->rgba_.data();
}
