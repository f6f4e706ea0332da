#include "preview/triangle_fill.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "preview/flat_shading.h"
#include "preview/view_transform.h"
#include "tests/preview/pixel_map.h"
#include "tests/preview/reference_fill.h"

namespace {

constexpr Rgba kA{255, 0, 0, 255}, kB{0, 255, 0, 255};
using Triangle = std::array<ScreenPoint, 3>;

ScreenPoint P(float x, float y, float depth = 0) { return ScreenPoint{x, y, depth}; }

std::string Repeated(char c, int width, int height) {
  std::string map;
  for (int y = 0; y < height; ++y) map += '\n' + std::string(static_cast<size_t>(width), c);
  return map;
}

TEST(FillRule, CentresOnTopAndLeftEdgesAreInsideOnBottomAndRightOnesOutside) {
  // Every edge of this square, and its diagonal, runs through pixel centres.
  RasterImage image = MakeRasterImage(7, 6);
  FillTriangle(image, P(1.5f, 1.5f), P(5.5f, 1.5f), P(5.5f, 5.5f), kA);
  FillTriangle(image, P(1.5f, 1.5f), P(5.5f, 5.5f), P(1.5f, 5.5f), kA);
  EXPECT_EQ(PixelMap(image, {{kA, 'A'}}), "\n.......\n.AAAA..\n.AAAA..\n.AAAA..\n.AAAA..\n.......");
}

TEST(FillRule, AQuadsSharedDiagonalGoesToTheTriangleOnItsRightOnly) {
  // The diagonal (2, 2)-(10, 10) runs through the centres (i + 0.5, i + 0.5):
  // a left edge of A, a right edge of B. Both are at one depth, so the first
  // drawn would keep a doubly covered pixel: the same map in both orders
  // means every pixel is covered once.
  const Triangle a{P(2, 2), P(10, 2), P(10, 10)}, b{P(2, 2), P(10, 10), P(2, 10)};
  for (const bool aFirst : {true, false}) {
    RasterImage image = MakeRasterImage(12, 11);
    for (const bool drawA : {aFirst, !aFirst}) {
      const Triangle& t = drawA ? a : b;
      FillTriangle(image, t[0], t[1], t[2], drawA ? kA : kB);
    }
    EXPECT_EQ(PixelMap(image, {{kA, 'A'}, {kB, 'B'}}), R"(
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
............)")
        << "A first: " << aFirst;
  }
}

TEST(FillRule, AJitteredMeshCoversEveryPixelExactlyOnce) {
  // A 5 x 5 grid over a 16 x 16 image, its inner vertices moved by eighths of
  // a pixel so that edges of every slope run through pixel centres; cells
  // split along alternating diagonals, some corners listed backward.
  float x[5][5], y[5][5];
  uint32_t seed = 12345;
  const auto jitter = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<float>(static_cast<int>((seed >> 16) % 15) - 7) / 8.0f;
  };
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 5; ++i) {
      const bool inner = i > 0 && i < 4 && j > 0 && j < 4;
      x[j][i] = static_cast<float>(i * 4) + (inner ? jitter() : 0.0f);
      y[j][i] = static_cast<float>(j * 4) + (inner ? jitter() : 0.0f);
    }
  std::vector<RasterImage> images;  // one per triangle, to count the coverage
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) {
      const ScreenPoint p00 = P(x[j][i], y[j][i]), p10 = P(x[j][i + 1], y[j][i + 1]);
      const ScreenPoint p01 = P(x[j + 1][i], y[j + 1][i]), p11 = P(x[j + 1][i + 1], y[j + 1][i + 1]);
      const bool main = (i + j) % 2 == 0, backward = (i + 2 * j) % 3 == 0;
      for (const Triangle& t : {main ? Triangle{p00, p10, p11} : Triangle{p00, p10, p01},
                                main ? Triangle{p00, p11, p01} : Triangle{p10, p11, p01}}) {
        images.push_back(MakeRasterImage(16, 16));
        FillTriangle(images.back(), t[0], backward ? t[2] : t[1], backward ? t[1] : t[2], kA);
      }
    }
  EXPECT_EQ(CoverageMap(images), Repeated('1', 16, 16));
}

// The cube [0, 4]^3 through an affine view, 12 triangles, a colour per face
// (or flat shading), drawn in order or backward, corners as listed or mirrored.
RasterImage DrawCube(const ViewTransform& view, int size, bool backward, bool mirrored, bool shaded) {
  const struct {
    Rgba colour;
    int corners[4];  // bit 0: x = 4, bit 1: y = 4, bit 2: z = 4
  } faces[] = {{{255, 0, 0, 255}, {0, 1, 3, 2}},   {{0, 0, 255, 255}, {4, 5, 7, 6}},
               {{255, 0, 255, 255}, {0, 2, 6, 4}}, {{0, 255, 0, 255}, {1, 3, 7, 5}},
               {{0, 255, 255, 255}, {0, 1, 5, 4}}, {{255, 255, 0, 255}, {2, 3, 7, 6}}};
  std::vector<std::pair<Triangle, Rgba>> triangles;
  for (const auto& face : faces) {
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
    const auto& [t, colour] = triangles[backward ? triangles.size() - 1 - n : n];
    const ScreenPoint &second = mirrored ? t[2] : t[1], &third = mirrored ? t[1] : t[2];
    if (shaded)
      DrawFlatTriangle(image, t[0], second, third);
    else
      FillTriangle(image, t[0], second, third, colour);
  }
  return image;
}

const ColourLegend kCubeLegend = {{{255, 0, 0, 255}, 'F'}, {{0, 0, 255, 255}, 'K'},   {{255, 0, 255, 255}, 'L'},
                                  {{0, 255, 0, 255}, 'R'}, {{0, 255, 255, 255}, 'T'}, {{255, 255, 0, 255}, 'B'}};

ViewTransform View(std::array<double, 12> m) {
  ViewTransform view;
  for (int i = 0; i < 12; ++i) view.m[i / 4][i % 4] = m[static_cast<size_t>(i)];
  return view;
}

TEST(DepthTest, ACubeSeenHeadOnShowsOnlyItsFrontFace) {
  // depth = z: the side faces are edge-on (no area), the back one hidden.
  const ViewTransform view = View({1, 0, 0, 2, 0, 1, 0, 2, 0, 0, 1, 0});
  for (const bool backward : {false, true})
    EXPECT_EQ(PixelMap(DrawCube(view, 8, backward, backward, false), kCubeLegend),
              "\n........\n........\n..FFFF..\n..FFFF..\n..FFFF..\n..FFFF..\n........\n........");
}

TEST(DepthTest, ACubeSeenObliquelyShowsItsThreeNearFacesInAnyOrderAndWinding) {
  // depth = z, and z shifts the picture right and down by half: the front
  // (z = 0), right (x = 4) and bottom (y = 4) faces show. No edge meets a
  // pixel centre.
  const ViewTransform view = View({1, 0, 0.5, 1.25, 0, 1, 0.5, 1.375, 0, 0, 1, 0});
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
  for (const bool backward : {false, true})
    for (const bool mirrored : {false, true})
      EXPECT_EQ(PixelMap(DrawCube(view, 9, backward, mirrored, false), kCubeLegend), expected);

  // Flat shaded, both windings: one colour per face; the front one faces the
  // viewer, the other two differ from it and from each other.
  const RasterImage shaded = DrawCube(view, 9, false, false, true);
  const Rgba front = ShadeForNormal(0, 0, -1), right = PixelAt(shaded, 6, 4), bottom = PixelAt(shaded, 3, 6);
  EXPECT_TRUE(right != front && bottom != front && bottom != right);
  const ColourLegend legend = {{front, 'F'}, {right, 'R'}, {bottom, 'B'}};
  EXPECT_EQ(PixelMap(shaded, legend), expected);
  EXPECT_EQ(PixelMap(DrawCube(view, 9, true, true, true), legend), expected);
}

TEST(DepthTest, OfTwoSurfacesAtTheSameDepthTheFirstDrawnStays) {
  RasterImage image = MakeRasterImage(4, 3);
  FillTriangle(image, P(0, 0, 2), P(4, 0, 2), P(0, 4, 2), kA);
  FillTriangle(image, P(0, 0, 2), P(4, 0, 2), P(0, 4, 2), kB);
  EXPECT_EQ(PixelMap(image, {{kA, 'A'}, {kB, 'B'}}), "\nAAA.\nAA..\nA...");
}

TEST(Robustness, TrianglesReachingFarOutsideAreClippedAndDamagedOnesSkipped) {
  RasterImage image = MakeRasterImage(5, 4);
  FillTriangle(image, P(-1000, -1000), P(3000, -1000), P(-1000, 3000), kA);
  EXPECT_EQ(PixelMap(image, {{kA, 'A'}}), Repeated('A', 5, 4));
  // A strip along the top row, far beyond both sides: nothing spills over.
  RasterImage strip = MakeRasterImage(5, 3);
  FillTriangle(strip, P(-50, 0), P(50, 0), P(50, 1), kA);
  FillTriangle(strip, P(-50, 0), P(50, 1), P(-50, 1), kA);
  EXPECT_EQ(PixelMap(strip, {{kA, 'A'}}), "\nAAAAA\n.....\n.....");

  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  RasterImage blank = MakeRasterImage(5, 4);
  for (const ScreenPoint& bad :
       {P(nan, 1), P(1, -inf), P(1, 1, nan), P(1, 1, inf), P(1e30f, 1), P(1, -1e30f), P(kGuardBandPixels * 2, 1)}) {
    FillTriangle(blank, bad, P(0, 0), P(5, 4), kA);
    DrawFlatTriangle(blank, P(0, 0), bad, P(5, 0));
  }
  FillTriangle(blank, P(6, 0), P(9, 0), P(9, 4), kA);  // off the image
  FillTriangle(blank, P(0, 0), P(2, 2), P(4, 4), kA);  // no area
  EXPECT_EQ(PixelMap(blank, {}), Repeated('.', 5, 4));
  RasterImage empty = MakeRasterImage(0, 0);
  FillTriangle(empty, P(-10, -10), P(10, -10), P(0, 10), kA);
  EXPECT_TRUE(empty.rgba.empty());
}

TEST(FastPaths, EveryTriangleSizeDrawsWhatThePlainRulesDraw) {
  // Random triangles from much smaller than a pixel to many times the image,
  // corners on and off the centres' grid, at random depths, both windings,
  // some reaching past the image: the pixels, the depths and the centres
  // counted equal those of the plain per-centre test.
  uint32_t seed = 99;
  const auto next = [&seed](int range) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(range));
  };
  for (const float scale : {0.4f, 1.5f, 3.0f, 12.0f, 90.0f}) {
    RasterImage fast = MakeRasterImage(40, 33), plain = MakeRasterImage(40, 33);
    for (int n = 0; n < 3000; ++n) {
      const float cx = static_cast<float>(next(48 * 8) - 4 * 8) / 8, cy = static_cast<float>(next(41 * 8) - 4 * 8) / 8;
      Triangle t;
      for (ScreenPoint& p : t)
        p = P(cx + scale * static_cast<float>(next(2001) - 1000) / 1000,
              cy + scale * static_cast<float>(next(2001) - 1000) / 1000, static_cast<float>(next(1000)) / 7);
      if (n % 2)  // corners on half pixels: edges through centres, and shared edges
        for (ScreenPoint& p : t) p.x = std::round(p.x * 2) / 2, p.y = std::round(p.y * 2) / 2;
      const Rgba colour{static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), 7, 255};
      const int64_t centres = FillTriangle(fast, t[0], t[1], t[2], colour);
      EXPECT_EQ(centres, ReferenceFill(plain, t[0], t[1], t[2], colour)) << "scale " << scale << ", triangle " << n;
    }
    ASSERT_EQ(fast.rgba, plain.rgba) << "scale " << scale;
    ASSERT_EQ(fast.depth, plain.depth) << "scale " << scale;
  }
}

}  // namespace
