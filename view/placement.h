// Where the field window opens: at its usual corner, unless there it would
// cover the control panel in the terminal; then beside the panel, below it,
// or in the work area's far corner. Pure geometry over screen rectangles,
// in pixels, so that the geometry measured on real desks can be fed to it.
#pragma once

#include <span>

namespace glimmet {

struct ScreenRect {
  int x_ = 0, y_ = 0, width_ = 0, height_ = 0;
};

// Between the panel and a window opened beside it.
constexpr int kPanelGap = 8;

struct ScreenPoint {
  int x_ = 0, y_ = 0;
};

// What lies around a window's client area and belongs to it: a window
// manager's frame, or the invisible shadow a GTK window draws itself.
struct Extents {
  int left_ = 0, right_ = 0, top_ = 0, bottom_ = 0;
};

// Where the control panel lies in the terminal, so that the window can open
// beside it rather than over it: the panel's size in cells, and the
// terminal's text area in cells and, where the terminal tells, in pixels
// (0 where it does not).
struct TerminalGrid {
  int panel_columns_ = 0, panel_rows_ = 0;
  int columns_ = 0, rows_ = 0;
  int pixel_width_ = 0, pixel_height_ = 0;
};

// The terminal's window as the desktop shows it: the window that holds the
// text, on the screen, and the part of it that is a client-side shadow
// (zeros for a window that draws none).
struct TerminalOnScreen {
  ScreenRect window_;
  Extents shadow_;
};

// True when the two rectangles share a pixel.
bool Overlap(const ScreenRect& a, const ScreenRect& b);

// The panel's rectangle on the screen: it begins at the window's visible
// top-left. Whatever the window holds beyond a text area it tells (a header
// bar, a menu bar, tabs, padding) may lie before the panel, so it is
// counted in; where the terminal tells nothing, the cells are taken as
// large as the window allows and room is added for such bars, so that the
// estimate errs toward a larger panel, never a smaller one.
ScreenRect PanelOnScreen(const TerminalOnScreen& terminal, const TerminalGrid& grid);

// One monitor of the desk: the whole of it, and the part that windows may
// use (without the desk's bars; empty where the desk publishes none for
// this monitor).
struct Monitor {
  ScreenRect bounds_;
  ScreenRect usable_;
};

// The part of `m` that windows may use: its usable area, or its bounds
// where the desk publishes none.
const ScreenRect& UsableArea(const Monitor& m);

// True when `inner` lies wholly within `outer`.
bool Inside(const ScreenRect& inner, const ScreenRect& outer);

// The index of the monitor that holds `point`, or `otherwise`.
int MonitorAt(ScreenPoint point, std::span<const Monitor> monitors, int otherwise);

// Where a desk puts a window whose frame is asked for at `frame`: on the
// monitor that holds the frame's top-left corner (else the one it overlaps
// most, else the first), moved as little as it takes into that monitor's
// usable area, or into its bounds where that area is empty. A desk keeps a
// new window on some screen, so a frame asked for off every screen lands
// elsewhere, and it is there that it must leave the panel clear.
ScreenRect WhereItLands(const ScreenRect& frame, std::span<const Monitor> monitors);

// The outer top-left corner for a window whose frame, at its usual corner,
// is `frame`. With the panel known (`panel` not null): where that frame
// lands, when it leaves the panel clear there; else right of the panel with
// `gap` pixels between, top aligned with it; if the desk would not keep it
// there, below the panel; failing that, the far corner of the panel's
// monitor. With the panel's place unknown, the far corner of monitor
// `home`, the one the terminal is most likely on, straight away: a
// terminal's panel is at its top-left, so the bottom-right corner is the
// one place it never is, whether the terminal is maximized, snapped to
// either half or centred.
ScreenPoint ChooseCorner(const ScreenRect& frame, const ScreenRect* panel,
                         std::span<const Monitor> monitors, int home, int gap);

}  // namespace glimmet
