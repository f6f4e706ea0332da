// Lines and dots, for the bones of a model drawn without its surfaces.
#pragma once

#include "preview/raster_image.h"

// A line from a to b, clipped to the image: the pixels containing the points
// a + (b - a) k / n for k = 0..n, n the line's length in whole pixels along
// its longer axis (at least one pixel for any finite line, even of length 0).
// thickness 2 also draws the pixel after each one across the line's longer
// axis (below for a flat line, to the right for a steep one). Each pixel
// takes the depth interpolated along the line and is written only when that
// depth is smaller than the stored one, as triangles are. A line with a
// non-finite end draws nothing.
void DrawLine(RasterImage& image, ScreenPoint a, ScreenPoint b, int thickness, Rgba colour);

// A square dot of side x side pixels around the pixel holding (x, y), on top
// of everything (no depth test, the depth is left as it is). Clipped to the
// image; nothing for a non-finite point.
void DrawDot(RasterImage& image, float x, float y, int side, Rgba colour);
