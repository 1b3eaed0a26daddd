// The picture, the same on every platform, and the swap of red and blue that
// puts it into the format of most displays and of Windows bitmaps.
#include "view/picture.h"

#include <cstring>
#include <new>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace glimmet {

// Red and blue change places, four pixels at a time where SSE2 allows:
// the format of most displays from the picture's.
void SwapRedBlue(const std::uint32_t* from, std::uint32_t* to, int count) {
  int i = 0;
#ifdef __SSE2__
  const __m128i green = _mm_set1_epi32(0x00FF00), red = _mm_set1_epi32(0xFF0000),
                blue = _mm_set1_epi32(0x0000FF);
  for (; i + 4 <= count; i += 4) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
    const __m128i swapped =
        _mm_or_si128(_mm_and_si128(c, green),
                     _mm_or_si128(_mm_and_si128(_mm_slli_epi32(c, 16), red),
                                  _mm_and_si128(_mm_srli_epi32(c, 16), blue)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), swapped);
  }
#endif
  for (; i < count; ++i) {
    const std::uint32_t c = from[i];
    to[i] = (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
  }
}

// From the right, so that no pixel is overwritten before it is repeated.
void ScaleRowUp(std::uint32_t* row, std::ptrdiff_t stride, int width, int scale) {
  if (scale <= 1) return;
  for (int x = width - 1; x >= 0; --x)
    for (int i = scale - 1; i >= 0; --i) row[x * scale + i] = row[x];
  for (int i = 1; i < scale; ++i)
    std::memcpy(row + i * stride, row, static_cast<std::size_t>(width) * scale * 4);
}

void Picture::CopyToXrgb(std::uint32_t* target, std::ptrdiff_t stride, int scale) const {
  for (int y = 0; y < height_; ++y) {
    std::uint32_t* row = target + y * scale * stride;
    SwapRedBlue(pixels_ + y * stride_, row, width_);
    ScaleRowUp(row, stride, width_, scale);
  }
}

// In memory of its own, so that whichever thread lets it go last frees
// nothing of the window system.
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
