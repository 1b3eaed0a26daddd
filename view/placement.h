// Where the field window opens: at its usual corner, unless there it would
// cover the control panel in the terminal; then beside the panel. Pure
// geometry over screen rectangles, in pixels.
#pragma once

namespace glimmet {

struct ScreenRect {
  int x_ = 0, y_ = 0, width_ = 0, height_ = 0;
};

struct ScreenPoint {
  int x_ = 0, y_ = 0;
};

// True when the two rectangles share a pixel.
bool Overlap(const ScreenRect& a, const ScreenRect& b);

// The outer top-left corner for a window whose frame, at its usual corner,
// is `frame`: that corner when the frame leaves `panel` clear; else right
// of the panel with `gap` pixels between, top aligned with it; if that
// leaves `work_area`, below the panel, left aligned; if that leaves it too,
// the usual corner after all.
ScreenPoint ChooseCorner(const ScreenRect& frame, const ScreenRect& panel,
                         const ScreenRect& work_area, int gap);

}  // namespace glimmet
