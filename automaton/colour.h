// Cell colouring: the intensity of a cell becomes the colour of its pixel
// under one of three schemes, 0 grey, 1 heat (black, blue, magenta, then red,
// yellow, white), 2 blue to magenta. Colours are 0x00BBGGRR.
#pragma once

#include <array>
#include <cstdint>

namespace glimmet {

using Colour = std::int32_t;

constexpr int kGreyScheme = 0;
constexpr int kHeatScheme = 1;
constexpr int kBlueMagentaScheme = 2;
constexpr int kColourSchemes = 3;

// Each component is limited to 0 to 255 before it is packed.
Colour ComposeColour(int red, int green, int blue);

// The colour of intensity v under the scheme. An intensity outside 0 to 255
// is black in schemes 1 and 2 (and is limited like any component in scheme
// 0); a scheme other than 0, 1 or 2 gives black.
Colour CellColour(int v, int scheme);

// CellColour for every intensity 0 to 255 of every scheme, built once so the
// per-generation paint is a table lookup per cell.
using ColourTable = std::array<std::array<Colour, 256>, kColourSchemes>;
ColourTable BuildColourTable();

}  // namespace glimmet
