// One bone's animation, prepared once per animation for decoding frame after
// frame: the bone's reference values and scales, the stream positions and one
// cursor per stream, so a whole animation costs time in proportion to its
// frames plus its runs. Gives bit for bit what DecodeBonePosition and
// DecodeBoneAngles give for the same frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "model/stream_decode.h"
#include "formats/model_records.h"
#include "mathlib/rotation.h"

// The run a stream's cursor stands in, read once per run rather than once per
// frame. Every frame from firstFrame to firstFrame + span - 1 falls into it at
// offset frame - firstFrame, whatever frames were asked before (a span of 0:
// no such frames known, as for a stream that met a run resetting the offset).
struct CurrentRun {
  int64_t at = -1;  // -1: none read yet
  RunValues values;
  int32_t firstFrame = 0;
  uint32_t span = 0;
};

// The last angle of one axis (as bits, so -0.0 and NaN are told apart) and the
// sine and cosine of its half: an axis that holds its angle costs neither.
struct HalfAngleMemo {
  bool valid = false;
  uint32_t angleBits = 0;
  HalfAngle half;
};
// HalfAngleOf(radians), computed only when the angle differs from the last one.
HalfAngle MemoizedHalfAngle(HalfAngleMemo& memo, float radians);

struct BoneTrack {
  int32_t bone = 0;
  bool positionCoded = false;
  bool rotationCoded = false;
  Vector3 rawPosition;
  Vector3 rawAngles;  // the stored quaternion's angles, when the rotation is not coded
  Vector3 referencePosition, referenceAngles, positionScale, angleScale;
  bool hasPositionStream[3] = {};
  bool hasRotationStream[3] = {};
  StreamCursor positionStream[3];
  StreamCursor rotationStream[3];
  CurrentRun positionRun[3];
  CurrentRun rotationRun[3];
  HalfAngleMemo halfAngles[3];  // of a1, the frame's own angles
};

// Reads the bone's BoneRecord and its per-bone record of the animation.
BoneTrack PrepareBoneTrack(const ModelFile& model, const ModelHeader& header, const AnimDescRecord& anim,
                           int32_t bone);

// Everything a frame's output depends on: the position and the two angle
// triples that are blended. Equal samples give equal output lines. With the
// rotation not coded, a1 and a2 stay 0 and the angles are the track's rawAngles.
struct BoneSample {
  Vector3 position;
  Vector3 a1, a2;
};

BoneSample SampleBoneTrack(const ByteView& view, BoneTrack& track, int32_t frame, float s);

// SampleBoneTrack(view, track, first + i, 0) into samples[i * stride] for i
// from 0 while below `count`, each stream walked once for all those frames.
// Returns the number of frames sampled: `count`, or the frame i where
// SampleBoneTrack would throw, with its FormatError in `error` (the entries
// from there on are left as they were; the track is then not to be used
// further).
int32_t SampleBoneTrackFrames(const ByteView& view, BoneTrack& track, int32_t first, int32_t count,
                              BoneSample* samples, size_t stride, std::optional<FormatError>& error);
// BlendedAngles(sample.a1, sample.a2, s), bit for bit, reusing the track's
// half-angle sines and cosines; at s = 0 the quaternion of a2 is computed
// only where it can change the result.
Vector3 SampleAngles(BoneTrack& track, const BoneSample& sample, float s);

// SampleAngles(tracks[b], samples[b], 0) into angles[b] for every b in
// `bones`, bit for bit: the whole frames of an animation. The bones that
// take the common path (no blend) are computed several at a time
// (mathlib/rotation_lanes.h), which is much faster than one by one.
void SampleWholeFrameAngles(std::span<BoneTrack> tracks, std::span<const BoneSample> samples,
                            std::span<const uint32_t> bones, std::span<Vector3> angles);
// The rotations of one bone's frames as quaternions, for a writer that keys
// them so: rotations[i] for every i in `frames` (positions in `samples`,
// consecutive frames of the track), several frames at once. Each is
// AnglesToQuaternion of the frame's own angles a1 (the stored angles where
// the rotation is not coded), unit up to rounding: the rotation SampleAngles
// turns into angles. Where SampleAngles blends with angles that are not
// finite, AnglesToQuaternion of its result, so a value that is not a number
// stays one.
void SampleTrackRotations(BoneTrack& track, std::span<const BoneSample> samples, std::span<const uint32_t> frames,
                          std::span<Quaternion> rotations);
