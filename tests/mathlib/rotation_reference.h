// The angles SampleAngles gives for a whole animation frame (s = 0),
// evaluated separately with the C library's sin, cos and atan2: for checking
// the fast paths (tests and bench/fast_math_check).
#pragma once

#include "mathlib/vector_types.h"

// normalise: the next frame's angles differ (the quaternion is normalised);
// else they are equal (it is taken as it is). A -0.0 component in a
// quaternion to normalise is left to the blend, which this does not model.
Vector3 ReferenceWholeFrameAngles(const Vector3& angles, bool normalise);
