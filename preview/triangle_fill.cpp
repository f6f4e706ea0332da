#include "preview/triangle_fill.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>

#include "preview/flat_shading.h"

namespace {

constexpr int kSubpixelBits = 8;
constexpr int64_t kOnePixel = int64_t{1} << kSubpixelBits;
constexpr int64_t kHalfPixel = kOnePixel / 2;

// Nearest 1/256 pixel. The offset makes the value positive, so truncation
// rounds down; within the guard band the result fits 25 bits, and a corner
// shared by two triangles snaps to the same point in both.
int32_t ToFixed(float v) {
  constexpr double kOffset = 1073741824.0;  // 2^30
  return static_cast<int32_t>(
      static_cast<int64_t>(static_cast<double>(v) * static_cast<double>(kOnePixel) + (kOffset + 0.5)) -
      static_cast<int64_t>(kOffset));
}

// Smallest pixel index whose centre is at or after `fixed`, and largest
// whose centre is at or before it (arithmetic shifts round toward -inf).
int FirstPixelFrom(int64_t fixed) { return static_cast<int>((fixed - kHalfPixel + kOnePixel - 1) >> kSubpixelBits); }
int LastPixelUpTo(int64_t fixed) { return static_cast<int>((fixed - kHalfPixel) >> kSubpixelBits); }

struct FixedPoint {
  int64_t x, y;
};

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
  // Bitwise, not short-circuit: no branch to mispredict.
  const int64_t topLeft = (dy < 0) | ((dy == 0) & (dx > 0));
  EdgeFunction e;
  e.atStart = dx * (start.y - p.y) - dy * (start.x - p.x) - (1 - topLeft);
  e.stepX = -dy * kOnePixel;
  e.stepY = dx * kOnePixel;
  return e;
}

// A triangle snapped and wound one way, with its box within the image and its
// edge functions at the box's first centre.
struct PreparedTriangle {
  FixedPoint v[3];
  float depth[3];
  int64_t area;
  int x0, x1, y0, y1;
  FixedPoint start;
  EdgeFunction e[3];
};

// False when the triangle draws nothing: no pixel centre in its box, or no
// area.
bool Prepare(const RasterImage& image, const FillCorner& a, const FillCorner& b, const FillCorner& c,
             PreparedTriangle& t) {
  FixedPoint* v = t.v;
  v[0] = {a.x, a.y}, v[1] = {b.x, b.y}, v[2] = {c.x, c.y};
  t.x0 = std::max(0, FirstPixelFrom(std::min({v[0].x, v[1].x, v[2].x})));
  t.x1 = std::min(image.width - 1, LastPixelUpTo(std::max({v[0].x, v[1].x, v[2].x})));
  t.y0 = std::max(0, FirstPixelFrom(std::min({v[0].y, v[1].y, v[2].y})));
  t.y1 = std::min(image.height - 1, LastPixelUpTo(std::max({v[0].y, v[1].y, v[2].y})));
  // Most triangles of a dense mesh are smaller than a pixel and hold no centre.
  if (t.x0 > t.x1 || t.y0 > t.y1) return false;

  int64_t area = (v[1].x - v[0].x) * (v[2].y - v[0].y) - (v[1].y - v[0].y) * (v[2].x - v[0].x);
  if (area == 0) return false;
  // Wind every triangle the same way (both sides are drawn). The two
  // windings alternate unpredictably in a mesh: selected by masks, not
  // branches.
  const int64_t flip = -static_cast<int64_t>(area < 0);
  const int64_t swapX = (v[1].x ^ v[2].x) & flip, swapY = (v[1].y ^ v[2].y) & flip;
  v[1].x ^= swapX, v[2].x ^= swapX, v[1].y ^= swapY, v[2].y ^= swapY;
  const uint32_t depthB = std::bit_cast<uint32_t>(b.screen.depth), depthC = std::bit_cast<uint32_t>(c.screen.depth);
  const uint32_t swapDepth = (depthB ^ depthC) & static_cast<uint32_t>(flip);
  t.depth[0] = a.screen.depth;
  t.depth[1] = std::bit_cast<float>(depthB ^ swapDepth);
  t.depth[2] = std::bit_cast<float>(depthC ^ swapDepth);
  t.area = (area ^ flip) - flip;
  t.start = {t.x0 * kOnePixel + kHalfPixel, t.y0 * kOnePixel + kHalfPixel};
  t.e[0] = MakeEdge(v[1], v[2], t.start);
  t.e[1] = MakeEdge(v[2], v[0], t.start);
  t.e[2] = MakeEdge(v[0], v[1], t.start);
  return true;
}

// The depth plane, in pixel units around corner 0, evaluated at the centres
// of the triangle's box. Every path forms a pixel's depth the same way, so it
// does not depend on which path drew the pixel.
class DepthPlane {
 public:
  explicit DepthPlane(const PreparedTriangle& t) {
    const FixedPoint* v = t.v;
    const double scale = 1.0 / static_cast<double>(kOnePixel);
    const double d1x = static_cast<double>(v[1].x - v[0].x) * scale, d1y = static_cast<double>(v[1].y - v[0].y) * scale;
    const double d2x = static_cast<double>(v[2].x - v[0].x) * scale, d2y = static_cast<double>(v[2].y - v[0].y) * scale;
    const double z1 = double{t.depth[1]} - t.depth[0], z2 = double{t.depth[2]} - t.depth[0];
    const double det = static_cast<double>(t.area) * scale * scale;
    base_ = t.depth[0];
    dzdx_ = (z1 * d2y - z2 * d1y) / det;
    dzdy_ = (z2 * d1x - z1 * d2x) / det;
    startX_ = static_cast<double>(t.start.x - v[0].x) * scale;
    startY_ = static_cast<double>(t.start.y - v[0].y) * scale;
  }
  // At the first centre of the box's row `row` (0 at its top).
  double RowStart(int row) const { return base_ + dzdy_ * (startY_ + row) + dzdx_ * startX_; }
  // `column` centres to the right of the row's first.
  float Along(double rowStart, double column) const { return static_cast<float>(rowStart + dzdx_ * column); }

 private:
  double base_, dzdx_, dzdy_, startX_, startY_;
};

// Writes colour and depth at (x, y) when z is nearer than what is stored.
// The colour is worked out at the triangle's first such pixel: most
// triangles of a dense mesh lie behind others.
template <typename ColourOf>
void PutIfNearer(RasterImage& image, int x, int y, float z, std::optional<Rgba>& colour, ColourOf& colourOf) {
  const size_t index = static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x);
  if (!(z < image.depth[index])) return;
  if (!colour) colour = colourOf();
  image.depth[index] = z;
  PutPixel(image, index, *colour);
}

// Boxes of at most 2 x 2 centres (most triangles of a dense mesh) test each
// centre on its own and work out the depth plane only once one is covered:
// most such triangles cover none.

template <typename ColourOf>
void FillSmall(RasterImage& image, const PreparedTriangle& t, ColourOf& colourOf) {
  // Which of the box's (up to) 2 x 2 centres are covered, bit 2 * row +
  // column, found without a branch per centre.
  const int columns = t.x1 - t.x0, rows = t.y1 - t.y0;
  uint32_t covered = 0;
  for (int centre = 0; centre < 4; ++centre) {
    const int column = centre & 1, row = centre >> 1;
    int64_t outside = 0;
    for (const EdgeFunction& e : t.e) outside |= e.atStart + column * e.stepX + row * e.stepY;
    covered |= static_cast<uint32_t>((outside >= 0) & (column <= columns) & (row <= rows)) << centre;
  }
  if (covered == 0) return;
  const DepthPlane plane(t);
  std::optional<Rgba> colour;
  for (int centre = 0; centre < 4; ++centre) {
    if (!(covered >> centre & 1)) continue;
    const int column = centre & 1, row = centre >> 1;
    PutIfNearer(image, t.x0 + column, t.y0 + row, plane.Along(plane.RowStart(row), column), colour, colourOf);
  }
}

// Narrows [first, last] to the columns where value + column * step >= 0.
void KeepInside(int64_t value, int64_t step, int64_t& first, int64_t& last) {
  if (step > 0) {
    if (value < 0) first = std::max(first, (-value + step - 1) / step);
  } else if (step < 0) {
    last = value < 0 ? -1 : std::min(last, value / -step);
  } else if (value < 0) {
    last = -1;
  }
}

// Row by row, the run of covered centres follows from the edge functions by
// exact integer division: only those centres are visited, and the depth test
// is all that is left per pixel.
template <typename ColourOf>
void FillLarge(RasterImage& image, const PreparedTriangle& t, ColourOf& colourOf) {
  const DepthPlane plane(t);
  std::optional<Rgba> colour;
  int64_t rowValue[3] = {t.e[0].atStart, t.e[1].atStart, t.e[2].atStart};
  for (int row = 0; row <= t.y1 - t.y0; ++row) {
    int64_t first = 0, last = t.x1 - t.x0;
    for (int k = 0; k < 3; ++k) {
      KeepInside(rowValue[k], t.e[k].stepX, first, last);
      rowValue[k] += t.e[k].stepY;
    }
    if (first > last) continue;
    const double rowStart = plane.RowStart(row);
    const size_t rowIndex = static_cast<size_t>(t.y0 + row) * static_cast<size_t>(image.width) + static_cast<size_t>(t.x0);
    float* depthRow = image.depth.data() + rowIndex;
    // The column counted in a double as well: no conversion per pixel.
    double at = static_cast<double>(first);
    for (int64_t column = first; column <= last; ++column, at += 1.0) {
      const float z = plane.Along(rowStart, at);
      if (!(z < depthRow[column])) continue;
      if (!colour) colour = colourOf();
      depthRow[column] = z;
      PutPixel(image, rowIndex + static_cast<size_t>(column), *colour);
    }
  }
}

template <typename ColourOf>
int64_t Rasterize(RasterImage& image, const FillCorner& a, const FillCorner& b, const FillCorner& c,
                  ColourOf colourOf) {
  PreparedTriangle t;
  if (!Prepare(image, a, b, c, t)) return 0;
  const int64_t centres = int64_t{t.x1 - t.x0 + 1} * (t.y1 - t.y0 + 1);
  if (t.x1 - t.x0 <= 1 && t.y1 - t.y0 <= 1)
    FillSmall(image, t, colourOf);
  else
    FillLarge(image, t, colourOf);
  return centres;
}

}  // namespace

bool MakeFillCorner(ScreenPoint p, FillCorner& out) {
  if (!(std::fabs(p.x) <= kGuardBandPixels && std::fabs(p.y) <= kGuardBandPixels && std::isfinite(p.depth)))
    return false;
  out = FillCorner{p, ToFixed(p.x), ToFixed(p.y)};
  return true;
}

int64_t FillTriangle(RasterImage& image, ScreenPoint a, ScreenPoint b, ScreenPoint c, Rgba colour) {
  FillCorner corners[3];
  if (!MakeFillCorner(a, corners[0]) || !MakeFillCorner(b, corners[1]) || !MakeFillCorner(c, corners[2])) return 0;
  return Rasterize(image, corners[0], corners[1], corners[2], [colour] { return colour; });
}

int64_t DrawFlatTriangle(RasterImage& image, const FillCorner& a, const FillCorner& b, const FillCorner& c) {
  return Rasterize(image, a, b, c, [&] { return FlatShade(a.screen, b.screen, c.screen); });
}

int64_t DrawFlatTriangle(RasterImage& image, ScreenPoint a, ScreenPoint b, ScreenPoint c) {
  FillCorner corners[3];
  if (!MakeFillCorner(a, corners[0]) || !MakeFillCorner(b, corners[1]) || !MakeFillCorner(c, corners[2])) return 0;
  return DrawFlatTriangle(image, corners[0], corners[1], corners[2]);
}
