// The field window's corner beside the panel.
#include "view/placement.h"

namespace glimmet {

namespace {

bool Inside(const ScreenRect& r, const ScreenRect& area) {
  return r.x_ >= area.x_ && r.y_ >= area.y_ && r.x_ + r.width_ <= area.x_ + area.width_ &&
         r.y_ + r.height_ <= area.y_ + area.height_;
}

}  // namespace

bool Overlap(const ScreenRect& a, const ScreenRect& b) {
  return a.x_ < b.x_ + b.width_ && b.x_ < a.x_ + a.width_ && a.y_ < b.y_ + b.height_ &&
         b.y_ < a.y_ + a.height_;
}

ScreenPoint ChooseCorner(const ScreenRect& frame, const ScreenRect& panel,
                         const ScreenRect& work_area, int gap) {
  const ScreenPoint usual{frame.x_, frame.y_};
  if (!Overlap(frame, panel)) return usual;
  const ScreenRect right{panel.x_ + panel.width_ + gap, panel.y_, frame.width_, frame.height_};
  if (Inside(right, work_area)) return {right.x_, right.y_};
  const ScreenRect below{panel.x_, panel.y_ + panel.height_ + gap, frame.width_, frame.height_};
  if (Inside(below, work_area)) return {below.x_, below.y_};
  return usual;
}

}  // namespace glimmet
