// The plain float32 types the model data and the rotation math share.
#pragma once

struct Vector3 {
  float x = 0, y = 0, z = 0;
  float& operator[](int axis) { return axis == 0 ? x : axis == 1 ? y : z; }
  float operator[](int axis) const { return axis == 0 ? x : axis == 1 ? y : z; }
};

// x, y, z, w; w is the scalar part.
struct Quaternion {
  float x = 0, y = 0, z = 0, w = 0;
  float& operator[](int i) { return i == 0 ? x : i == 1 ? y : i == 2 ? z : w; }
  float operator[](int i) const { return i == 0 ? x : i == 1 ? y : i == 2 ? z : w; }
};

// Row-major, m[r][c]; columns 0 to 2 rotate, column 3 translates.
struct Matrix3x4 {
  float m[3][4] = {};
};
