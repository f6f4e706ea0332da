// One colour per triangle, from its orientation to the preview's light.
#pragma once

#include "preview/raster_image.h"

// The colour of the triangle a, b, c (screen points) under the light of
// preview_palette.h. Two-sided: the normal is turned toward the viewer
// whichever way the corners wind, so a triangle and its mirror-wound twin get
// the same colour. A triangle without a normal (its corners on one line)
// gets the colour of a face looking straight at the viewer. Opaque.
Rgba FlatShade(ScreenPoint a, ScreenPoint b, ScreenPoint c);

// The colour of a face whose unit normal, turned toward the viewer, is
// (x, y, depth) in screen axes.
Rgba ShadeForNormal(double x, double y, double depth);
