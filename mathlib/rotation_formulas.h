// The rotation formulas, inline, for the per-frame callers that chain them
// (model/bone_track.cpp); mathlib/rotation.h declares the same functions for
// everyone else, and rotation.cpp defines those with these bodies.
#pragma once

#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "mathlib/rotation.h"
#include "mathlib/rounded_trig.h"

namespace rotation_formulas {

// Every conversion here feeds output text that must stay the same byte for
// byte, so each result must equal double-precision evaluation of
// the formula as written, rounded to float32 only where a value is stored in
// a float32 output or temporary. That is why:
//  - all arithmetic is done on doubles (inputs widened first) and the
//    operations are grouped and ordered exactly as in the formulas below;
//  - the build uses -ffp-contract=off: fusing a*b+c into one rounding, or
//    reassociating a sum, changes the last bit of some results;
//  - the two angle-unit constants are float32 values, not exact ones;
//  - sine, cosine and atan2 come from mathlib/rounded_trig.h, whose float32
//    results equal those of the C library's sin, cos and atan2 rounded the
//    same way (the atan2 ones after the scaling to degrees).

// std::sqrt's result (the correctly rounded square root) without its path
// that sets the error number for negative arguments, which the compiler
// otherwise keeps as a call.
inline double SquareRoot(double x) {
#if defined(__SSE2__)
  return _mm_cvtsd_f64(_mm_sqrt_sd(_mm_setzero_pd(), _mm_set_sd(x)));
#else
  return std::sqrt(x);
#endif
}

constexpr double kRadiansToDegrees = 57.29578f;   // float32 of 180/pi
constexpr double kDegreesToRadians = 0.017453292f;  // float32 of pi/180
// Below this horizontal length the Y rotation is within about 0.057 degrees
// of +-90 degrees and the X/Z split is no longer defined; Z is then set to 0.
constexpr double kGimbalThreshold = 0.001f;

inline void MatrixToAngles(const Matrix3x4& matrix, Vector3& degrees) {
  const double m00 = matrix.m[0][0];
  const double m10 = matrix.m[1][0];
  const double xy = SquareRoot(m00 * m00 + m10 * m10);  // stays double
  // Each is static_cast<float>(std::atan2(y, x) * kRadiansToDegrees).
  degrees[0] = ScaledAtan2ToFloat(-static_cast<double>(matrix.m[2][0]), xy, kRadiansToDegrees);
  if (xy > kGimbalThreshold) {
    degrees[1] = ScaledAtan2ToFloat(m10, m00, kRadiansToDegrees);
    degrees[2] = ScaledAtan2ToFloat(static_cast<double>(matrix.m[2][1]), static_cast<double>(matrix.m[2][2]),
                                    kRadiansToDegrees);
  } else {
    degrees[1] = ScaledAtan2ToFloat(-static_cast<double>(matrix.m[0][1]), static_cast<double>(matrix.m[1][1]),
                                    kRadiansToDegrees);
    degrees[2] = 0.0f;
  }
}

inline void QuaternionToMatrix(const Quaternion& q, Matrix3x4& matrix) {
  const double x = q.x, y = q.y, z = q.z, w = q.w;
  matrix.m[0][0] = static_cast<float>(1.0 - 2.0 * y * y - 2.0 * z * z);
  matrix.m[1][0] = static_cast<float>(2.0 * x * y + 2.0 * z * w);
  matrix.m[2][0] = static_cast<float>(2.0 * x * z - 2.0 * y * w);

  matrix.m[0][1] = static_cast<float>(2.0 * x * y - 2.0 * z * w);
  matrix.m[1][1] = static_cast<float>(1.0 - 2.0 * x * x - 2.0 * z * z);
  matrix.m[2][1] = static_cast<float>(2.0 * y * z + 2.0 * x * w);

  matrix.m[0][2] = static_cast<float>(2.0 * x * z + 2.0 * y * w);
  matrix.m[1][2] = static_cast<float>(2.0 * y * z - 2.0 * x * w);
  matrix.m[2][2] = static_cast<float>(1.0 - 2.0 * x * x - 2.0 * y * y);
}

inline void QuaternionToAngles(const Quaternion& q, Vector3& radians) {
  Matrix3x4 matrix;
  rotation_formulas::QuaternionToMatrix(q, matrix);
  Vector3 degrees;  // float32: the degree values are rounded before scaling
  rotation_formulas::MatrixToAngles(matrix, degrees);
  // Degree order is (Y, Z, X); radian order is (X, Y, Z).
  const double aboutX = degrees[2], aboutY = degrees[0], aboutZ = degrees[1];
  radians[0] = static_cast<float>(aboutX * kDegreesToRadians);
  radians[1] = static_cast<float>(aboutY * kDegreesToRadians);
  radians[2] = static_cast<float>(aboutZ * kDegreesToRadians);
}

inline HalfAngle HalfAngleOf(float radians) {
  // The half angle, its sine and its cosine are float32 temporaries: the
  // sine is static_cast<float>(std::sin(static_cast<double>(half))), the
  // cosine likewise.
  const float half = static_cast<float>(static_cast<double>(radians) * 0.5);
  HalfAngle result;
  SineCosineToFloat(half, result.sine, result.cosine);
  return result;
}

inline void HalfAnglesToQuaternion(const HalfAngle& aboutX, const HalfAngle& aboutY, const HalfAngle& aboutZ,
                            Quaternion& q) {
  const double sx = aboutX.sine, cx = aboutX.cosine;
  const double sy = aboutY.sine, cy = aboutY.cosine;
  const double sz = aboutZ.sine, cz = aboutZ.cosine;
  q.x = static_cast<float>((sx * cy) * cz - (cx * sy) * sz);
  q.y = static_cast<float>((sx * cy) * sz + (cx * sy) * cz);
  q.z = static_cast<float>((cx * cy) * sz - (sx * sy) * cz);
  q.w = static_cast<float>((cx * cy) * cz + (sx * sy) * sz);
}

inline void AnglesToQuaternion(const Vector3& radians, Quaternion& q) {
  rotation_formulas::HalfAnglesToQuaternion(rotation_formulas::HalfAngleOf(radians[0]), rotation_formulas::HalfAngleOf(radians[1]), rotation_formulas::HalfAngleOf(radians[2]), q);
}

inline void AlignQuaternion(const Quaternion& p, const Quaternion& q, Quaternion& o) {
  double apart = 0.0, together = 0.0;
  for (int i = 0; i < 4; ++i) {
    const double difference = static_cast<double>(p[i]) - q[i];
    const double sum = static_cast<double>(p[i]) + q[i];
    apart += difference * difference;
    together += sum * sum;
  }
  // A tie (orthogonal p and q) keeps q.
  if (apart > together) {
    for (int i = 0; i < 4; ++i) o[i] = -q[i];
  } else if (&o != &q) {
    for (int i = 0; i < 4; ++i) o[i] = q[i];
  }
}

inline float NormalizeQuaternion(Quaternion& q) {
  double squared = 0.0;
  for (int i = 0; i < 4; ++i) squared += static_cast<double>(q[i]) * q[i];
  if (squared == 0.0) return 0.0f;
  const double length = SquareRoot(squared);
  const double inverse = 1.0 / length;
  for (int i = 0; i < 4; ++i) q[i] = static_cast<float>(q[i] * inverse);
  return static_cast<float>(length);
}

inline void MixQuaternions(const Quaternion& p, const Quaternion& q, float t, Quaternion& o) {
  const double weight = t;
  for (int i = 0; i < 4; ++i) {
    o[i] = static_cast<float>(weight * q[i] + (1.0 - weight) * p[i]);
  }
  rotation_formulas::NormalizeQuaternion(o);
}

inline void BlendQuaternions(const Quaternion& p, const Quaternion& q, float t, Quaternion& o) {
  Quaternion aligned;
  rotation_formulas::AlignQuaternion(p, q, aligned);
  rotation_formulas::MixQuaternions(p, aligned, t, o);
}

}  // namespace rotation_formulas
