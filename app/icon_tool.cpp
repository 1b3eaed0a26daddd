// glimmet2-icon: writes the program's icon, the picture that IconPicture
// grows, as a binary PPM of the given size in pixels (nearest cell, no
// smoothing, so each cell stays a crisp square) or as an SVG with one
// rectangle per run of equal cells. scripts/make-icons turns these into the
// icon theme's files.
//
// Usage: glimmet2-icon ppm SIZE > icon.ppm
//        glimmet2-icon svg > icon.svg
#include <cstdio>
#include <cstdlib>
#include <string>

#include "automaton/icon.h"

namespace {

constexpr int kCells = 32;

int Red(glimmet::Colour c) { return c & 255; }
int Green(glimmet::Colour c) { return c >> 8 & 255; }
int Blue(glimmet::Colour c) { return c >> 16 & 255; }

void WritePpm(int size) {
  const auto picture = glimmet::IconPicture(kCells);
  std::printf("P6\n%d %d\n255\n", size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const glimmet::Colour c = picture[(y * kCells / size) * kCells + x * kCells / size];
      std::putchar(Red(c));
      std::putchar(Green(c));
      std::putchar(Blue(c));
    }
}

void WriteSvg() {
  const auto picture = glimmet::IconPicture(kCells);
  std::printf("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"128\" height=\"128\" "
              "viewBox=\"0 0 %d %d\" shape-rendering=\"crispEdges\">\n",
              kCells, kCells);
  for (int y = 0; y < kCells; ++y)
    for (int x = 0; x < kCells;) {
      const glimmet::Colour c = picture[y * kCells + x];
      int run = 1;
      while (x + run < kCells && picture[y * kCells + x + run] == c) ++run;
      std::printf("<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"1\" fill=\"#%02x%02x%02x\"/>\n",
                  x, y, run, Red(c), Green(c), Blue(c));
      x += run;
    }
  std::printf("</svg>\n");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string kind = argc > 1 ? argv[1] : "";
  if (kind == "ppm" && argc > 2 && std::atoi(argv[2]) > 0) {
    WritePpm(std::atoi(argv[2]));
    return 0;
  }
  if (kind == "svg") {
    WriteSvg();
    return 0;
  }
  std::fprintf(stderr, "usage: glimmet2-icon ppm SIZE | glimmet2-icon svg\n");
  return 2;
}
