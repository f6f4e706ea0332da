// Values as glTF must hold them. The model's floats are written as they are
// wherever glTF can hold them; the few it cannot (a number that is not
// finite, a normal or rotation that is not of unit length) are replaced and
// counted, so the file stays valid and the run can say how many were.
#pragma once

#include "gltf/glb_build.h"
#include "mathlib/vector_types.h"

// Not finite: 0.
float RepairedNumber(float value, Repairs& repairs);
Vector3 RepairedVector(const Vector3& v, Repairs& repairs);
// Not finite: no rotation. Off unit length by more than rounding: normalised.
Quaternion RepairedRotation(const Quaternion& q, Repairs& repairs);
// A normal whose length is off 1 by more than glTF allows is normalised; a
// zero or non-finite one becomes +Z.
Vector3 RepairedNormal(const Vector3& n, Repairs& repairs);
