// Putting a view window's picture into an SDL window's framebuffer, in the
// framebuffer's own format, the nearest that format can hold. Used by the
// window thread only.
#pragma once

#include <array>
#include <cstdint>

#include "view/picture.h"

struct SDL_Surface;

namespace glimmet {

class SurfaceCopy {
 public:
  // Copies the whole picture into `target` at (0, 0), each pixel a square
  // `scale` pixels wide; false when SDL could not.
  bool Copy(const Picture& picture, SDL_Surface* target, int scale = 1);

 private:
  void CopyConverted(const Picture& picture, SDL_Surface* target, int scale);
  // For 32-bit targets other than the usual two: each component's value in
  // the format last copied to, the nearest level it can hold.
  std::uint32_t levels_format_ = 0;
  std::array<std::uint32_t, 256> red_{}, green_{}, blue_{};
};

}  // namespace glimmet
