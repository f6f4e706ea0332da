#include "gltf/value_repair.h"

#include <cmath>

namespace {

// glTF readers accept unit vectors within 0.00674 of length 1; stored normals
// are kept unchanged well inside that.
constexpr double kNormalTolerance = 0.005;
// A rotation from Euler angles is of unit length up to float rounding.
constexpr double kRotationTolerance = 1e-5;

}  // namespace

float RepairedNumber(float value, Repairs& repairs) {
  if (std::isfinite(value)) return value;
  ++repairs.notFinite;
  return 0.0f;
}

Vector3 RepairedVector(const Vector3& v, Repairs& repairs) {
  return Vector3{RepairedNumber(v.x, repairs), RepairedNumber(v.y, repairs), RepairedNumber(v.z, repairs)};
}

Quaternion RepairedRotation(const Quaternion& q, Repairs& repairs) {
  double squared = 0;
  for (int i = 0; i < 4; ++i) squared += static_cast<double>(q[i]) * q[i];
  if (!std::isfinite(squared) || squared == 0) {
    ++repairs.notFinite;
    return Quaternion{0, 0, 0, 1};
  }
  if (std::fabs(squared - 1.0) <= 2 * kRotationTolerance) return q;  // the length within kRotationTolerance
  const double length = std::sqrt(squared);
  return Quaternion{static_cast<float>(q.x / length), static_cast<float>(q.y / length),
                    static_cast<float>(q.z / length), static_cast<float>(q.w / length)};
}

Vector3 RepairedNormal(const Vector3& n, Repairs& repairs) {
  const double squared =
      static_cast<double>(n.x) * n.x + static_cast<double>(n.y) * n.y + static_cast<double>(n.z) * n.z;
  if (std::fabs(squared - 1.0) <= 2 * kNormalTolerance) return n;  // the length within kNormalTolerance; false for NaN
  ++repairs.normalLength;
  const double length = std::sqrt(squared);
  if (!std::isfinite(length) || length == 0) return Vector3{0, 0, 1};
  return Vector3{static_cast<float>(n.x / length), static_cast<float>(n.y / length), static_cast<float>(n.z / length)};
}
