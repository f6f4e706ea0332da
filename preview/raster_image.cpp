#include "preview/raster_image.h"

#include <limits>

RasterImage MakeRasterImage(int width, int height) {
  RasterImage image;
  image.width = width > 0 ? width : 0;
  image.height = height > 0 ? height : 0;
  const size_t pixels = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
  image.rgba.assign(pixels * 4, 0);
  image.depth.assign(pixels, std::numeric_limits<float>::infinity());
  return image;
}

Rgba PixelAt(const RasterImage& image, int x, int y) {
  const uint8_t* p = image.rgba.data() + (static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)) * 4;
  return Rgba{p[0], p[1], p[2], p[3]};
}
