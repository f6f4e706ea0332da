// The animation decoding as the format defines it, literally: every call
// walks each stream from its first run. Slow, stateless and kept only as the
// reference the stream cursor and the bone tracks are checked against.
#pragma once

#include "model/stream_decode.h"

// The walk from the stream's first run; costs time in proportion to the runs
// before the frame.
StreamRun FindStreamRun(const ByteView& view, int64_t streamAt, int32_t frame);

// The rotation of frame k blended by s towards frame k + 1, as radian-order
// angles: a1 and a2 equal in all three components (float32 comparison, a NaN
// is unequal) take the quaternion of a1 as it is; otherwise the two
// quaternions are blended (which normalises even for s = 0).
Vector3 BlendedAngles(const Vector3& a1, const Vector3& a2, float s);

// The bone's position and rotation angles at frame k, blended by s towards
// frame k + 1.
Vector3 DecodeBonePosition(const ModelFile& model, const ModelHeader& header, const BoneAnimRecord& boneAnim,
                           int32_t bone, int32_t frame, float s);
Vector3 DecodeBoneAngles(const ModelFile& model, const ModelHeader& header, const BoneAnimRecord& boneAnim,
                         int32_t bone, int32_t frame, float s);
