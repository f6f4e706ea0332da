#include "preview/flat_shading.h"

#include <algorithm>
#include <cmath>

#include "preview/preview_palette.h"

namespace {

// intensity is within [kAmbient, 1]: the product rounds into 0..255.
uint8_t Scaled(uint8_t channel, double intensity) {
  return static_cast<uint8_t>(static_cast<double>(channel) * intensity + 0.5);
}

}  // namespace

Rgba ShadeForNormal(double x, double y, double depth) {
  const double facing = x * kLightX + y * kLightY + depth * kLightDepth;
  const double intensity = kAmbient + kDiffuse * std::clamp(facing, 0.0, 1.0);
  return Rgba{Scaled(kSurfaceColour.r, intensity), Scaled(kSurfaceColour.g, intensity),
              Scaled(kSurfaceColour.b, intensity), 255};
}

Rgba FlatShade(ScreenPoint a, ScreenPoint b, ScreenPoint c) {
  // In double, the cross product of float corners neither overflows nor
  // underflows, whatever their magnitudes.
  const double ux = double{b.x} - a.x, uy = double{b.y} - a.y, ud = double{b.depth} - a.depth;
  const double vx = double{c.x} - a.x, vy = double{c.y} - a.y, vd = double{c.depth} - a.depth;
  double nx = uy * vd - ud * vy;
  double ny = ud * vx - ux * vd;
  double nd = ux * vy - uy * vx;
  const double length = std::sqrt(nx * nx + ny * ny + nd * nd);
  if (!(length > 0) || !std::isfinite(length)) return ShadeForNormal(0, 0, -1);
  // Toward the viewer is toward smaller depth.
  const double sign = nd > 0 ? -1.0 : 1.0;
  nx *= sign / length;
  ny *= sign / length;
  nd *= sign / length;
  return ShadeForNormal(nx, ny, nd);
}
