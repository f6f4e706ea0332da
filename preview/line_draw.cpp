#include "preview/line_draw.h"

#include <algorithm>
#include <cmath>

namespace {

enum Outside { kLeft = 1, kRight = 2, kAbove = 4, kBelow = 8 };

int OutsideCode(double x, double y, double width, double height) {
  return (x < 0 ? kLeft : 0) | (x > width ? kRight : 0) | (y < 0 ? kAbove : 0) | (y > height ? kBelow : 0);
}

// Clips the line from a to b to [0, width] x [0, height] by moving an outside
// end onto the border it crosses, along the line (Cohen-Sutherland). Each
// move works from the border's coordinate, so a line from far away keeps its
// position: a horizontal line from -1e30 to 1e30 stays at its y. False when
// no part of the line is inside.
bool ClipToImage(double& ax, double& ay, double& bx, double& by, double width, double height) {
  // Each move puts an end on a border; a few suffice even with rounding.
  for (int move = 0; move < 8; ++move) {
    const int codeA = OutsideCode(ax, ay, width, height), codeB = OutsideCode(bx, by, width, height);
    if ((codeA | codeB) == 0) return true;
    if (codeA & codeB) return false;
    const bool moveA = codeA != 0;
    const int code = moveA ? codeA : codeB;
    double& px = moveA ? ax : bx;
    double& py = moveA ? ay : by;
    const double qx = moveA ? bx : ax, qy = moveA ? by : ay;
    // The other end is on the inner side of this border: no division by 0.
    if (code & (kLeft | kRight)) {
      const double border = (code & kLeft) ? 0 : width;
      py += (border - px) * (qy - py) / (qx - px);
      px = border;
    } else {
      const double border = (code & kAbove) ? 0 : height;
      px += (border - py) * (qx - px) / (qy - py);
      py = border;
    }
  }
  return false;
}

void PutIfNearer(RasterImage& image, int x, int y, float depth, Rgba colour) {
  if (x < 0 || y < 0 || x >= image.width || y >= image.height) return;
  const size_t index = static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x);
  if (depth < image.depth[index]) {
    image.depth[index] = depth;
    PutPixel(image, index, colour);
  }
}

}  // namespace

void DrawLine(RasterImage& image, ScreenPoint a, ScreenPoint b, int thickness, Rgba colour) {
  if (image.width <= 0 || image.height <= 0) return;
  if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(a.depth) || !std::isfinite(b.x) ||
      !std::isfinite(b.y) || !std::isfinite(b.depth))
    return;
  double ax = a.x, ay = a.y, bx = b.x, by = b.y;
  const double fullX = bx - ax, fullY = by - ay;
  if (!ClipToImage(ax, ay, bx, by, image.width, image.height)) return;
  // The depth at the clipped ends, from how far along the full line they are.
  const bool alongX = std::fabs(fullX) >= std::fabs(fullY);
  const double full = alongX ? fullX : fullY;
  const double startT = full != 0 ? ((alongX ? ax - a.x : ay - a.y) / full) : 0;
  const double endT = full != 0 ? ((alongX ? bx - a.x : by - a.y) / full) : 0;
  const double depthA = a.depth + (double{b.depth} - a.depth) * startT;
  const double depthB = a.depth + (double{b.depth} - a.depth) * endT;

  // After clipping the line is at most width + height pixels long.
  const double dx = bx - ax, dy = by - ay;
  const int steps = static_cast<int>(std::ceil(std::max(std::fabs(dx), std::fabs(dy))));
  for (int k = 0; k <= steps; ++k) {
    const double t = steps > 0 ? static_cast<double>(k) / steps : 0;
    // A clipped end on the far border (x == width) belongs to the last pixel,
    // one rounded just below 0 to the first.
    const int x = std::clamp(static_cast<int>(std::floor(ax + dx * t)), 0, image.width - 1);
    const int y = std::clamp(static_cast<int>(std::floor(ay + dy * t)), 0, image.height - 1);
    const float depth = static_cast<float>(depthA + (depthB - depthA) * t);
    PutIfNearer(image, x, y, depth, colour);
    if (thickness >= 2) {
      if (alongX)
        PutIfNearer(image, x, y + 1, depth, colour);
      else
        PutIfNearer(image, x + 1, y, depth, colour);
    }
  }
}

void DrawDot(RasterImage& image, float x, float y, int side, Rgba colour) {
  if (!std::isfinite(x) || !std::isfinite(y) || side <= 0) return;
  // Beyond the image the dot cannot reach it; clamping first keeps the
  // arithmetic in int.
  const double limit = static_cast<double>(std::max(image.width, image.height)) + side;
  const int cx = static_cast<int>(std::floor(std::clamp(static_cast<double>(x), -limit, limit)));
  const int cy = static_cast<int>(std::floor(std::clamp(static_cast<double>(y), -limit, limit)));
  const int x0 = std::max(0, cx - (side - 1) / 2), x1 = std::min(image.width - 1, cx + side / 2);
  const int y0 = std::max(0, cy - (side - 1) / 2), y1 = std::min(image.height - 1, cy + side / 2);
  for (int py = y0; py <= y1; ++py)
    for (int px = x0; px <= x1; ++px)
      PutPixel(image, static_cast<size_t>(py) * static_cast<size_t>(image.width) + static_cast<size_t>(px), colour);
}
