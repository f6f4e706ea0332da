#include "preview/triangle_fill.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "preview/flat_shading.h"
#include "preview/view_transform.h"
#include "tests/preview/pixel_map.h"

namespace {

constexpr Rgba kA{255, 0, 0, 255}, kB{0, 255, 0, 255};

ScreenPoint P(float x, float y, float depth = 0) { return ScreenPoint{x, y, depth}; }

// How many triangles cover each pixel, each drawn into an image of its own.
std::string Coverage(int width, int height, const std::vector<std::array<ScreenPoint, 3>>& triangles) {
  std::vector<RasterImage> images;
  for (const auto& t : triangles) {
    images.push_back(MakeRasterImage(width, height));
    FillTriangle(images.back(), t[0], t[1], t[2], kA);
  }
  return CoverageMap(images);
}

std::string Repeated(char c, int width, int height) {
  std::string map;
  for (int y = 0; y < height; ++y) map += '\n' + std::string(static_cast<size_t>(width), c);
  return map;
}

TEST(FillRule, CentresOnTopAndLeftEdgesAreInsideOnBottomAndRightOnesOutside) {
  // Every edge of this square runs through pixel centres.
  RasterImage image = MakeRasterImage(7, 7);
  FillTriangle(image, P(1.5f, 1.5f), P(5.5f, 1.5f), P(5.5f, 5.5f), kA);
  FillTriangle(image, P(1.5f, 1.5f), P(5.5f, 5.5f), P(1.5f, 5.5f), kA);
  EXPECT_EQ(PixelMap(image, {{kA, 'A'}}), R"(
.......
.AAAA..
.AAAA..
.AAAA..
.AAAA..
.......
.......)");
}

TEST(FillRule, TheSharedDiagonalOfAQuadGoesToTheTriangleOnItsRight) {
  // The diagonal from (2, 2) to (10, 10) runs through the centres (i + 0.5,
  // i + 0.5); it is a left edge of triangle A, a right edge of triangle B.
  const std::array<ScreenPoint, 3> a{P(2, 2), P(10, 2), P(10, 10)};
  const std::array<ScreenPoint, 3> b{P(2, 2), P(10, 10), P(2, 10)};
  const std::string expected = R"(
............
............
..AAAAAAAA..
..BAAAAAAA..
..BBAAAAAA..
..BBBAAAAA..
..BBBBAAAA..
..BBBBBAAA..
..BBBBBBAA..
..BBBBBBBA..
............
............)";
  for (const bool aFirst : {true, false}) {
    RasterImage image = MakeRasterImage(12, 12);
    for (int pass = 0; pass < 2; ++pass) {
      const bool drawA = (pass == 0) == aFirst;
      const auto& t = drawA ? a : b;
      FillTriangle(image, t[0], t[1], t[2], drawA ? kA : kB);
    }
    EXPECT_EQ(PixelMap(image, {{kA, 'A'}, {kB, 'B'}}), expected) << "A drawn first: " << aFirst;
  }
  EXPECT_EQ(Coverage(12, 12, {a, b}), R"(
000000000000
000000000000
001111111100
001111111100
001111111100
001111111100
001111111100
001111111100
001111111100
001111111100
000000000000
000000000000)");
}

TEST(FillRule, AJitteredMeshCoversEveryPixelExactlyOnce) {
  // A 5 x 5 grid of vertices over a 16 x 16 image, its border on the image's
  // border and its inner vertices moved by eighths of a pixel, so that many
  // edges run through pixel centres in every direction. Each cell is split
  // along one of its diagonals, and the corner order alternates.
  float x[5][5], y[5][5];
  uint32_t seed = 12345;
  const auto jitter = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<float>(static_cast<int>((seed >> 16) % 15) - 7) / 8.0f;  // -7/8 .. 7/8
  };
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 5; ++i) {
      const bool inner = i > 0 && i < 4 && j > 0 && j < 4;
      x[j][i] = static_cast<float>(i * 4) + (inner ? jitter() : 0.0f);
      y[j][i] = static_cast<float>(j * 4) + (inner ? jitter() : 0.0f);
    }
  std::vector<std::array<ScreenPoint, 3>> triangles;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) {
      const ScreenPoint p00 = P(x[j][i], y[j][i]), p10 = P(x[j][i + 1], y[j][i + 1]);
      const ScreenPoint p01 = P(x[j + 1][i], y[j + 1][i]), p11 = P(x[j + 1][i + 1], y[j + 1][i + 1]);
      const bool mainDiagonal = (i + j) % 2 == 0;
      const bool reversed = (i + 2 * j) % 3 == 0;
      const std::array<ScreenPoint, 3> t1 = mainDiagonal ? std::array{p00, p10, p11} : std::array{p00, p10, p01};
      const std::array<ScreenPoint, 3> t2 = mainDiagonal ? std::array{p00, p11, p01} : std::array{p10, p11, p01};
      triangles.push_back(reversed ? std::array{t1[0], t1[2], t1[1]} : t1);
      triangles.push_back(t2);
    }
  EXPECT_EQ(Coverage(16, 16, triangles), Repeated('1', 16, 16));
}

TEST(FillRule, AFanAroundAPixelCentreCoversEveryPixelExactlyOnce) {
  // Thin triangles from the centre of pixel (8, 8) to points around the
  // image's border, some of them on pixel-centre lines.
  const std::vector<ScreenPoint> rim = {P(0, 0),     P(3.5f, 0), P(8.5f, 0),  P(11, 0),    P(16, 0),
                                        P(16, 4.5f), P(16, 8.5f), P(16, 16),  P(12.5f, 16), P(8.5f, 16),
                                        P(2, 16),    P(0, 16),    P(0, 8.5f), P(0, 7.25f), P(0, 2.5f)};
  std::vector<std::array<ScreenPoint, 3>> triangles;
  for (size_t i = 0; i < rim.size(); ++i) triangles.push_back({P(8.5f, 8.5f), rim[i], rim[(i + 1) % rim.size()]});
  EXPECT_EQ(Coverage(16, 16, triangles), Repeated('1', 16, 16));
}

// The cube [0, 4]^3, one letter and colour per face, two triangles a face.
struct CubeFace {
  char letter;
  Rgba colour;
  int corners[4];  // corner index: bit 0 for x = 4, bit 1 for y = 4, bit 2 for z = 4
};
constexpr CubeFace kCubeFaces[] = {
    {'F', {255, 0, 0, 255}, {0, 1, 3, 2}},  // z = 0, nearest to the viewer
    {'K', {0, 0, 255, 255}, {4, 5, 7, 6}},  // z = 4, the back
    {'L', {255, 0, 255, 255}, {0, 2, 6, 4}},  // x = 0
    {'R', {0, 255, 0, 255}, {1, 3, 7, 5}},  // x = 4
    {'T', {0, 255, 255, 255}, {0, 1, 5, 4}},  // y = 0
    {'B', {255, 255, 0, 255}, {2, 3, 7, 6}},  // y = 4
};

ColourLegend CubeLegend() {
  ColourLegend legend;
  for (const CubeFace& face : kCubeFaces) legend.push_back({face.colour, face.letter});
  return legend;
}

// Draws the cube's 12 triangles in order (or backward), each with its
// corners as listed (or mirrored).
RasterImage DrawCube(const ViewTransform& view, int size, bool backward, bool mirrored, bool shaded) {
  struct Triangle {
    ScreenPoint p[3];
    Rgba colour;
  };
  std::vector<Triangle> triangles;
  for (const CubeFace& face : kCubeFaces) {
    ScreenPoint c[4];
    for (int k = 0; k < 4; ++k) {
      const int i = face.corners[k];
      c[k] = ProjectPoint(view, (i & 1) ? 4.0f : 0.0f, (i & 2) ? 4.0f : 0.0f, (i & 4) ? 4.0f : 0.0f);
    }
    triangles.push_back({{c[0], c[1], c[2]}, face.colour});
    triangles.push_back({{c[0], c[2], c[3]}, face.colour});
  }
  RasterImage image = MakeRasterImage(size, size);
  for (size_t n = 0; n < triangles.size(); ++n) {
    const Triangle& t = triangles[backward ? triangles.size() - 1 - n : n];
    const ScreenPoint& second = mirrored ? t.p[2] : t.p[1];
    const ScreenPoint& third = mirrored ? t.p[1] : t.p[2];
    if (shaded)
      DrawFlatTriangle(image, t.p[0], second, third);
    else
      FillTriangle(image, t.p[0], second, third, t.colour);
  }
  return image;
}

ViewTransform AffineView(const double (&rows)[3][4]) {
  ViewTransform view;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) view.m[r][c] = rows[r][c];
  return view;
}

TEST(DepthTest, ACubeSeenHeadOnShowsOnlyItsNearestFace) {
  // x right, y down, depth = z: the side faces are edge-on (no area), the
  // back face lies behind the front one.
  const ViewTransform view = AffineView({{1, 0, 0, 2}, {0, 1, 0, 2}, {0, 0, 1, 0}});
  for (const bool backward : {false, true})
    for (const bool mirrored : {false, true})
      EXPECT_EQ(PixelMap(DrawCube(view, 8, backward, mirrored, false), CubeLegend()), R"(
........
........
..FFFF..
..FFFF..
..FFFF..
..FFFF..
........
........)") << "backward " << backward << " mirrored " << mirrored;
}

// An oblique view: depth = z, and z shifts the picture right and down by
// half, so the front (z = 0), the right (x = 4) and the bottom (y = 4) faces
// show. The offsets keep every edge off the pixel centres.
const ViewTransform kObliqueView = AffineView({{1, 0, 0.5, 1.25}, {0, 1, 0.5, 1.375}, {0, 0, 1, 0}});

TEST(DepthTest, ACubeSeenObliquelyShowsItsThreeNearFacesInAnyDrawingOrder) {
  for (const bool backward : {false, true})
    for (const bool mirrored : {false, true})
      EXPECT_EQ(PixelMap(DrawCube(kObliqueView, 9, backward, mirrored, false), CubeLegend()), R"(
.........
.FFFF....
.FFFFR...
.FFFFRR..
.FFFFRR..
.BBBBRR..
..BBBBR..
.........
.........)") << "backward " << backward << " mirrored " << mirrored;
}

TEST(DepthTest, FlatShadingGivesEachVisibleFaceOneColourWhicheverWayItsCornersWind) {
  const RasterImage image = DrawCube(kObliqueView, 9, false, false, true);
  const Rgba front = ShadeForNormal(0, 0, -1);  // the front face looks straight at the viewer
  const Rgba right = PixelAt(image, 6, 4), bottom = PixelAt(image, 3, 6);
  EXPECT_NE(right, front);
  EXPECT_NE(bottom, front);
  EXPECT_NE(bottom, right);
  const std::string expected = R"(
.........
.FFFF....
.FFFFR...
.FFFFRR..
.FFFFRR..
.BBBBRR..
..BBBBR..
.........
.........)";
  EXPECT_EQ(PixelMap(image, {{front, 'F'}, {right, 'R'}, {bottom, 'B'}}), expected);
  for (const bool backward : {false, true})
    EXPECT_EQ(PixelMap(DrawCube(kObliqueView, 9, backward, true, true), {{front, 'F'}, {right, 'R'}, {bottom, 'B'}}),
              expected)
        << "mirrored, backward " << backward;
}

TEST(DepthTest, TheNearerOfTwoOverlappingTrianglesWinsInEitherOrder) {
  for (const bool nearFirst : {true, false}) {
    RasterImage image = MakeRasterImage(6, 6);
    const auto drawNear = [&] { FillTriangle(image, P(0, 0, 1), P(4, 0, 1), P(0, 4, 1), kA); };
    const auto drawFar = [&] { FillTriangle(image, P(6, 6, 2), P(1, 1, 2), P(6, 1, 2), kB); };
    if (nearFirst) {
      drawNear();
      drawFar();
    } else {
      drawFar();
      drawNear();
    }
    EXPECT_EQ(PixelMap(image, {{kA, 'A'}, {kB, 'B'}}), R"(
AAA...
AABBBB
A.BBBB
...BBB
....BB
.....B)") << "near first: "
              << nearFirst;
  }
}

TEST(DepthTest, OfTwoSurfacesAtTheSameDepthTheFirstDrawnStays) {
  RasterImage image = MakeRasterImage(4, 4);
  FillTriangle(image, P(0, 0, 2), P(4, 0, 2), P(0, 4, 2), kA);
  FillTriangle(image, P(0, 0, 2), P(4, 0, 2), P(0, 4, 2), kB);
  EXPECT_EQ(PixelMap(image, {{kA, 'A'}, {kB, 'B'}}), "\nAAA.\nAA..\nA...\n....");
}

TEST(DepthTest, CrossingSurfacesSplitWhereTheirDepthsCross) {
  // A's depth is its x; B lies flat at depth 3.2: A is nearer left of x = 3.2.
  for (const bool aFirst : {true, false}) {
    RasterImage image = MakeRasterImage(6, 2);
    for (int pass = 0; pass < 2; ++pass) {
      if ((pass == 0) == aFirst) {
        FillTriangle(image, P(0, 0, 0), P(6, 0, 6), P(6, 2, 6), kA);
        FillTriangle(image, P(0, 0, 0), P(6, 2, 6), P(0, 2, 0), kA);
      } else {
        FillTriangle(image, P(0, 0, 3.2f), P(6, 0, 3.2f), P(0, 2, 3.2f), kB);
        FillTriangle(image, P(6, 0, 3.2f), P(6, 2, 3.2f), P(0, 2, 3.2f), kB);
      }
    }
    EXPECT_EQ(PixelMap(image, {{kA, 'A'}, {kB, 'B'}}), "\nAAABBB\nAAABBB") << "A first: " << aFirst;
  }
}

TEST(TwoSided, AMirrorWoundTriangleCoversTheSamePixelsInTheSameColour) {
  // A tilted triangle and its twin with two corners swapped.
  const ScreenPoint a = P(1.2f, 0.7f, 0), b = P(7.3f, 2.1f, 3), c = P(2.6f, 6.8f, -2);
  RasterImage one = MakeRasterImage(8, 8), two = MakeRasterImage(8, 8);
  DrawFlatTriangle(one, a, b, c);
  DrawFlatTriangle(two, a, c, b);
  EXPECT_EQ(one.rgba, two.rgba);
  EXPECT_EQ(one.depth, two.depth);
  EXPECT_NE(PixelAt(one, 3, 3).a, 0);
}

TEST(Robustness, TrianglesReachingFarOutsideAreClippedAndDamagedOnesSkipped) {
  RasterImage image = MakeRasterImage(5, 4);
  // Covers the whole image from far outside.
  FillTriangle(image, P(-1000, -1000), P(3000, -1000), P(-1000, 3000), kA);
  EXPECT_EQ(PixelMap(image, {{kA, 'A'}}), Repeated('A', 5, 4));

  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const ScreenPoint damaged[] = {P(nan, 1), P(1, -inf), P(1, 1, nan), P(1, 1, inf), P(1e30f, 1), P(1, -1e30f),
                                 P(kGuardBandPixels * 2, 1)};
  for (const ScreenPoint& bad : damaged) {
    RasterImage blank = MakeRasterImage(5, 4);
    FillTriangle(blank, bad, P(0, 0), P(5, 4), kA);
    DrawFlatTriangle(blank, P(0, 0), bad, P(5, 0));
    EXPECT_EQ(PixelMap(blank, {}), Repeated('.', 5, 4));
  }
  // A strip across the top row, far beyond both sides: nothing spills into
  // the next row.
  RasterImage strip = MakeRasterImage(5, 4);
  FillTriangle(strip, P(-50, 0), P(50, 0), P(50, 1), kA);
  FillTriangle(strip, P(-50, 0), P(50, 1), P(-50, 1), kA);
  EXPECT_EQ(PixelMap(strip, {{kA, 'A'}}), "\nAAAAA\n.....\n.....\n.....");

  // Off the image, no area, or an empty image: nothing, and no write outside.
  RasterImage blank = MakeRasterImage(5, 4);
  FillTriangle(blank, P(6, 0), P(9, 0), P(9, 4), kA);
  FillTriangle(blank, P(0, 0), P(2, 2), P(4, 4), kA);
  EXPECT_EQ(PixelMap(blank, {}), Repeated('.', 5, 4));
  RasterImage empty = MakeRasterImage(0, 0);
  FillTriangle(empty, P(-10, -10), P(10, -10), P(0, 10), kA);
  EXPECT_TRUE(empty.rgba.empty());
}

}  // namespace
