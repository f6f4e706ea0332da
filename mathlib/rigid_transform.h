// Rigid transforms in double, for placing bones in model space: a bone's rest
// matrix is its parent's times its own rotation and position.
#pragma once

#include "mathlib/vector_types.h"

// m[r][c], column 3 the translation.
struct Affine {
  double m[3][4] = {};
};

// The rotation of a unit quaternion and a translation.
Affine RestMatrix(const Quaternion& q, const Vector3& t);
// a * b: b's transform first, then a's.
Affine Multiply(const Affine& a, const Affine& b);
// The inverse by cofactors; false when a is singular or not finite.
bool Invert(const Affine& a, Affine& inverse);
