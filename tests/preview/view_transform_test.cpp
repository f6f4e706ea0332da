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

TEST(ThreeQuarterView, FitsTheBoxCornersCentredInsideTheMarginOneScaleForBothAxes) {
  const struct {
    SceneBox box;
    int size;
  } cases[] = {
      {Box(-1, -1, -1, 1, 1, 1), 256},
      {Box(10, 20, 30, 11, 20.5f, 90), 64},  // tall
      {Box(-500, 0, 0, 500, 3, 0.25f), 100},
      {Box(0, 0, 0, 5, 5, 0), 16},                               // long, flat
      {Box(-3e38f, -3e38f, -3e38f, 3e38f, 3e38f, 3e38f), 4096},  // the largest floats
      {Box(1e-40f, 0, 0, 3e-40f, 0, 0), 256},                    // a denormal extent
  };
  for (const auto& [box, size] : cases) {
    const ViewTransform view = ThreeQuarterView(box, size);
    double minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300;
    for (int c = 0; c < 8; ++c) {
      const ScreenPoint p = ProjectPoint(view, (c & 1) ? box.max[0] : box.min[0], (c & 2) ? box.max[1] : box.min[1],
                                         (c & 4) ? box.max[2] : box.min[2]);
      ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.depth));
      minX = std::min<double>(minX, p.x), maxX = std::max<double>(maxX, p.x);
      minY = std::min<double>(minY, p.y), maxY = std::max<double>(maxY, p.y);
    }
    const double margin = size / 16.0, tolerance = 1e-3;
    EXPECT_GE(std::min(minX, minY), margin - tolerance) << size;
    EXPECT_LE(std::max(maxX, maxY), size - margin + tolerance) << size;
    EXPECT_NEAR(std::max(maxX - minX, maxY - minY), size - 2 * margin, tolerance) << size;
    EXPECT_NEAR(minX + maxX, size, tolerance) << size;
    EXPECT_NEAR(minY + maxY, size, tolerance) << size;
  }
}

TEST(ThreeQuarterView, LooksFromFrontLeftAndAboveWithZUpKeepingLengths) {
  const ViewTransform view = ThreeQuarterView(Box(-1, -1, -1, 1, 1, 1), 256);
  const ScreenPoint o = ProjectPoint(view, 0, 0, 0), up = ProjectPoint(view, 0, 0, 1);
  const ScreenPoint front = ProjectPoint(view, 1, 0, 0), left = ProjectPoint(view, 0, 1, 0);
  EXPECT_NEAR(up.x, o.x, 1e-4);  // +Z straight up the image
  EXPECT_LT(up.y, o.y);
  // +X (the front) to the lower left, +Y (the model's left) to the lower
  // right, mirror images of each other.
  EXPECT_LT(front.x, o.x);
  EXPECT_GT(front.y, o.y);
  EXPECT_NEAR(front.x - o.x, o.x - left.x, 1e-4);
  EXPECT_NEAR(front.y, left.y, 1e-4);
  // Orthographic, one scale: every unit axis keeps the same length.
  const auto length = [&o](const ScreenPoint& p) { return std::hypot(p.x - o.x, p.y - o.y, p.depth - o.depth); };
  EXPECT_NEAR(length(front), length(up), 1e-3);
  EXPECT_NEAR(length(left), length(up), 1e-3);
  // The camera lies along (cos30 cos45, cos30 sin45, sin30): that direction
  // falls on the origin's pixel, nearer to the viewer.
  const float c30c45 = static_cast<float>(std::sqrt(3.0) / 2 * std::sqrt(0.5));
  const ScreenPoint toCamera = ProjectPoint(view, c30c45, c30c45, 0.5f);
  EXPECT_NEAR(toCamera.x, o.x, 1e-4);
  EXPECT_NEAR(toCamera.y, o.y, 1e-4);
  EXPECT_LT(toCamera.depth, o.depth);
}

TEST(ThreeQuarterView, APointOrAnEmptyBoxLandsAtTheCentre) {
  for (const SceneBox& box : {Box(7, -2, 1e30f, 7, -2, 1e30f), SceneBox{}}) {
    const ScreenPoint p = ProjectPoint(ThreeQuarterView(box, 64), box.min[0], box.min[1], box.min[2]);
    EXPECT_FLOAT_EQ(p.x, 32);
    EXPECT_FLOAT_EQ(p.y, 32);
    EXPECT_TRUE(std::isfinite(p.depth));
  }
}

}  // namespace
