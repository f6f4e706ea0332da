#include "preview/triangle_fill.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "preview/flat_shading.h"

namespace {

constexpr int kSubpixelBits = 8;
constexpr int64_t kOnePixel = int64_t{1} << kSubpixelBits;
constexpr int64_t kHalfPixel = kOnePixel / 2;

struct FixedPoint {
  int64_t x, y;
};

bool Usable(ScreenPoint p) {
  return std::fabs(p.x) <= kGuardBandPixels && std::fabs(p.y) <= kGuardBandPixels && std::isfinite(p.depth);
}

// Nearest 1/256 pixel. The offset makes the value positive, so truncation
// rounds down; within the guard band the result fits easily, and a corner
// shared by two triangles snaps to the same point in both.
int64_t ToFixed(float v) {
  constexpr double kOffset = 1073741824.0;  // 2^30
  return static_cast<int64_t>(static_cast<double>(v) * static_cast<double>(kOnePixel) + (kOffset + 0.5)) -
         static_cast<int64_t>(kOffset);
}

// Smallest pixel index whose centre is at or after `fixed`, and largest
// whose centre is at or before it (arithmetic shifts round toward -inf).
int FirstPixelFrom(int64_t fixed) { return static_cast<int>((fixed - kHalfPixel + kOnePixel - 1) >> kSubpixelBits); }
int LastPixelUpTo(int64_t fixed) { return static_cast<int>((fixed - kHalfPixel) >> kSubpixelBits); }

// An edge from p to q, as the function (q - p) x (s - p) of the sample s:
// positive on the triangle's side, stepped by whole pixels.
struct EdgeFunction {
  int64_t atStart;  // at the first pixel centre of the rectangle
  int64_t stepX, stepY;
};

EdgeFunction MakeEdge(FixedPoint p, FixedPoint q, FixedPoint start) {
  const int64_t dx = q.x - p.x, dy = q.y - p.y;
  // Top edge: horizontal, running left to right; left edge: running up (the
  // triangle winds clockwise on the screen). Centres on other edges are
  // outside: their edge value must be above zero, so it is lowered by one.
  const bool topLeft = dy < 0 || (dy == 0 && dx > 0);
  EdgeFunction e;
  e.atStart = dx * (start.y - p.y) - dy * (start.x - p.x) - (topLeft ? 0 : 1);
  e.stepX = -dy * kOnePixel;
  e.stepY = dx * kOnePixel;
  return e;
}

// A quick test for the many triangles of a dense mesh that hold no pixel
// centre: the box of their corners along one axis, widened by more than the
// snapping can move them, lies between two centres. Only a certain miss is
// reported; everything else goes on to the exact test.
inline bool MissesEveryCentre(float a, float b, float c) {
  const double low = std::min(std::min(a, b), c), high = std::max(std::max(a, b), c);
  if (!(low > -kGuardBandPixels && high < kGuardBandPixels)) return false;
  // Shifted positive, so that truncation rounds down.
  constexpr double kWidening = 1.0 / 256, kShift = 2.0 * kGuardBandPixels;
  const double from = low - 0.5 - kWidening + kShift, to = high - 0.5 + kWidening + kShift;
  const int64_t below = static_cast<int64_t>(from);
  return static_cast<int64_t>(to) == below && static_cast<double>(below) != from;
}

template <typename ColourOf>
void Rasterize(RasterImage& image, ScreenPoint a, ScreenPoint b, ScreenPoint c, ColourOf colourOf) {
  if (MissesEveryCentre(a.x, b.x, c.x) || MissesEveryCentre(a.y, b.y, c.y)) return;
  if (!Usable(a) || !Usable(b) || !Usable(c)) return;
  FixedPoint v[3] = {{ToFixed(a.x), ToFixed(a.y)}, {ToFixed(b.x), ToFixed(b.y)}, {ToFixed(c.x), ToFixed(c.y)}};
  float depth[3] = {a.depth, b.depth, c.depth};

  const int x0 = std::max(0, FirstPixelFrom(std::min({v[0].x, v[1].x, v[2].x})));
  const int x1 = std::min(image.width - 1, LastPixelUpTo(std::max({v[0].x, v[1].x, v[2].x})));
  const int y0 = std::max(0, FirstPixelFrom(std::min({v[0].y, v[1].y, v[2].y})));
  const int y1 = std::min(image.height - 1, LastPixelUpTo(std::max({v[0].y, v[1].y, v[2].y})));
  // Most triangles of a dense mesh are smaller than a pixel and hold no centre.
  if (x0 > x1 || y0 > y1) return;

  int64_t area = (v[1].x - v[0].x) * (v[2].y - v[0].y) - (v[1].y - v[0].y) * (v[2].x - v[0].x);
  if (area == 0) return;
  if (area < 0) {  // wind every triangle the same way: both sides are drawn
    std::swap(v[1], v[2]);
    std::swap(depth[1], depth[2]);
    area = -area;
  }

  const FixedPoint start{x0 * kOnePixel + kHalfPixel, y0 * kOnePixel + kHalfPixel};
  const EdgeFunction e0 = MakeEdge(v[1], v[2], start);
  const EdgeFunction e1 = MakeEdge(v[2], v[0], start);
  const EdgeFunction e2 = MakeEdge(v[0], v[1], start);

  // The depth plane, in pixel units around corner 0.
  const double scale = 1.0 / static_cast<double>(kOnePixel);
  const double d1x = static_cast<double>(v[1].x - v[0].x) * scale, d1y = static_cast<double>(v[1].y - v[0].y) * scale;
  const double d2x = static_cast<double>(v[2].x - v[0].x) * scale, d2y = static_cast<double>(v[2].y - v[0].y) * scale;
  const double z1 = double{depth[1]} - depth[0], z2 = double{depth[2]} - depth[0];
  const double det = static_cast<double>(area) * scale * scale;
  const double dzdx = (z1 * d2y - z2 * d1y) / det;
  const double dzdy = (z2 * d1x - z1 * d2x) / det;
  const double startX = static_cast<double>(start.x - v[0].x) * scale;
  const double startY = static_cast<double>(start.y - v[0].y) * scale;

  // Worked out at the first pixel that passes the depth test: most
  // triangles of a dense mesh lie behind others.
  Rgba colour{};
  bool shaded = false;
  const size_t width = static_cast<size_t>(image.width);
  float* depthRow = image.depth.data() + static_cast<size_t>(y0) * width;
  int64_t row0 = e0.atStart, row1 = e1.atStart, row2 = e2.atStart;
  for (int y = y0; y <= y1; ++y) {
    const double rowDepth = double{depth[0]} + dzdy * (startY + (y - y0)) + dzdx * startX;
    int64_t w0 = row0, w1 = row1, w2 = row2;
    for (int x = x0; x <= x1; ++x) {
      if ((w0 | w1 | w2) >= 0) {
        const float z = static_cast<float>(rowDepth + dzdx * (x - x0));
        if (z < depthRow[x]) {
          if (!shaded) colour = colourOf(), shaded = true;
          depthRow[x] = z;
          PutPixel(image, static_cast<size_t>(y) * width + static_cast<size_t>(x), colour);
        }
      }
      w0 += e0.stepX;
      w1 += e1.stepX;
      w2 += e2.stepX;
    }
    row0 += e0.stepY;
    row1 += e1.stepY;
    row2 += e2.stepY;
    depthRow += width;
  }
}

}  // namespace

void FillTriangle(RasterImage& image, ScreenPoint a, ScreenPoint b, ScreenPoint c, Rgba colour) {
  Rasterize(image, a, b, c, [colour] { return colour; });
}

void DrawFlatTriangle(RasterImage& image, ScreenPoint a, ScreenPoint b, ScreenPoint c) {
  Rasterize(image, a, b, c, [&] { return FlatShade(a, b, c); });
}
