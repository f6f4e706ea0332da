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

#include "preview/raster_image.h"

inline constexpr float kGuardBandPixels = 65536;

void FillTriangle(RasterImage& image, ScreenPoint a, ScreenPoint b, ScreenPoint c, Rgba colour);

// FillTriangle with the triangle's FlatShade colour, worked out only when
// the triangle has an area and a pixel centre within its bounding rectangle.
void DrawFlatTriangle(RasterImage& image, ScreenPoint a, ScreenPoint b, ScreenPoint c);
