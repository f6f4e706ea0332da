#include "mathlib/rotation.h"

#include "mathlib/rotation_formulas.h"

// The formulas and the rules that keep them exact are in rotation_formulas.h.

void MatrixToAngles(const Matrix3x4& matrix, Vector3& degrees) { rotation_formulas::MatrixToAngles(matrix, degrees); }
void QuaternionToMatrix(const Quaternion& q, Matrix3x4& matrix) { rotation_formulas::QuaternionToMatrix(q, matrix); }
void QuaternionToAngles(const Quaternion& q, Vector3& radians) { rotation_formulas::QuaternionToAngles(q, radians); }
HalfAngle HalfAngleOf(float radians) { return rotation_formulas::HalfAngleOf(radians); }
void HalfAnglesToQuaternion(const HalfAngle& aboutX, const HalfAngle& aboutY, const HalfAngle& aboutZ,
                            Quaternion& q) {
  rotation_formulas::HalfAnglesToQuaternion(aboutX, aboutY, aboutZ, q);
}
void AnglesToQuaternion(const Vector3& radians, Quaternion& q) { rotation_formulas::AnglesToQuaternion(radians, q); }
void AlignQuaternion(const Quaternion& p, const Quaternion& q, Quaternion& o) {
  rotation_formulas::AlignQuaternion(p, q, o);
}
float NormalizeQuaternion(Quaternion& q) { return rotation_formulas::NormalizeQuaternion(q); }
void MixQuaternions(const Quaternion& p, const Quaternion& q, float t, Quaternion& o) {
  rotation_formulas::MixQuaternions(p, q, t, o);
}
void BlendQuaternions(const Quaternion& p, const Quaternion& q, float t, Quaternion& o) {
  rotation_formulas::BlendQuaternions(p, q, t, o);
}
