// Filled triangles with a depth test.
//
// Coverage: corners are snapped to 1/256 pixel, then a pixel is covered when
// its centre (i + 0.5, j + 0.5) lies inside the triangle. A centre exactly on
// an edge is covered only when that edge is a top edge (horizontal, the
// triangle below it) or a left edge (the triangle to its right): two
// triangles sharing an edge cover every pixel along it exactly once, with no
// gap. Coverage is decided in exact integer arithmetic.
//
// Depth: the depth at a covered pixel's centre is interpolated linearly
// across the triangle; the pixel is written (colour and depth) only when that
// depth is strictly smaller than the one already stored. The nearest surface
// wins whatever the drawing order; of two at exactly the same depth, the
// first drawn stays.
//
// A triangle draws nothing when a corner is not finite, lies farther than
// kGuardBandPixels from the image's corner along x or y, or when it has no
// area once snapped. Only pixels inside the image are ever touched.
#pragma once

#include <cmath>
#include <cstdint>

#include "preview/raster_image.h"

inline constexpr float kGuardBandPixels = 65536;
inline constexpr int kSubpixelBits = 8;  // corners are snapped to 1/256 pixel

// A corner ready to be filled: its screen point and that point snapped to
// 1/256 pixel. Snapping each vertex once, not once per triangle naming it,
// is most of the saving on a dense mesh.
struct FillCorner {
  ScreenPoint screen;
  int32_t x = 0, y = 0;  // 1/256 pixel
};

// The nearest 1/256 pixel. The offset makes the value positive, so
// truncation rounds down; within the guard band the result fits 25 bits, and
// a corner shared by two triangles snaps to the same point in both.
inline int32_t ToFixed(float v) {
  constexpr double kOffset = 1073741824.0;  // 2^30
  constexpr double kOnePixel = 1 << kSubpixelBits;
  return static_cast<int32_t>(static_cast<int64_t>(static_cast<double>(v) * kOnePixel + (kOffset + 0.5)) -
                              static_cast<int64_t>(kOffset));
}

// False when p cannot be a corner: not finite, or beyond the guard band.
// Inline: a large model's every vertex is made a corner.
inline bool MakeFillCorner(ScreenPoint p, FillCorner& out) {
  if (!(std::fabs(p.x) <= kGuardBandPixels && std::fabs(p.y) <= kGuardBandPixels && std::isfinite(p.depth)))
    return false;
  out = FillCorner{p, ToFixed(p.x), ToFixed(p.y)};
  return true;
}

// Each returns the number of pixel centres tested: those of the triangle's
// bounding rectangle within the image, 0 when it was left out before any.
int64_t FillTriangle(RasterImage& image, ScreenPoint a, ScreenPoint b, ScreenPoint c, Rgba colour);

// FillTriangle with the triangle's FlatShade colour, worked out only when a
// pixel of the triangle passes the depth test.
int64_t DrawFlatTriangle(RasterImage& image, const FillCorner& a, const FillCorner& b, const FillCorner& c);
int64_t DrawFlatTriangle(RasterImage& image, ScreenPoint a, ScreenPoint b, ScreenPoint c);
