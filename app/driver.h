// The program driver: start-up in its fixed order, and one pass of the main
// loop (a poll of the reader, then, unless paused, a generation: count,
// paint, step, redraw, and the check that the window is still there).
#pragma once

#include <string>

#include "app/state.h"
#include "automaton/colour.h"
#include "console/console.h"

namespace glimmet {

// Seeds the generator from the clock, draws the panel, opens and attaches
// the cell view window, seeds the field, draws the widgets and turns the
// mouse on. False, with the reason, when the window cannot be opened.
// `display_lost` runs if the X server goes away later.
bool StartProgram(ProgramState& state, Console& console, std::string& error,
                  void (*display_lost)() = nullptr);

enum class PassResult { kGoOn, kQuit, kWindowGone, kTerminalGone };

// One pass. With `paint` false the generation leaves the picture as it was:
// for a pass whose picture nobody would see (a page shows only the last of
// a frame's passes).
PassResult RunPass(ProgramState& state, Console& console, const ColourTable& colours,
                   bool paint = true);

// Plots every cell of the current page into the window's picture.
void PaintField(const ProgramState& state, const ColourTable& colours);

}  // namespace glimmet
