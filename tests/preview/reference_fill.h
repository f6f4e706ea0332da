// The filling's rules written plainly, to check the fast paths against:
// every centre of the triangle's box is tested with its edge functions
// evaluated from scratch, and the depth plane is worked out up front.
// Returns the number of centres tested, as FillTriangle does.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "preview/raster_image.h"
#include "preview/triangle_fill.h"

inline int64_t ReferenceFill(RasterImage& image, ScreenPoint a, ScreenPoint b, ScreenPoint c, Rgba colour) {
  ScreenPoint p[3] = {a, b, c};
  for (const ScreenPoint& q : p)
    if (!(std::fabs(q.x) <= kGuardBandPixels && std::fabs(q.y) <= kGuardBandPixels && std::isfinite(q.depth))) return 0;
  // Nearest 1/256 pixel, halves rounded up.
  int64_t x[3], y[3];
  for (int k = 0; k < 3; ++k) {
    x[k] = static_cast<int64_t>(std::floor(static_cast<double>(p[k].x) * 256 + 0.5));
    y[k] = static_cast<int64_t>(std::floor(static_cast<double>(p[k].y) * 256 + 0.5));
  }
  int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
  if (area == 0) return 0;
  if (area < 0) {
    std::swap(x[1], x[2]), std::swap(y[1], y[2]), std::swap(p[1], p[2]);
    area = -area;
  }
  // The centres (i + 0.5, j + 0.5) within the corners' box and the image.
  const auto firstCentre = [](int64_t low) { return static_cast<int>(std::ceil((low - 128) / 256.0)); };
  const auto lastCentre = [](int64_t high) { return static_cast<int>(std::floor((high - 128) / 256.0)); };
  const int x0 = std::max(0, firstCentre(std::min({x[0], x[1], x[2]})));
  const int x1 = std::min(image.width - 1, lastCentre(std::max({x[0], x[1], x[2]})));
  const int y0 = std::max(0, firstCentre(std::min({y[0], y[1], y[2]})));
  const int y1 = std::min(image.height - 1, lastCentre(std::max({y[0], y[1], y[2]})));
  if (x0 > x1 || y0 > y1) return 0;

  const double d1x = (x[1] - x[0]) / 256.0, d1y = (y[1] - y[0]) / 256.0;
  const double d2x = (x[2] - x[0]) / 256.0, d2y = (y[2] - y[0]) / 256.0;
  const double z1 = double{p[1].depth} - p[0].depth, z2 = double{p[2].depth} - p[0].depth;
  const double det = static_cast<double>(area) / 256.0 / 256.0;
  const double dzdx = (z1 * d2y - z2 * d1y) / det, dzdy = (z2 * d1x - z1 * d2x) / det;
  const double startX = (x0 * 256 + 128 - x[0]) / 256.0, startY = (y0 * 256 + 128 - y[0]) / 256.0;

  for (int j = y0; j <= y1; ++j)
    for (int i = x0; i <= x1; ++i) {
      const int64_t sx = i * 256 + 128, sy = j * 256 + 128;
      bool inside = true;
      for (int k = 0; k < 3; ++k) {
        const int from = (k + 1) % 3, to = (k + 2) % 3;
        const int64_t dx = x[to] - x[from], dy = y[to] - y[from];
        const int64_t value = dx * (sy - y[from]) - dy * (sx - x[from]);
        // On the edge itself a centre is inside only for a top or left edge.
        const bool topLeft = dy < 0 || (dy == 0 && dx > 0);
        inside = inside && (value > 0 || (value == 0 && topLeft));
      }
      if (!inside) continue;
      const double rowStart = double{p[0].depth} + dzdy * (startY + (j - y0)) + dzdx * startX;
      const float z = static_cast<float>(rowStart + dzdx * (i - x0));
      const size_t index = static_cast<size_t>(j) * static_cast<size_t>(image.width) + static_cast<size_t>(i);
      if (z < image.depth[index]) {
        image.depth[index] = z;
        PutPixel(image, index, colour);
      }
    }
  return int64_t{x1 - x0 + 1} * (y1 - y0 + 1);
}
