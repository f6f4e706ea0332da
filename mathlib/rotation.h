// Rotation conversions between 3x4 matrices, Euler angles and quaternions.
//
// Inputs and outputs are float32; the arithmetic is done in double and
// rounded to float32 exactly where a value is stored into a float32 output or
// temporary, so results are reproducible bit for bit. Two angle orders exist:
// radian order (about X, Y, Z) for QuaternionToAngles / AnglesToQuaternion,
// degree order (about Y, Z, X) for MatrixToAngles. Both describe
// R = Rz * Ry * Rx acting on column vectors.
#pragma once

#include "mathlib/vector_types.h"

void MatrixToAngles(const Matrix3x4& matrix, Vector3& degrees);
void QuaternionToMatrix(const Quaternion& q, Matrix3x4& matrix);  // columns 0..2 only
void QuaternionToAngles(const Quaternion& q, Vector3& radians);
void AnglesToQuaternion(const Vector3& radians, Quaternion& q);
// AnglesToQuaternion in two steps, for callers that keep the sine and cosine
// of an angle that did not change: the float32 sine and cosine of half of one
// radian angle, and the quaternion from those of the X, Y and Z angles.
struct HalfAngle {
  float sine = 0, cosine = 1;
};
HalfAngle HalfAngleOf(float radians);
void HalfAnglesToQuaternion(const HalfAngle& aboutX, const HalfAngle& aboutY, const HalfAngle& aboutZ,
                            Quaternion& q);
// o is q or -q, whichever lies in p's hemisphere; o may be q itself.
void AlignQuaternion(const Quaternion& p, const Quaternion& q, Quaternion& o);
// Returns the former length; a zero quaternion stays zero.
float NormalizeQuaternion(Quaternion& q);
void MixQuaternions(const Quaternion& p, const Quaternion& q, float t, Quaternion& o);
void BlendQuaternions(const Quaternion& p, const Quaternion& q, float t, Quaternion& o);
