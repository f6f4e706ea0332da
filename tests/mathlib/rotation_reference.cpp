#include "tests/mathlib/rotation_reference.h"

#include <cmath>

namespace {

float F(double v) { return static_cast<float>(v); }
const double kR2D = 57.29578f;
const double kD2R = 0.017453292f;

}  // namespace

Vector3 ReferenceWholeFrameAngles(const Vector3& angles, bool normalise) {
  double s[3], c[3];
  for (int i = 0; i < 3; ++i) {
    const float half = F(static_cast<double>(angles[i]) * 0.5);
    s[i] = F(std::sin(static_cast<double>(half)));
    c[i] = F(std::cos(static_cast<double>(half)));
  }
  float q[4] = {F((s[0] * c[1]) * c[2] - (c[0] * s[1]) * s[2]), F((s[0] * c[1]) * s[2] + (c[0] * s[1]) * c[2]),
                F((c[0] * c[1]) * s[2] - (s[0] * s[1]) * c[2]), F((c[0] * c[1]) * c[2] + (s[0] * s[1]) * s[2])};
  if (normalise) {
    double squared = 0;
    for (float v : q) squared += static_cast<double>(v) * v;
    if (squared != 0) {
      const double inverse = 1.0 / std::sqrt(squared);
      for (float& v : q) v = F(v * inverse);
    }
  }
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  const double m00 = F(1.0 - 2.0 * y * y - 2.0 * z * z), m10 = F(2.0 * x * y + 2.0 * z * w);
  const double m20 = F(2.0 * x * z - 2.0 * y * w), m01 = F(2.0 * x * y - 2.0 * z * w);
  const double m11 = F(1.0 - 2.0 * x * x - 2.0 * z * z), m21 = F(2.0 * y * z + 2.0 * x * w);
  const double m22 = F(1.0 - 2.0 * x * x - 2.0 * y * y);
  const double xy = std::sqrt(m00 * m00 + m10 * m10);
  const double aboutY = F(std::atan2(-m20, xy) * kR2D);
  double aboutZ, aboutX = 0.0;
  if (xy > static_cast<double>(0.001f)) {
    aboutZ = F(std::atan2(m10, m00) * kR2D);
    aboutX = F(std::atan2(m21, m22) * kR2D);
  } else {
    aboutZ = F(std::atan2(-m01, m11) * kR2D);
  }
  return Vector3{F(aboutX * kD2R), F(aboutY * kD2R), F(aboutZ * kD2R)};
}
