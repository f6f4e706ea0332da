// Images as character maps, so a test can write the pixels it expects as a
// small picture and a failure shows the two pictures.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "preview/raster_image.h"

// The colour at (x, y), which must be inside the image.
inline Rgba PixelAt(const RasterImage& image, int x, int y) {
  const uint8_t* p =
      image.rgba.data() + (static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)) * 4;
  return Rgba{p[0], p[1], p[2], p[3]};
}

using ColourLegend = std::vector<std::pair<Rgba, char>>;

// One line per row, each starting with '\n': '.' for a transparent pixel,
// the legend's character for its colours, '?' for any other.
inline std::string PixelMap(const RasterImage& image, const ColourLegend& legend) {
  std::string map;
  for (int y = 0; y < image.height; ++y) {
    map += '\n';
    for (int x = 0; x < image.width; ++x) {
      const Rgba colour = PixelAt(image, x, y);
      char c = colour.a == 0 ? '.' : '?';
      for (const auto& [known, letter] : legend)
        if (colour.a != 0 && known == colour) c = letter;
      map += c;
    }
  }
  return map;
}

// How many of `images` (all the same size) cover each pixel, as digits.
inline std::string CoverageMap(const std::vector<RasterImage>& images) {
  std::string map;
  for (int y = 0; y < images.front().height; ++y) {
    map += '\n';
    for (int x = 0; x < images.front().width; ++x) {
      int count = 0;
      for (const RasterImage& image : images) count += PixelAt(image, x, y).a != 0 ? 1 : 0;
      map += static_cast<char>('0' + count);
    }
  }
  return map;
}
