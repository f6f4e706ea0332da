#include "preview/raster_image.h"

#include <limits>

#include "io/large_pages.h"

RasterImage MakeRasterImage(int width, int height) {
  RasterImage image;
  image.width = width > 0 ? width : 0;
  image.height = height > 0 ? height : 0;
  const size_t pixels = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
  // A large picture is 20 bytes a pixel of fresh memory, all written here.
  image.rgba.reserve(pixels * 4);
  AdviseLargePages(image.rgba.data(), pixels * 4);
  image.rgba.assign(pixels * 4, 0);
  image.depth.reserve(pixels);
  AdviseLargePages(image.depth.data(), pixels * sizeof(float));
  image.depth.assign(pixels, std::numeric_limits<float>::infinity());
  return image;
}
