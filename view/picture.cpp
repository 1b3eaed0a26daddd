// Making the picture and its colour map.
#include "view/picture.h"

#include <SDL.h>

#include <cstring>

namespace glimmet {

namespace {

void FillLevels(std::array<std::uint32_t, 256>& levels, std::uint32_t mask,
                std::uint8_t shift, std::uint8_t loss) {
  const std::uint32_t top = 255u >> loss;
  for (std::uint32_t c = 0; c < 256; ++c)
    levels[c] = (((c * top + 127) / 255) << shift) & mask;
}

}  // namespace

Picture* Picture::Create(int width, int height, std::uint32_t sdl_format,
                         Colour background) {
  if (SDL_BYTESPERPIXEL(sdl_format) != 4 || SDL_ISPIXELFORMAT_INDEXED(sdl_format))
    sdl_format = SDL_PIXELFORMAT_RGB888;
  SDL_Surface* surface =
      SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, sdl_format);
  if (surface == nullptr) return nullptr;
  // The picture is copied as it stands, never blended.
  SDL_SetSurfaceBlendMode(surface, SDL_BLENDMODE_NONE);
  Picture* picture = new Picture;
  picture->surface_ = surface;
  picture->pixels_ = static_cast<std::uint32_t*>(surface->pixels);
  picture->stride_ = surface->pitch / 4;
  picture->width_ = width;
  picture->height_ = height;
  const SDL_PixelFormat* f = surface->format;
  FillLevels(picture->red_, f->Rmask, f->Rshift, f->Rloss);
  FillLevels(picture->green_, f->Gmask, f->Gshift, f->Gloss);
  FillLevels(picture->blue_, f->Bmask, f->Bshift, f->Bloss);
  picture->alpha_ = f->Amask;
  picture->xrgb_ = f->Rmask == 0xFF0000 && f->Gmask == 0xFF00 && f->Bmask == 0xFF && f->Amask == 0;
  const std::uint32_t fill = picture->Map(background);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) picture->Set(x, y, fill);
  return picture;
}

bool Picture::CopyTo(SDL_Surface* target) const {
  if (target->format->format != surface_->format->format || target->w < width_ ||
      target->h < height_ || SDL_MUSTLOCK(target))
    return SDL_BlitSurface(surface_, nullptr, target, nullptr) == 0;
  auto* to = static_cast<unsigned char*>(target->pixels);
  const auto* from = static_cast<const unsigned char*>(surface_->pixels);
  for (int y = 0; y < height_; ++y)
    std::memcpy(to + y * target->pitch, from + y * surface_->pitch, width_ * 4u);
  return true;
}

Picture::~Picture() { SDL_FreeSurface(surface_); }

}  // namespace glimmet
