// The rotation chain of whole animation frames (angles -> quaternion ->
// normalised quaternion -> matrix -> angles) for several bones at once, one
// in each lane of a vector of doubles: the bones' long chains of dependent
// operations run side by side, and one instruction serves them all. Each
// lane's result is the scalar one (SampleAngles at s = 0) bit for bit.
#pragma once

#include "mathlib/vector_types.h"

namespace rotation_lanes {

constexpr int kMostLanes = 8;

// How many bones WholeFrameAngles takes at once on this processor: 8 where
// it has AVX-512 (foundation, double and quad words), 4 where it has AVX2,
// else 2.
int LaneCount();

// The angles of `lanes` bones' whole frames (2, 4 or 8; more lanes than the
// processor has are done a few at a time), as SampleAngles gives them for s = 0 from the frame's angles:
// normalise[lane] says whether the lane's
// quaternion is normalised (the next frame's angles differ, all six finite)
// or taken as it is (they are equal). Returns the bits of the lanes done
// (bit k for lane k); a lane is left undone where SampleAngles would blend
// (a -0.0 in the quaternion to normalise), for the caller to compute.
int WholeFrameAngles(int lanes, const Vector3* angles, const bool* normalise, Vector3* radians);

// AnglesToQuaternion of `lanes` bones' angles (2, 4 or 8), bit for bit.
void AnglesToQuaternions(int lanes, const Vector3* radians, Quaternion* quaternions);

// The kernels WholeFrameAngles uses, on `lanes` values (2 or 4), for
// checking them against the C library: each result is what the scalar
// function of rounded_trig.h gives (SineCosineToFloat, ScaledAtan2ToFloat).
void SineCosineToFloat(int lanes, const float* x, float* sine, float* cosine);
void ScaledAtan2ToFloat(int lanes, const double* y, const double* x, double scale, float* result);
// The atan2 led by an angle near its result or near the opposite direction,
// given as half that angle (a float32, as WholeFrameAngles has it); any
// guide gives the same results, a far one only more slowly.
void ScaledAtan2NearToFloat(int lanes, const double* y, const double* x, const float* guideHalf, double scale,
                            float* result);

}  // namespace rotation_lanes
