// Values as glTF must hold them. The model's floats are written as they are
// wherever glTF can hold them; the few it cannot (a number that is not
// finite, a normal or rotation that is not of unit length) are replaced and
// counted, so the file stays valid and the run can say how many were. The
// checks run for every vertex and key, so they are inline; the replacements
// are not.
#pragma once

#include <cmath>

#include "gltf/glb_build.h"
#include "mathlib/vector_types.h"

// glTF readers accept unit vectors within 0.00674 of length 1; stored normals
// are kept unchanged well inside that (a squared length within 0.01 of 1 is a
// length within 0.005).
constexpr double kNormalSquaredTolerance = 0.01;
// A rotation from Euler angles is of unit length up to float rounding.
constexpr double kRotationSquaredTolerance = 2e-5;

float ReplacedNumber(Repairs& repairs);
Vector3 NormalisedNormal(const Vector3& n, double squaredLength, Repairs& repairs);
Quaternion NormalisedRotation(const Quaternion& q, double squaredLength, Repairs& repairs);

// Not finite: 0.
inline float RepairedNumber(float value, Repairs& repairs) {
  return std::isfinite(value) ? value : ReplacedNumber(repairs);
}
inline Vector3 RepairedVector(const Vector3& v, Repairs& repairs) {
  return Vector3{RepairedNumber(v.x, repairs), RepairedNumber(v.y, repairs), RepairedNumber(v.z, repairs)};
}
// A normal whose length is off 1 by more than glTF allows is normalised; a
// zero or non-finite one becomes +Z.
inline Vector3 RepairedNormal(const Vector3& n, Repairs& repairs) {
  const double squared =
      static_cast<double>(n.x) * n.x + static_cast<double>(n.y) * n.y + static_cast<double>(n.z) * n.z;
  if (std::fabs(squared - 1.0) <= kNormalSquaredTolerance) return n;  // false for NaN
  return NormalisedNormal(n, squared, repairs);
}
// Not finite: no rotation. Off unit length by more than rounding: normalised.
inline Quaternion RepairedRotation(const Quaternion& q, Repairs& repairs) {
  double squared = 0;
  for (int i = 0; i < 4; ++i) squared += static_cast<double>(q[i]) * q[i];
  if (std::fabs(squared - 1.0) <= kRotationSquaredTolerance) return q;  // false for NaN
  return NormalisedRotation(q, squared, repairs);
}
