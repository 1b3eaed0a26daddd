// How many device pixels a cell takes across on a scaled display: the
// display's scale rounded to the nearest whole number, so that every cell
// is a square of k by k pixels of exactly its colour and the field is
// never stretched with filtering. The program's picture stays one pixel a
// cell; only the copy to the screen scales.
#pragma once

#include <string_view>

namespace glimmet {

// The dots per inch of a display at 100 %.
constexpr int kUnscaledDpi = 96;
// Beyond this a "scale" is a misreading: the window would not fit.
constexpr int kLargestScale = 8;

// k for a display of `dpi` dots per inch: 1 at 100 % and 125 %, 2 from
// 150 % to 249 %, 3 from 250 % on, and so on; 1 for nonsense.
int WholeScale(int dpi);

// The scale an X desktop publishes: GDK_SCALE where it is a whole number
// (GNOME's scaling factor), else the resource manager's Xft.dpi through
// WholeScale; 1 where neither says.
int DesktopScale(std::string_view gdk_scale, std::string_view resources);

}  // namespace glimmet
