// Everything the program knows while it runs. One ProgramState lives in main
// for the whole run; the panel commands and the generation pass receive it by
// reference and change it in place.
#pragma once

#include <string>

#include "automaton/colour.h"
#include "automaton/field.h"
#include "automaton/step.h"
#include "support/random.h"
#include "view/registry.h"

namespace glimmet {

constexpr int kFieldSize = 100;  // cells across and down, pixels of the window

struct ProgramState {
  Random random_;
  int field_width_ = kFieldSize;
  int field_height_ = kFieldSize;
  int colour_scheme_ = kGreyScheme;
  CellField field_;
  int current_page_ = 1;
  std::string survive_ = kDefaultSurvive;
  std::string birth_ = kDefaultBirth;
  int growth_rate_ = kDefaultGrowthRate;
  int generation_count_ = 0;  // passes that ran a generation since seeding
  int pause_ = 0;
  int step_ = 0;  // set by STEP, cleared at the top of every pass
  Handle window_ = 0;
};

}  // namespace glimmet
