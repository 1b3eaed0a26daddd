// GLIMMET2's entry point: seeds the automaton from the clock and shows it
// evolving, generation by generation, in the "Glimmet" window until the
// window is closed.
#include <cstdio>
#include <string>

#include "automaton/colour.h"
#include "automaton/field.h"
#include "automaton/step.h"
#include "support/random.h"
#include "view/view_window.h"

namespace {

using namespace glimmet;

void Paint(const CellField& field, int page, const ColourTable& colours, int scheme) {
  const auto& table = colours[scheme];
  for (int x = 1; x <= field.width_; ++x)
    for (int y = 1; y <= field.height_; ++y)
      PlotPixel(x - 1, y - 1, table[field.Cell(page, x, y)]);
}

}  // namespace

int main() {
  Random random;
  SeedRandom(random, ClockSeconds());
  const int field_width = 100;
  const int field_height = 100;
  int colour_scheme = RandomBelow(random, 3);
  const Handle window = OpenViewWindow("Glimmet", 300, 300, field_width, field_height, 0);
  if (window == 0) {
    std::fprintf(stderr, "glimmet2: cannot open the cell view window: %s\n",
                 ViewWindowError().c_str());
    return 1;
  }
  AttachViewWindow(window, true);
  CellField field = CreateField(field_width, field_height);
  int current_page = 1;
  SeedField(field, random, current_page);
  const std::string survive = "5";
  const std::string birth = "345";
  const int growth_rate = 4;
  const ColourTable colours = BuildColourTable();
  int generation_count = 0;
  for (;;) {
    ++generation_count;
    Paint(field, current_page, colours, colour_scheme);
    StepGeneration(field, current_page, survive, birth, growth_rate);
    RedrawView();
    if (QueryViewSize().width_ == 0) break;
  }
  StopViewWindows();
  return 0;
}
