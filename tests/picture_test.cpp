// The picture on its way to the window: in every kind of framebuffer a
// display may give, at every whole-number scale, each plotted colour
// arrives as the nearest colour that framebuffer can hold, a square of the
// scale's size, and the rest of the framebuffer is left alone.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <tuple>
#include <vector>

#include "view/picture-posix.h"

namespace glimmet {
namespace {

// Seven columns, so that the four-at-a-time copy has a tail to finish.
constexpr int kWidth = 7, kHeight = 3;

struct FreeSurface {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using Surface = std::unique_ptr<SDL_Surface, FreeSurface>;

std::vector<Colour> Colours() {
  std::vector<Colour> colours;
  for (int i = 0; i < kWidth * kHeight; ++i)
    colours.push_back((i * 0x2F1D0B + 0x0A1B2C) & 0xFFFFFF);
  colours[0] = 0x000000;
  colours[1] = 0xFFFFFF;
  colours[2] = 0x0000FF;
  colours[3] = 0xFF0000;
  return colours;
}

// The largest level of a component.
double Top(Uint32 mask, Uint8 shift) { return mask >> shift; }

// One component of a pixel on the 0-255 scale.
double Level(Uint32 pixel, Uint32 mask, Uint8 shift) {
  return ((pixel & mask) >> shift) * 255.0 / Top(mask, shift);
}

class PictureTest : public ::testing::TestWithParam<std::tuple<Uint32, int>> {};

TEST_P(PictureTest, EachColourArrivesAsTheNearestTheFormatHolds) {
  std::unique_ptr<Picture> picture(Picture::Create(kWidth, kHeight, 0));
  ASSERT_TRUE(picture) << SDL_GetError();
  const std::vector<Colour> colours = Colours();
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      picture->Pixels()[y * picture->Stride() + x] = colours[y * kWidth + x];

  // A framebuffer wider than the picture: its last column must stay.
  const auto [format, scale] = GetParam();
  const int width = kWidth * scale, height = kHeight * scale;
  Surface target(SDL_CreateRGBSurfaceWithFormat(0, width + 1, height, 32, format));
  ASSERT_TRUE(target) << SDL_GetError();
  SDL_FillRect(target.get(), nullptr, SDL_MapRGB(target->format, 1, 2, 3));
  SurfaceCopy copy;
  ASSERT_TRUE(copy.Copy(*picture, target.get(), scale));

  const SDL_PixelFormat& f = *target->format;
  const int bytes = f.BytesPerPixel;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x <= width; ++x) {
      Uint32 pixel = 0;
      std::memcpy(&pixel, static_cast<Uint8*>(target->pixels) + y * target->pitch + x * bytes,
                  bytes);
      if (x == width) {
        EXPECT_EQ(pixel, SDL_MapRGB(target->format, 1, 2, 3)) << "beyond the picture, row " << y;
        continue;
      }
      const Colour c = colours[y / scale * kWidth + x / scale];
      const double want[3] = {double(c & 255), double(c >> 8 & 255), double(c >> 16 & 255)};
      const double got[3] = {Level(pixel, f.Rmask, f.Rshift), Level(pixel, f.Gmask, f.Gshift),
                             Level(pixel, f.Bmask, f.Bshift)};
      const double tops[3] = {Top(f.Rmask, f.Rshift), Top(f.Gmask, f.Gshift),
                              Top(f.Bmask, f.Bshift)};
      for (int k = 0; k < 3; ++k) {
        // Half a step of the format either way; SDL's own conversion of the
        // formats it handles alone truncates, up to a whole step.
        const double step = 255.0 / tops[k];
        const double allowed = bytes == 4 ? step / 2 : step;
        EXPECT_LE(std::abs(got[k] - want[k]), allowed + 1e-9)
            << "pixel " << x << "," << y << " component " << k;
      }
      if (f.Amask != 0) {
        EXPECT_EQ(pixel & f.Amask, f.Amask) << "not opaque";
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PictureTest,
    ::testing::Combine(::testing::Values(SDL_PIXELFORMAT_RGB888, SDL_PIXELFORMAT_BGR888,
                                         SDL_PIXELFORMAT_ARGB8888, SDL_PIXELFORMAT_ARGB2101010,
                                         SDL_PIXELFORMAT_RGB565, SDL_PIXELFORMAT_RGB24),
                       ::testing::Values(1, 2, 3)));

}  // namespace
}  // namespace glimmet
