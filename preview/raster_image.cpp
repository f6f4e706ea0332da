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
