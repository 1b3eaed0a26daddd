// The picture in memory of its own on Windows, where the window thread
// copies it into the window's bitmap.
#include "view/picture.h"

#include <new>

namespace glimmet {

Picture* Picture::Create(int width, int height, Colour background) {
  if (width <= 0 || height <= 0) return nullptr;
  auto* pixels = new (std::nothrow) std::uint32_t[static_cast<std::size_t>(width) * height];
  if (pixels == nullptr) return nullptr;
  Picture* picture = new (std::nothrow) Picture;
  if (picture == nullptr) {
    delete[] pixels;
    return nullptr;
  }
  picture->pixels_ = pixels;
  picture->stride_ = width;
  picture->width_ = width;
  picture->height_ = height;
  for (int i = 0; i < width * height; ++i) pixels[i] = static_cast<std::uint32_t>(background);
  return picture;
}

Picture::~Picture() { delete[] pixels_; }

}  // namespace glimmet
