// One bone's animation, prepared once per animation for decoding frame after
// frame: the bone's reference values and scales, the stream positions and one
// cursor per stream, so a whole animation costs time in proportion to its
// frames plus its runs. Gives bit for bit what DecodeBonePosition and
// DecodeBoneAngles give for the same frame.
#pragma once

#include <cstdint>

#include "anim/stream_decode.h"
#include "formats/model_records.h"

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
Vector3 SampleAngles(const BoneTrack& track, const BoneSample& sample, float s);
