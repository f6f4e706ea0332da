#include "preview/line_draw.h"

#include <gtest/gtest.h>

#include <limits>

#include "preview/triangle_fill.h"
#include "tests/preview/pixel_map.h"

namespace {

constexpr Rgba kA{255, 0, 0, 255}, kB{0, 0, 255, 255};
const ColourLegend kLegend = {{kA, 'A'}, {kB, 'B'}};

ScreenPoint P(float x, float y, float depth = 0) { return ScreenPoint{x, y, depth}; }

TEST(DrawLine, LinesStepAlongTheirLongerAxisAndThickOnesAddThePixelAcross) {
  RasterImage image = MakeRasterImage(8, 8);
  DrawLine(image, P(1.5f, 0.5f), P(6.5f, 0.5f), 1, kA);
  DrawLine(image, P(6.5f, 2.5f), P(1.5f, 2.5f), 2, kA);  // and the row below
  DrawLine(image, P(0.5f, 4.5f), P(3.5f, 7.5f), 1, kB);
  DrawLine(image, P(5.5f, 4.5f), P(6.5f, 7.0f), 2, kB);  // steep: and the pixel to the right
  DrawLine(image, P(7.5f, 0.5f), P(7.5f, 0.5f), 1, kB);  // length 0: its pixel
  EXPECT_EQ(PixelMap(image, kLegend), R"(
.AAAAAAB
........
.AAAAAA.
.AAAAAA.
B....BB.
.B...BB.
..B...BB
...B..BB)");
}

TEST(DrawLine, TheNearerLineWinsWhereTwoCrossInEitherOrder) {
  for (const bool nearFirst : {true, false}) {
    RasterImage image = MakeRasterImage(5, 3);
    for (const bool near : {nearFirst, !nearFirst}) {
      if (near)
        DrawLine(image, P(0.5f, 1.5f, 1), P(4.5f, 1.5f, 1), 1, kA);
      else
        DrawLine(image, P(2.5f, 0.5f, 0), P(2.5f, 2.5f, 4), 1, kB);  // depth 2 where they cross
    }
    EXPECT_EQ(PixelMap(image, kLegend), "\n..B..\nAAAAA\n..B..") << "near first: " << nearFirst;
  }
}

TEST(DrawLine, LinesFromFarOutsideAreClippedAndDamagedOnesSkipped) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  RasterImage image = MakeRasterImage(6, 4);
  DrawLine(image, P(-1e30f, 1.5f), P(1e30f, 1.5f), 2, kA);
  DrawLine(image, P(-3, -1), P(9, -2), 1, kB);  // above the image
  DrawLine(image, P(nan, 1), P(3, 1), 1, kB);
  DrawLine(image, P(1, 1), P(3, inf), 1, kB);
  DrawLine(image, P(1, 1), P(3, 1, -inf), 1, kB);
  EXPECT_EQ(PixelMap(image, kLegend), "\n......\nAAAAAA\nAAAAAA\n......");
  RasterImage empty = MakeRasterImage(0, 0);
  DrawLine(empty, P(0, 0), P(0, 0), 2, kA);
  DrawDot(empty, 0, 0, 5, kA);
  EXPECT_TRUE(empty.rgba.empty());
}

TEST(DrawDot, DotsAreSquaresAroundTheirPixelOnTopOfEverythingAndClipped) {
  RasterImage image = MakeRasterImage(8, 5);
  FillTriangle(image, P(0, 0, -5), P(8, 0, -5), P(8, 5, -5), kB);
  DrawDot(image, 4.5f, 2.5f, 3, kA);
  DrawDot(image, 0.2f, 4.9f, 3, kA);  // clipped at the lower-left corner
  DrawDot(image, 7.0f, 0.0f, 4, kA);  // an even side reaches one further right and down
  DrawDot(image, 1e30f, 2, 3, kA);
  DrawDot(image, 2, std::numeric_limits<float>::quiet_NaN(), 3, kA);
  EXPECT_EQ(PixelMap(image, kLegend), R"(
.BBBBBAA
..BAAAAA
...AAAAA
AA.AAABB
AA.....B)");
}

}  // namespace
