// The generation step, written so the compiler can vectorise the inner loop:
// the wrap is taken care of by a ghost border copied in before the step, the
// rule lookup is a bit test on a nine-bit mask, and the four outcomes are
// selects. This file is built with -O3, and with an AVX2 clone picked at run
// time, because that is what turns the loop into vector code.
#include "automaton/step.h"

// Sanitizer runtimes start after ifunc resolvers run, and Windows has no
// ifuncs, so sanitized and Windows builds go without the run-time choice.
#ifdef GLIMMET_NO_TARGET_CLONES
#define GLIMMET_VECTOR_CLONES
#else
#define GLIMMET_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#endif

namespace glimmet {

namespace {

// Makes the border of `page` a copy of the opposite edges, corners included.
void WrapBorder(CellField& field, int page) {
  const int w = field.width_;
  const int h = field.height_;
  for (int y = 1; y <= h; ++y) {
    std::int32_t* row = field.Row(page, y);
    row[0] = row[w];
    row[w + 1] = row[1];
  }
  const std::int32_t* top = field.Row(page, 1);
  const std::int32_t* bottom = field.Row(page, h);
  std::int32_t* above = field.Row(page, 0);
  std::int32_t* below = field.Row(page, h + 1);
  for (int x = 0; x <= w + 1; ++x) {
    above[x] = bottom[x];
    below[x] = top[x];
  }
}

GLIMMET_VECTOR_CLONES
void StepRow(const std::int32_t* __restrict up,
             const std::int32_t* __restrict mid,
             const std::int32_t* __restrict down, std::int32_t* __restrict out,
             int width, std::uint32_t survive, std::uint32_t birth,
             std::int32_t g) {
  for (int x = 1; x <= width; ++x) {
    const std::int32_t sum = up[x - 1] + up[x] + up[x + 1] + mid[x - 1] +
                             mid[x + 1] + down[x - 1] + down[x] + down[x + 1];
    const std::int32_t v = mid[x];
    const bool live = v > 128;
    const std::uint32_t mask = live ? survive : birth;
    const bool grow = (mask >> NeighbourCount(sum)) & 1u;
    std::int32_t w = grow ? v + g : v - g;
    // Only a growing live cell can pass 255 and only a fading dead cell can
    // pass 0 while g is at most 45, so one clamp serves all four outcomes.
    w = w > 255 ? 255 : w;
    w = w < 0 ? 0 : w;
    out[x] = w;
  }
}

}  // namespace

std::uint32_t RuleMask(const std::string& rule) {
  std::uint32_t mask = 0;
  for (int n = 0; n <= 8; ++n)
    if (rule.find(static_cast<char>('0' + n)) != std::string::npos)
      mask |= 1u << n;
  return mask;
}

void StepGeneration(CellField& field, int& current_page,
                    const std::string& survive, const std::string& birth,
                    int growth_rate) {
  const int next_page = current_page == 1 ? 2 : 1;
  const int rate = growth_rate < 0 ? 0 : growth_rate > 9 ? 9 : growth_rate;
  const std::uint32_t survive_mask = RuleMask(survive);
  const std::uint32_t birth_mask = RuleMask(birth);
  WrapBorder(field, current_page);
  for (int y = 1; y <= field.height_; ++y) {
    StepRow(field.Row(current_page, y - 1), field.Row(current_page, y),
            field.Row(current_page, y + 1), field.Row(next_page, y),
            field.width_, survive_mask, birth_mask, 5 * rate);
  }
  current_page = next_page;
}

}  // namespace glimmet
