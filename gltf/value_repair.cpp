#include "gltf/value_repair.h"

float ReplacedNumber(Repairs& repairs) {
  ++repairs.notFinite;
  return 0.0f;
}

Vector3 NormalisedNormal(const Vector3& n, double squaredLength, Repairs& repairs) {
  ++repairs.normalLength;
  const double length = std::sqrt(squaredLength);
  if (!std::isfinite(length) || length == 0) return Vector3{0, 0, 1};
  return Vector3{static_cast<float>(n.x / length), static_cast<float>(n.y / length), static_cast<float>(n.z / length)};
}

Quaternion NormalisedRotation(const Quaternion& q, double squaredLength, Repairs& repairs) {
  if (!std::isfinite(squaredLength) || squaredLength == 0) {
    ++repairs.notFinite;
    return Quaternion{0, 0, 0, 1};
  }
  const double length = std::sqrt(squaredLength);
  return Quaternion{static_cast<float>(q.x / length), static_cast<float>(q.y / length),
                    static_cast<float>(q.z / length), static_cast<float>(q.w / length)};
}
