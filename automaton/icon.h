// The program's icon: a corner of a field grown by the program's own rules
// from a fixed seed and shown in the heat scheme, so that the icon can be
// made again exactly, for the window and for the desktop's menus alike.
#pragma once

#include <vector>

#include "automaton/colour.h"

namespace glimmet {

// A size by size picture (size at most 100), row by row, in Colour values.
std::vector<Colour> IconPicture(int size);

}  // namespace glimmet
