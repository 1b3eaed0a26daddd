// GLIMMET2's entry point. For now the automaton runs headless: the field is
// seeded from the clock and evolved under the default rules for a while.
#include <string>

#include "automaton/field.h"
#include "automaton/step.h"
#include "support/random.h"

int main() {
  using namespace glimmet;
  Random random;
  SeedRandom(random, ClockSeconds());
  const int field_width = 100;
  const int field_height = 100;
  int colour_scheme = RandomBelow(random, 3);
  (void)colour_scheme;
  CellField field = CreateField(field_width, field_height);
  int current_page = 1;
  SeedField(field, random, current_page);
  const std::string survive = "5";
  const std::string birth = "345";
  const int growth_rate = 4;
  for (int generation = 0; generation < 10000; ++generation)
    StepGeneration(field, current_page, survive, birth, growth_rate);
  return 0;
}
