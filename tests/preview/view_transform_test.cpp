#include "preview/view_transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

SceneBox Box(float x0, float y0, float z0, float x1, float y1, float z1) {
  SceneBox box;
  box.Add(x0, y0, z0);
  box.Add(x1, y1, z1);
  return box;
}

struct Extent {
  double minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300;
};

Extent ProjectedCorners(const ViewTransform& view, const SceneBox& box) {
  Extent e;
  for (int corner = 0; corner < 8; ++corner) {
    const ScreenPoint p = ProjectPoint(view, (corner & 1) ? box.max[0] : box.min[0],
                                       (corner & 2) ? box.max[1] : box.min[1], (corner & 4) ? box.max[2] : box.min[2]);
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.depth));
    e.minX = std::min<double>(e.minX, p.x);
    e.maxX = std::max<double>(e.maxX, p.x);
    e.minY = std::min<double>(e.minY, p.y);
    e.maxY = std::max<double>(e.maxY, p.y);
  }
  return e;
}

// The corners fill the image less its margin of size / 16 along one axis,
// lie within it along the other, and are centred on both.
void ExpectFramed(const SceneBox& box, int size) {
  const ViewTransform view = ThreeQuarterView(box, size);
  const Extent e = ProjectedCorners(view, box);
  const double margin = size / 16.0, tolerance = 1e-3;
  EXPECT_GE(e.minX, margin - tolerance);
  EXPECT_GE(e.minY, margin - tolerance);
  EXPECT_LE(e.maxX, size - margin + tolerance);
  EXPECT_LE(e.maxY, size - margin + tolerance);
  EXPECT_NEAR(std::max(e.maxX - e.minX, e.maxY - e.minY), size - 2 * margin, tolerance);
  EXPECT_NEAR((e.minX + e.maxX) / 2, size / 2.0, tolerance);
  EXPECT_NEAR((e.minY + e.maxY) / 2, size / 2.0, tolerance);
}

TEST(ThreeQuarterView, FramesTheBoxCentredWithTheMargin) {
  ExpectFramed(Box(-1, -1, -1, 1, 1, 1), 256);
  ExpectFramed(Box(10, 20, 30, 11, 20.5f, 90), 64);     // tall
  ExpectFramed(Box(-500, 0, 0, 500, 3, 0.25f), 100);    // long and thin
  ExpectFramed(Box(0, 0, 0, 5, 5, 0), 16);              // flat
  ExpectFramed(Box(-3e38f, -3e38f, -3e38f, 3e38f, 3e38f, 3e38f), 4096);  // the largest floats
  ExpectFramed(Box(1e-40f, 0, 0, 3e-40f, 0, 0), 256);  // denormal extent
}

TEST(ThreeQuarterView, LooksFromFrontLeftAndAboveWithZUp) {
  const ViewTransform view = ThreeQuarterView(Box(-1, -1, -1, 1, 1, 1), 256);
  const ScreenPoint origin = ProjectPoint(view, 0, 0, 0);
  const ScreenPoint up = ProjectPoint(view, 0, 0, 1), front = ProjectPoint(view, 1, 0, 0),
                    left = ProjectPoint(view, 0, 1, 0);
  // +Z points straight up the image.
  EXPECT_NEAR(up.x, origin.x, 1e-4);
  EXPECT_LT(up.y, origin.y);
  // +X (the front) toward the lower left, +Y (the model's left) toward the
  // lower right, mirror images of each other.
  EXPECT_LT(front.x, origin.x);
  EXPECT_GT(left.x, origin.x);
  EXPECT_GT(front.y, origin.y);
  EXPECT_NEAR(front.y, left.y, 1e-4);
  EXPECT_NEAR(front.x - origin.x, origin.x - left.x, 1e-4);
  // The camera sits along (cos30 cos45, cos30 sin45, sin30): that direction
  // projects onto the origin's pixel, nearer to the viewer.
  const float c30c45 = static_cast<float>(std::sqrt(3.0) / 2 * std::sqrt(0.5));
  const ScreenPoint toCamera = ProjectPoint(view, c30c45, c30c45, 0.5f);
  EXPECT_NEAR(toCamera.x, origin.x, 1e-4);
  EXPECT_NEAR(toCamera.y, origin.y, 1e-4);
  EXPECT_LT(toCamera.depth, origin.depth);
}

TEST(ThreeQuarterView, KeepsLengthsAndAnglesOneScaleForAllAxes) {
  const ViewTransform view = ThreeQuarterView(Box(0, 0, 0, 2, 3, 4), 128);
  const ScreenPoint o = ProjectPoint(view, 0, 0, 0);
  double length[3];
  ScreenPoint axis[3];
  for (int a = 0; a < 3; ++a) {
    axis[a] = ProjectPoint(view, a == 0 ? 1.0f : 0.0f, a == 1 ? 1.0f : 0.0f, a == 2 ? 1.0f : 0.0f);
    const double dx = axis[a].x - o.x, dy = axis[a].y - o.y, dd = axis[a].depth - o.depth;
    length[a] = std::sqrt(dx * dx + dy * dy + dd * dd);
  }
  EXPECT_NEAR(length[0], length[1], 1e-3);
  EXPECT_NEAR(length[0], length[2], 1e-3);
  for (int a = 0; a < 3; ++a) {
    const int b = (a + 1) % 3;
    const double dot = (axis[a].x - o.x) * (axis[b].x - o.x) + (axis[a].y - o.y) * (axis[b].y - o.y) +
                       (axis[a].depth - o.depth) * (axis[b].depth - o.depth);
    EXPECT_NEAR(dot, 0, 1e-3);
  }
}

TEST(ThreeQuarterView, APointOrAnEmptyBoxLandsAtTheCentre) {
  SceneBox empty;
  for (const SceneBox& box : {Box(7, -2, 1e30f, 7, -2, 1e30f), empty}) {
    const ViewTransform view = ThreeQuarterView(box, 64);
    const ScreenPoint p = ProjectPoint(view, box.min[0], box.min[1], box.min[2]);
    EXPECT_FLOAT_EQ(p.x, 32);
    EXPECT_FLOAT_EQ(p.y, 32);
    for (const auto& row : view.m)
      for (const double v : row) EXPECT_TRUE(std::isfinite(v));
  }
}

}  // namespace
