// The off-screen picture of a view window: width by height pixels holding
// the plotted colours as they are, red in the low byte, so that a plot is a
// plain store. Each colour is put into the window's own format on the way
// to the window, the nearest that format can hold. Pixels are written by
// the program thread and copied to the window by the window thread;
// RedrawView orders the two.
#pragma once

#include <cstddef>
#include <cstdint>

#include "automaton/colour.h"

namespace glimmet {

// Copies `count` colours, red and blue changing places: from the picture's
// order to that of XRGB displays and Windows bitmaps, and back.
void SwapRedBlue(const std::uint32_t* from, std::uint32_t* to, int count);

// Makes the first `width` pixels of `row` a band `scale` pixels high of
// pixels `scale` wide: each pixel repeated across, then the row copied
// into the `scale` - 1 rows below it, `stride` pixels apart.
void ScaleRowUp(std::uint32_t* row, std::ptrdiff_t stride, int width, int scale);

class Picture {
 public:
  // Filled with `background`; null when there is no memory for it.
  static Picture* Create(int width, int height, Colour background);
  ~Picture();
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  std::uint32_t* Pixels() const { return pixels_; }
  std::ptrdiff_t Stride() const { return stride_; }

  // Copies the whole picture into 32-bit rows of `stride` pixels in XRGB
  // order, as a Windows bitmap holds them, each pixel a square `scale`
  // pixels wide. (Each platform's window file has its own copy for its own
  // format.)
  void CopyToXrgb(std::uint32_t* target, std::ptrdiff_t stride, int scale = 1) const;

 private:
  Picture() = default;

  std::uint32_t* pixels_ = nullptr;
  std::ptrdiff_t stride_ = 0;  // in pixels
  int width_ = 0;
  int height_ = 0;
};

}  // namespace glimmet
