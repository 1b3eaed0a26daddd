// Putting the picture into an SDL window's format.
#include "view/picture-posix.h"

#include <SDL.h>

#include <cstring>

namespace glimmet {

namespace {

// The mask's own width gives the levels: SDL's loss cannot tell a 10-bit
// component from an 8-bit one.
void FillLevels(std::array<std::uint32_t, 256>& levels, std::uint32_t mask, std::uint8_t shift) {
  const std::uint32_t top = mask >> shift;
  for (std::uint32_t c = 0; c < 256; ++c)
    levels[c] = (((c * top + 127) / 255) << shift) & mask;
}

bool IsXrgb(const SDL_PixelFormat& f) {
  return f.BytesPerPixel == 4 && f.Rmask == 0xFF0000 && f.Gmask == 0xFF00 && f.Bmask == 0xFF &&
         f.Amask == 0;
}
bool IsXbgr(const SDL_PixelFormat& f) {
  return f.BytesPerPixel == 4 && f.Rmask == 0xFF && f.Gmask == 0xFF00 && f.Bmask == 0xFF0000 &&
         f.Amask == 0;
}

// Any other target, through SDL's blit from a surface over the picture's
// pixels, made and freed here, on the window thread; SDL's software
// scaling takes the nearest pixel, never a blend.
bool BlitTo(const Picture& picture, SDL_Surface* target, int scale) {
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
      picture.Pixels(), picture.Width(), picture.Height(), 32,
      static_cast<int>(picture.Stride() * 4), SDL_PIXELFORMAT_XBGR8888);
  if (source == nullptr) return false;
  SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);  // copied as it stands
  SDL_Rect to{0, 0, picture.Width() * scale, picture.Height() * scale};
  const bool copied = scale == 1 ? SDL_BlitSurface(source, nullptr, target, nullptr) == 0
                                 : SDL_BlitScaled(source, nullptr, target, &to) == 0;
  SDL_FreeSurface(source);
  return copied;
}

}  // namespace

// Each picture row goes to the first row of its band, and is scaled up
// there.
bool SurfaceCopy::Copy(const Picture& picture, SDL_Surface* target, int scale) {
  const SDL_PixelFormat& f = *target->format;
  if (target->w < picture.Width() * scale || target->h < picture.Height() * scale ||
      SDL_MUSTLOCK(target) || f.BytesPerPixel != 4 || target->pitch % 4 != 0)
    return BlitTo(picture, target, scale);
  const bool swap = IsXrgb(f);
  if (!swap && !IsXbgr(f)) {
    CopyConverted(picture, target, scale);
    return true;
  }
  auto* to = static_cast<unsigned char*>(target->pixels);
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint32_t* from = picture.Pixels() + y * picture.Stride();
    auto* row = reinterpret_cast<std::uint32_t*>(to + y * scale * target->pitch);
    if (swap) SwapRedBlue(from, row, picture.Width());
    else std::memcpy(row, from, picture.Width() * 4u);
    ScaleRowUp(row, target->pitch / 4, picture.Width(), scale);
  }
  return true;
}

// Any other 32-bit format, level by level.
void SurfaceCopy::CopyConverted(const Picture& picture, SDL_Surface* target, int scale) {
  const SDL_PixelFormat& f = *target->format;
  if (levels_format_ != f.format) {
    FillLevels(red_, f.Rmask, f.Rshift);
    FillLevels(green_, f.Gmask, f.Gshift);
    FillLevels(blue_, f.Bmask, f.Bshift);
    levels_format_ = f.format;
  }
  auto* to = static_cast<unsigned char*>(target->pixels);
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint32_t* from = picture.Pixels() + y * picture.Stride();
    auto* row = reinterpret_cast<std::uint32_t*>(to + y * scale * target->pitch);
    for (int x = 0; x < picture.Width(); ++x) {
      const std::uint32_t c = from[x];
      row[x] = red_[c & 255] | green_[c >> 8 & 255] | blue_[c >> 16 & 255] | f.Amask;
    }
    ScaleRowUp(row, target->pitch / 4, picture.Width(), scale);
  }
}

}  // namespace glimmet
