// From the model's space to the screen, and the preview's fixed camera.
#pragma once

#include "preview/raster_image.h"

// An affine map from model space to screen space (see ScreenPoint): rows give
// screen x, screen y and depth; column 3 translates. Double, so that framing
// a model of any finite float magnitude neither overflows nor loses its
// shape.
struct ViewTransform {
  double m[3][4] = {};
};

// Inline: a large model projects millions of corners.
inline ScreenPoint ProjectPoint(const ViewTransform& view, float x, float y, float z) {
  const double px = x, py = y, pz = z;
  const auto row = [&](const double* r) { return static_cast<float>(r[0] * px + r[1] * py + r[2] * pz + r[3]); };
  return ScreenPoint{row(view.m[0]), row(view.m[1]), row(view.m[2])};
}

// The axis-aligned box of a set of points. Empty until a point is added.
struct SceneBox {
  float min[3] = {0, 0, 0}, max[3] = {0, 0, 0};
  bool empty = true;
  void Add(float x, float y, float z);
};

// The preview's camera for a model whose drawn content lies in `box`
// (Z up): orthographic, looking along -(cos30 cos45, cos30 sin45, sin30),
// from the model's front (+X), its left (+Y) and above (+Z), with the image's
// up along the projection of +Z (so +X ends toward the lower left, +Y toward
// the lower right). The box's 8 corners projected fit the size x size image
// with a margin of size / 16 on each side, centred, one scale for both axes.
// A box that projects to a single point (a point model) is drawn at the
// centre at scale 0; nothing divides by zero. Depth is in the same units as
// x and y.
ViewTransform ThreeQuarterView(const SceneBox& box, int size);

// Where a model-space point lies on that camera's image plane, before the
// scale and centring of a frame: along the image's right and down.
struct PlanePoint {
  double right = 0, down = 0;
  bool operator==(const PlanePoint&) const = default;
};
PlanePoint OnCameraPlane(float x, float y, float z);
