#include "preview/triangle_fill.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>

#include "preview/flat_shading.h"

namespace {

constexpr int64_t kOnePixel = int64_t{1} << kSubpixelBits;
constexpr int64_t kHalfPixel = kOnePixel / 2;

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

// A triangle wound one way (both sides are drawn): its corners, their depths
// and its doubled area, positive.
struct WoundTriangle {
  FixedPoint v[3];
  float depth[3];
  int64_t area;
};

// Area 0 when the snapped corners lie on one line. The two windings
// alternate unpredictably in a mesh, so they are told apart by masks, not
// branches.
WoundTriangle WindOneWay(const FillCorner& a, const FillCorner& b, const FillCorner& c) {
  WoundTriangle t;
  FixedPoint* v = t.v;
  v[0] = {a.x, a.y}, v[1] = {b.x, b.y}, v[2] = {c.x, c.y};
  const int64_t area = (v[1].x - v[0].x) * (v[2].y - v[0].y) - (v[1].y - v[0].y) * (v[2].x - v[0].x);
  const int64_t flip = -static_cast<int64_t>(area < 0);
  const int64_t swapX = (v[1].x ^ v[2].x) & flip, swapY = (v[1].y ^ v[2].y) & flip;
  v[1].x ^= swapX, v[2].x ^= swapX, v[1].y ^= swapY, v[2].y ^= swapY;
  const uint32_t depthB = std::bit_cast<uint32_t>(b.screen.depth), depthC = std::bit_cast<uint32_t>(c.screen.depth);
  const uint32_t swapDepth = (depthB ^ depthC) & static_cast<uint32_t>(flip);
  t.depth[0] = a.screen.depth;
  t.depth[1] = std::bit_cast<float>(depthB ^ swapDepth);
  t.depth[2] = std::bit_cast<float>(depthC ^ swapDepth);
  t.area = (area ^ flip) - flip;
  return t;
}

// The depth plane, in pixel units around corner 0, evaluated at the centres
// of the triangle's box (its first centre at `start`). Every path forms a
// pixel's depth the same way, so it does not depend on which path drew it.
class DepthPlane {
 public:
  DepthPlane(const WoundTriangle& t, FixedPoint start) {
    const FixedPoint* v = t.v;
    const double scale = 1.0 / static_cast<double>(kOnePixel);
    const double d1x = static_cast<double>(v[1].x - v[0].x) * scale, d1y = static_cast<double>(v[1].y - v[0].y) * scale;
    const double d2x = static_cast<double>(v[2].x - v[0].x) * scale, d2y = static_cast<double>(v[2].y - v[0].y) * scale;
    const double z1 = double{t.depth[1]} - t.depth[0], z2 = double{t.depth[2]} - t.depth[0];
    const double det = static_cast<double>(t.area) * scale * scale;
    base_ = t.depth[0];
    dzdx_ = (z1 * d2y - z2 * d1y) / det;
    dzdy_ = (z2 * d1x - z1 * d2x) / det;
    startX_ = static_cast<double>(start.x - v[0].x) * scale;
    startY_ = static_cast<double>(start.y - v[0].y) * scale;
  }
  // At the first centre of the box's row `row` (0 at its top).
  double RowStart(int row) const { return base_ + dzdy_ * (startY_ + row) + dzdx_ * startX_; }
  // `column` centres to the right of the row's first.
  float Along(double rowStart, double column) const { return static_cast<float>(rowStart + dzdx_ * column); }

 private:
  double base_, dzdx_, dzdy_, startX_, startY_;
};

// The triangle's pixel centres within the image: columns x0..x1, rows y0..y1.
struct CentreBox {
  int x0, x1, y0, y1;
  FixedPoint Start() const { return {x0 * kOnePixel + kHalfPixel, y0 * kOnePixel + kHalfPixel}; }
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

// A box of at most 2 x 2 centres, as most triangles of a dense mesh have:
// each centre is tested on its own, without a branch, and the depth plane is
// worked out only once one is covered (most such triangles cover none).
template <typename ColourOf>
void FillSmall(RasterImage& image, const WoundTriangle& t, const CentreBox& box, ColourOf& colourOf) {
  const FixedPoint start = box.Start();
  const EdgeFunction e[3] = {MakeEdge(t.v[1], t.v[2], start), MakeEdge(t.v[2], t.v[0], start),
                             MakeEdge(t.v[0], t.v[1], start)};
  const int columns = box.x1 - box.x0, rows = box.y1 - box.y0;
  uint32_t covered = 0;  // bit 2 * row + column
  for (int centre = 0; centre < 4; ++centre) {
    const int column = centre & 1, row = centre >> 1;
    int64_t outside = 0;
    for (const EdgeFunction& edge : e) outside |= edge.atStart + column * edge.stepX + row * edge.stepY;
    covered |= static_cast<uint32_t>((outside >= 0) & (column <= columns) & (row <= rows)) << centre;
  }
  if (covered == 0) return;
  const DepthPlane plane(t, start);
  std::optional<Rgba> colour;
  for (int centre = 0; centre < 4; ++centre) {
    if (!(covered >> centre & 1)) continue;
    const int column = centre & 1, row = centre >> 1;
    PutIfNearer(image, box.x0 + column, box.y0 + row, plane.Along(plane.RowStart(row), column), colour, colourOf);
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
void FillLarge(RasterImage& image, const WoundTriangle& t, const CentreBox& box, ColourOf& colourOf) {
  const FixedPoint start = box.Start();
  const EdgeFunction e[3] = {MakeEdge(t.v[1], t.v[2], start), MakeEdge(t.v[2], t.v[0], start),
                             MakeEdge(t.v[0], t.v[1], start)};
  const DepthPlane plane(t, start);
  std::optional<Rgba> colour;
  int64_t rowValue[3] = {e[0].atStart, e[1].atStart, e[2].atStart};
  for (int row = 0; row <= box.y1 - box.y0; ++row) {
    int64_t first = 0, last = box.x1 - box.x0;
    for (int k = 0; k < 3; ++k) {
      KeepInside(rowValue[k], e[k].stepX, first, last);
      rowValue[k] += e[k].stepY;
    }
    if (first > last) continue;
    const double rowStart = plane.RowStart(row);
    const size_t rowIndex =
        static_cast<size_t>(box.y0 + row) * static_cast<size_t>(image.width) + static_cast<size_t>(box.x0);
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

// Inlined into each caller, so the corners stay in registers: handed to a
// call of its own they went through memory in a way that stalls the loads.
template <typename ColourOf>
[[gnu::always_inline]] inline int64_t Rasterize(RasterImage& image, const FillCorner& a, const FillCorner& b,
                                                const FillCorner& c, ColourOf colourOf) {
  CentreBox box;
  box.x0 = std::max(0, FirstPixelFrom(std::min({a.x, b.x, c.x})));
  box.x1 = std::min(image.width - 1, LastPixelUpTo(std::max({a.x, b.x, c.x})));
  box.y0 = std::max(0, FirstPixelFrom(std::min({a.y, b.y, c.y})));
  box.y1 = std::min(image.height - 1, LastPixelUpTo(std::max({a.y, b.y, c.y})));
  // Most triangles of a dense mesh are smaller than a pixel and hold no centre.
  if (box.x0 > box.x1 || box.y0 > box.y1) return 0;
  const WoundTriangle t = WindOneWay(a, b, c);
  if (t.area == 0) return 0;
  if (box.x1 - box.x0 <= 1 && box.y1 - box.y0 <= 1)
    FillSmall(image, t, box, colourOf);
  else
    FillLarge(image, t, box, colourOf);
  return int64_t{box.x1 - box.x0 + 1} * (box.y1 - box.y0 + 1);
}

}  // namespace

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
