// The field window's corner beside the panel.
#include "view/placement.h"

#include <algorithm>
#include <cmath>

namespace glimmet {

namespace {

// Room for what a terminal may show above its text (a header bar, a menu
// bar and a tab bar) and beside it (padding, a scroll bar on the left),
// where it does not say how large its text area is.
constexpr int kUntoldChromeAbove = 120;
constexpr int kUntoldChromeBeside = 16;

bool Inside(const ScreenRect& r, const ScreenRect& area) {
  return r.x_ >= area.x_ && r.y_ >= area.y_ && r.x_ + r.width_ <= area.x_ + area.width_ &&
         r.y_ + r.height_ <= area.y_ + area.height_;
}

int Cells(int count, double size) { return static_cast<int>(std::ceil(count * size)); }

}  // namespace

bool Overlap(const ScreenRect& a, const ScreenRect& b) {
  return a.x_ < b.x_ + b.width_ && b.x_ < a.x_ + a.width_ && a.y_ < b.y_ + b.height_ &&
         b.y_ < a.y_ + a.height_;
}

ScreenRect PanelOnScreen(const TerminalOnScreen& terminal, const TerminalGrid& grid) {
  const ScreenRect& w = terminal.window_;
  const Extents& s = terminal.shadow_;
  const ScreenRect seen{w.x_ + s.left_, w.y_ + s.top_,
                        std::max(1, w.width_ - s.left_ - s.right_),
                        std::max(1, w.height_ - s.top_ - s.bottom_)};
  const int columns = std::max(1, grid.columns_), rows = std::max(1, grid.rows_);
  if (grid.pixel_width_ > 0 && grid.pixel_height_ > 0) {
    const double cell_width = grid.pixel_width_ / double(columns);
    const double cell_height = grid.pixel_height_ / double(rows);
    return {seen.x_, seen.y_,
            std::max(0, seen.width_ - grid.pixel_width_) + Cells(grid.panel_columns_, cell_width),
            std::max(0, seen.height_ - grid.pixel_height_) +
                Cells(grid.panel_rows_, cell_height)};
  }
  return {seen.x_, seen.y_,
          kUntoldChromeBeside + Cells(grid.panel_columns_, seen.width_ / double(columns)),
          kUntoldChromeAbove + Cells(grid.panel_rows_, seen.height_ / double(rows))};
}

ScreenPoint ChooseCorner(const ScreenRect& frame, const ScreenRect* panel,
                         const ScreenRect& work_area, int gap) {
  const ScreenRect far{work_area.x_ + work_area.width_ - frame.width_,
                       work_area.y_ + work_area.height_ - frame.height_, frame.width_,
                       frame.height_};
  if (panel == nullptr) return {far.x_, far.y_};
  if (!Overlap(frame, *panel)) return {frame.x_, frame.y_};
  // A panel whose window reaches above the work area (under a top bar) is
  // seen from the work area's top.
  const ScreenRect right{panel->x_ + panel->width_ + gap, std::max(panel->y_, work_area.y_),
                         frame.width_, frame.height_};
  const ScreenRect below{std::max(panel->x_, work_area.x_), panel->y_ + panel->height_ + gap,
                         frame.width_, frame.height_};
  for (const ScreenRect& spot : {right, below, far})
    if (Inside(spot, work_area) && !Overlap(spot, *panel)) return {spot.x_, spot.y_};
  return {frame.x_, frame.y_};
}

}  // namespace glimmet
