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

namespace {

bool Empty(const ScreenRect& r) { return r.width_ <= 0 || r.height_ <= 0; }

bool Holds(const ScreenRect& r, int x, int y) {
  return x >= r.x_ && y >= r.y_ && x < r.x_ + r.width_ && y < r.y_ + r.height_;
}

long SharedArea(const ScreenRect& a, const ScreenRect& b) {
  const long w = std::min(a.x_ + a.width_, b.x_ + b.width_) - std::max(a.x_, b.x_);
  const long h = std::min(a.y_ + a.height_, b.y_ + b.height_) - std::max(a.y_, b.y_);
  return w > 0 && h > 0 ? w * h : 0;
}

// The monitor a desk puts a window asked for at `frame` on.
const Monitor* MonitorOf(const ScreenRect& frame, std::span<const Monitor> monitors) {
  for (const Monitor& m : monitors)
    if (Holds(m.bounds_, frame.x_, frame.y_)) return &m;
  const Monitor* best = monitors.empty() ? nullptr : &monitors.front();
  long most = 0;
  for (const Monitor& m : monitors)
    if (const long shared = SharedArea(frame, m.bounds_); shared > most) {
      most = shared;
      best = &m;
    }
  return best;
}

int Clamp(int at, int size, int from, int room) {
  return std::max(from, std::min(at, from + room - size));
}

ScreenRect FarCorner(const ScreenRect& frame, const ScreenRect& area) {
  return {area.x_ + area.width_ - frame.width_, area.y_ + area.height_ - frame.height_,
          frame.width_, frame.height_};
}

bool Same(const ScreenRect& a, const ScreenRect& b) {
  return a.x_ == b.x_ && a.y_ == b.y_ && a.width_ == b.width_ && a.height_ == b.height_;
}

}  // namespace

const ScreenRect& UsableArea(const Monitor& m) {
  return Empty(m.usable_) ? m.bounds_ : m.usable_;
}

bool Inside(const ScreenRect& inner, const ScreenRect& outer) {
  return inner.x_ >= outer.x_ && inner.y_ >= outer.y_ &&
         inner.x_ + inner.width_ <= outer.x_ + outer.width_ &&
         inner.y_ + inner.height_ <= outer.y_ + outer.height_;
}

int MonitorAt(ScreenPoint point, std::span<const Monitor> monitors, int otherwise) {
  for (std::size_t i = 0; i < monitors.size(); ++i)
    if (Holds(monitors[i].bounds_, point.x_, point.y_)) return int(i);
  return otherwise;
}

ScreenRect WhereItLands(const ScreenRect& frame, std::span<const Monitor> monitors) {
  const Monitor* on = MonitorOf(frame, monitors);
  if (on == nullptr) return frame;
  const ScreenRect& area = UsableArea(*on);
  return {Clamp(frame.x_, frame.width_, area.x_, area.width_),
          Clamp(frame.y_, frame.height_, area.y_, area.height_), frame.width_, frame.height_};
}

ScreenPoint ChooseCorner(const ScreenRect& frame, const ScreenRect* panel,
                         std::span<const Monitor> monitors, int home, int gap) {
  if (monitors.empty()) return {frame.x_, frame.y_};
  if (panel == nullptr) {
    const int at = home >= 0 && home < int(monitors.size()) ? home : 0;
    const ScreenRect far = FarCorner(frame, UsableArea(monitors[at]));
    return {far.x_, far.y_};
  }
  const ScreenRect usual = WhereItLands(frame, monitors);
  if (!Overlap(usual, *panel)) return {usual.x_, usual.y_};
  const ScreenRect panel_area = UsableArea(*MonitorOf(*panel, monitors));
  // A panel whose window reaches above the work area (under a top bar) is
  // seen from the work area's top.
  const ScreenRect right{panel->x_ + panel->width_ + gap, std::max(panel->y_, panel_area.y_),
                         frame.width_, frame.height_};
  const ScreenRect below{std::max(panel->x_, panel_area.x_), panel->y_ + panel->height_ + gap,
                         frame.width_, frame.height_};
  for (const ScreenRect& spot : {right, below, FarCorner(frame, panel_area)}) {
    const ScreenRect landed = WhereItLands(spot, monitors);
    if (Same(landed, spot) && !Overlap(spot, *panel)) return {spot.x_, spot.y_};
  }
  return {usual.x_, usual.y_};
}

}  // namespace glimmet
