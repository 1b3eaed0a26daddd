// The three colour schemes, band by band, lowest band first.
#include "automaton/colour.h"

namespace glimmet {

namespace {

int Limit(int c) { return c < 0 ? 0 : c > 255 ? 255 : c; }

Colour Heat(int v) {
  if (v >= 0 && v <= 63) return ComposeColour(0, 0, 4 * v);
  // The blue of this band is above 255 throughout and ends up limited.
  if (v >= 64 && v <= 127) return ComposeColour(4 * (v - 64), 0, 255 - 4 * (63 - v));
  if (v >= 128 && v <= 191) return ComposeColour(255, 4 * (v - 128), 0);
  if (v >= 192 && v <= 255) return ComposeColour(255, 255, 4 * (v - 192));
  return 0;
}

Colour BlueMagenta(int v) {
  if (v >= 0 && v <= 127) return ComposeColour(0, 0, 2 * v);
  if (v >= 128 && v <= 255) return ComposeColour(2 * (v - 128), 0, 255);
  return 0;
}

}  // namespace

Colour ComposeColour(int red, int green, int blue) {
  return Limit(red) + 256 * Limit(green) + 65536 * Limit(blue);
}

Colour CellColour(int v, int scheme) {
  switch (scheme) {
    case kGreyScheme: return ComposeColour(v, v, v);
    case kHeatScheme: return Heat(v);
    case kBlueMagentaScheme: return BlueMagenta(v);
    default: return 0;
  }
}

ColourTable BuildColourTable() {
  ColourTable table{};
  for (int scheme = 0; scheme < kColourSchemes; ++scheme)
    for (int v = 0; v < 256; ++v) table[scheme][v] = CellColour(v, scheme);
  return table;
}

}  // namespace glimmet
