// The picture being drawn: colour and depth per pixel, and the screen points
// the drawing functions take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A point on the screen: x to the right and y downward in pixels, (0, 0) the
// top-left corner of the image, so pixel (i, j) covers [i, i+1) x [j, j+1)
// and its centre is (i + 0.5, j + 0.5). depth grows away from the viewer.
struct ScreenPoint {
  float x = 0, y = 0, depth = 0;
};

// Straight (not premultiplied) colour.
struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 0;
  bool operator==(const Rgba&) const = default;
};

struct RasterImage {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;  // width * height * 4, rows top to bottom
  std::vector<float> depth;   // width * height; +infinity where nothing is drawn
};

// A transparent image (every byte 0) with every depth at +infinity. Width and
// height below 0 count as 0.
RasterImage MakeRasterImage(int width, int height);

// Writes `colour` at pixel index `index` (y * width + x).
inline void PutPixel(RasterImage& image, size_t index, Rgba colour) {
  uint8_t* p = image.rgba.data() + index * 4;
  p[0] = colour.r;
  p[1] = colour.g;
  p[2] = colour.b;
  p[3] = colour.a;
}
