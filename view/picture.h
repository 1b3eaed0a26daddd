// The off-screen picture of a view window: width by height pixels held in
// the window's own pixel format, so that showing it is a plain copy. Pixels
// are written by the program thread and copied to the window by the window
// thread; RedrawView orders the two.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "automaton/colour.h"

struct SDL_Surface;

namespace glimmet {

class Picture {
 public:
  // A picture in the given SDL pixel format if it has 32-bit pixels, else
  // in XRGB8888 (SDL converts it on the copy). Filled with `background`.
  // Returns null, with SDL's reason in SDL_GetError, when SDL cannot make it.
  static Picture* Create(int width, int height, std::uint32_t sdl_format,
                         Colour background);
  ~Picture();
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  SDL_Surface* Surface() const { return surface_; }
  std::uint32_t* Pixels() const { return pixels_; }
  std::ptrdiff_t Stride() const { return stride_; }

  // The colour in the picture's format, each component the nearest level
  // the format can hold.
  std::uint32_t Map(Colour colour) const {
    const auto c = static_cast<std::uint32_t>(colour);
    if (xrgb_) return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
    return red_[c & 255] | green_[c >> 8 & 255] | blue_[c >> 16 & 255] | alpha_;
  }
  // Copies the whole picture into `target` at (0, 0): row by row when the
  // formats agree (SDL's general blit is several times slower here).
  bool CopyTo(SDL_Surface* target) const;

  void Set(int x, int y, std::uint32_t pixel) { pixels_[y * stride_ + x] = pixel; }
  std::uint32_t Get(int x, int y) const { return pixels_[y * stride_ + x]; }

 private:
  Picture() = default;

  SDL_Surface* surface_ = nullptr;
  std::uint32_t* pixels_ = nullptr;
  std::ptrdiff_t stride_ = 0;  // in pixels
  int width_ = 0;
  int height_ = 0;
  std::array<std::uint32_t, 256> red_{}, green_{}, blue_{};
  std::uint32_t alpha_ = 0;
  bool xrgb_ = false;  // 8 bits a component, red at bit 16: most displays
};

}  // namespace glimmet
