// The colours and light of the preview picture.
#pragma once

#include "preview/raster_image.h"

// Surfaces: a neutral light grey, scaled by the light's intensity.
inline constexpr Rgba kSurfaceColour{208, 208, 208, 255};
// The edges of triangles that show no area: a darker grey.
inline constexpr Rgba kEdgeColour{128, 128, 128, 255};
// Bones, drawn when a model has no triangles: amber lines, red joints.
inline constexpr Rgba kBoneColour{255, 176, 0, 255};
inline constexpr Rgba kJointColour{200, 32, 32, 255};

// The direction toward the light in screen space (x right, y down, depth away
// from the viewer): from above, to the left of and behind the camera, so the
// faces turned toward the viewer are lit and the top, the left and the right
// side of a box read as three different greys. Unit length.
inline constexpr double kLightX = -0.3030457633656632;  // (-0.3, -0.5, -0.8) / 0.98994949...
inline constexpr double kLightY = -0.5050762722761053;
inline constexpr double kLightDepth = -0.8081220356417687;
// Intensity = ambient + diffuse * max(0, normal . light): a face turned away
// from the light keeps the ambient part, never black.
inline constexpr double kAmbient = 0.35;
inline constexpr double kDiffuse = 0.65;
