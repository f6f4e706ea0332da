#include "preview/view_transform.h"

#include <algorithm>
#include <cmath>

void SceneBox::Add(float x, float y, float z) {
  const float p[3] = {x, y, z};
  for (int axis = 0; axis < 3; ++axis) {
    min[axis] = empty ? p[axis] : std::min(min[axis], p[axis]);
    max[axis] = empty ? p[axis] : std::max(max[axis], p[axis]);
  }
  empty = false;
}

namespace {

// Unit axes of the camera in model space, for azimuth 45 and elevation 30
// degrees: right, down (the negated projection of +Z) and forward (away from
// the viewer). right x down = forward, so the screen keeps the model's
// handedness and normals turn like the model.
// cos 30 = sqrt(3) / 2 and cos 45 = sin 45 = sqrt(0.5), each the double
// nearest its value.
constexpr double c30 = 0.8660254037844386, s30 = 0.5, c45 = 0.7071067811865476, s45 = c45;
constexpr double kAxes[3][3] = {
    {-s45, c45, 0},
    {s30 * c45, s30 * s45, -c30},
    {-c30 * c45, -c30 * s45, -s30},
};

}  // namespace

PlanePoint OnCameraPlane(float x, float y, float z) {
  return PlanePoint{kAxes[0][0] * x + kAxes[0][1] * y + kAxes[0][2] * z,
                    kAxes[1][0] * x + kAxes[1][1] * y + kAxes[1][2] * z};
}

ViewTransform ThreeQuarterView(const SceneBox& box, int size) {
  const auto& axes = kAxes;

  // The projected extent of the box's corners (the box itself may be empty:
  // it is then the point at the origin).
  double low[3], high[3];
  for (int row = 0; row < 3; ++row) {
    low[row] = high[row] = 0;
    for (int axis = 0; axis < 3; ++axis) {
      const double a = axes[row][axis] * box.min[axis], b = axes[row][axis] * box.max[axis];
      low[row] += std::min(a, b);
      high[row] += std::max(a, b);
    }
  }
  const double extent = std::max(high[0] - low[0], high[1] - low[1]);
  const double usable = size - 2 * (size / 16.0);
  const double scale = extent > 0 ? usable / extent : 0;

  ViewTransform view;
  for (int row = 0; row < 3; ++row) {
    for (int axis = 0; axis < 3; ++axis) view.m[row][axis] = axes[row][axis] * scale;
    // Centre x and y on the image; centre depth on 0.
    const double target = row < 2 ? size / 2.0 : 0.0;
    view.m[row][3] = target - scale * (low[row] + high[row]) / 2;
  }
  return view;
}
