#include "mathlib/rigid_transform.h"

#include <cmath>

Affine RestMatrix(const Quaternion& q, const Vector3& t) {
  const double x = q.x, y = q.y, z = q.z, w = q.w;
  Affine a;
  a.m[0][0] = 1 - 2 * (y * y + z * z);
  a.m[0][1] = 2 * (x * y - z * w);
  a.m[0][2] = 2 * (x * z + y * w);
  a.m[1][0] = 2 * (x * y + z * w);
  a.m[1][1] = 1 - 2 * (x * x + z * z);
  a.m[1][2] = 2 * (y * z - x * w);
  a.m[2][0] = 2 * (x * z - y * w);
  a.m[2][1] = 2 * (y * z + x * w);
  a.m[2][2] = 1 - 2 * (x * x + y * y);
  a.m[0][3] = t.x;
  a.m[1][3] = t.y;
  a.m[2][3] = t.z;
  return a;
}

Affine Multiply(const Affine& a, const Affine& b) {
  Affine p;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) {
      double sum = c == 3 ? a.m[r][3] : 0.0;
      for (int k = 0; k < 3; ++k) sum += a.m[r][k] * b.m[k][c];
      p.m[r][c] = sum;
    }
  }
  return p;
}

bool Invert(const Affine& a, Affine& inverse) {
  const auto& m = a.m;
  const double c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
  const double c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
  const double c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
  const double determinant = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
  if (!std::isfinite(determinant) || determinant == 0) return false;
  const double f = 1.0 / determinant;
  double r[3][3] = {
      {c00 * f, (m[0][2] * m[2][1] - m[0][1] * m[2][2]) * f, (m[0][1] * m[1][2] - m[0][2] * m[1][1]) * f},
      {c01 * f, (m[0][0] * m[2][2] - m[0][2] * m[2][0]) * f, (m[0][2] * m[1][0] - m[0][0] * m[1][2]) * f},
      {c02 * f, (m[0][1] * m[2][0] - m[0][0] * m[2][1]) * f, (m[0][0] * m[1][1] - m[0][1] * m[1][0]) * f},
  };
  for (int row = 0; row < 3; ++row) {
    double t = 0;
    for (int k = 0; k < 3; ++k) {
      inverse.m[row][k] = r[row][k];
      t -= r[row][k] * m[k][3];
    }
    inverse.m[row][3] = t;
  }
  return true;
}
