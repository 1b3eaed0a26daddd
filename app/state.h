// Everything the program knows while it runs. One ProgramState lives in main
// for the whole run; the panel commands and the generation pass receive it by
// reference and change it in place.
#pragma once

#include <string>

#include "automaton/field.h"
#include "support/random.h"
#include "view/registry.h"

namespace glimmet {

struct ProgramState {
  Random random_;
  int field_width_ = 100;
  int field_height_ = 100;
  int colour_scheme_ = 0;  // 0 grey, 1 heat, 2 blue to magenta
  CellField field_;
  int current_page_ = 1;
  std::string survive_ = "5";
  std::string birth_ = "345";
  int growth_rate_ = 4;
  int generation_count_ = 0;  // passes that ran a generation since seeding
  int pause_ = 0;
  int step_ = 0;  // set by STEP, cleared at the top of every pass
  Handle window_ = 0;
};

}  // namespace glimmet
