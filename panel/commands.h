// The mouse commands: what a click on each cell of the panel does.
#pragma once

#include <string>

#include "app/state.h"
#include "console/console.h"

namespace glimmet {

// Runs the command under the last reported click (MouseRow, MouseColumn), if
// any, and returns true for QUIT.
bool HandlePanelClick(ProgramState& state, Console& console);

// Adds the digit `count` to the rule, or takes every occurrence of it out.
void ToggleCount(std::string& rule, int count);

// A rule in which each count 0 to 8 is, with probability 0.4, in ascending
// order; exactly nine draws.
std::string RandomRule(Random& random);

}  // namespace glimmet
