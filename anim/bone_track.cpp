#include "anim/bone_track.h"

#include <cmath>
#include <cstring>

#include "mathlib/rotation.h"

BoneTrack PrepareBoneTrack(const ModelFile& model, const ModelHeader& header, const AnimDescRecord& anim,
                           int32_t bone) {
  const BoneRecord record = ReadBone(model, header, bone);
  const BoneAnimRecord boneAnim = ReadBoneAnim(model, anim, bone);
  BoneTrack track;
  track.bone = bone;
  track.positionCoded = (boneAnim.animFlags & kPositionCoded) != 0;
  track.rotationCoded = (boneAnim.animFlags & kRotationCoded) != 0;
  track.rawPosition = boneAnim.rawPosition;
  if (!track.rotationCoded) QuaternionToAngles(boneAnim.rawQuaternion, track.rawAngles);
  track.referencePosition = record.referencePosition;
  track.referenceAngles = record.referenceAngles;
  track.positionScale = record.positionScale;
  track.angleScale = record.angleScale;
  for (int axis = 0; axis < 3; ++axis) {
    track.hasPositionStream[axis] = track.positionCoded && boneAnim.positionStreams[axis] != 0;
    if (track.hasPositionStream[axis]) {
      StartStreamCursor(track.positionStream[axis], AddOffset(boneAnim.at, boneAnim.positionStreams[axis]));
    }
    track.hasRotationStream[axis] = track.rotationCoded && boneAnim.rotationStreams[axis] != 0;
    if (track.hasRotationStream[axis]) {
      StartStreamCursor(track.rotationStream[axis], AddOffset(boneAnim.at, boneAnim.rotationStreams[axis]));
    }
  }
  return track;
}

namespace {

const RunValues& RunValuesAt(const ByteView& view, StreamCursor& cursor, CurrentRun& current, int32_t frame) {
  const StreamRun run = AdvanceStreamCursor(view, cursor, frame);
  if (run.at != current.at) {
    current.values = ReadRunValues(view, run);  // may throw; current then stays as it was
    current.at = run.at;
  }
  current.values.offsetInRun = run.offsetInRun;
  return current.values;
}

bool IsNegativeZero(float value) { return value == 0.0f && std::signbit(value); }

}  // namespace

HalfAngle MemoizedHalfAngle(HalfAngleMemo& memo, float radians) {
  uint32_t bits;
  std::memcpy(&bits, &radians, sizeof bits);
  if (!memo.valid || memo.angleBits != bits) {
    memo.half = HalfAngleOf(radians);
    memo.angleBits = bits;
    memo.valid = true;
  }
  return memo.half;
}

BoneSample SampleBoneTrack(const ByteView& view, BoneTrack& track, int32_t frame, float s) {
  BoneSample sample;
  if (!track.positionCoded) {
    sample.position = track.rawPosition;
  } else {
    for (int axis = 0; axis < 3; ++axis) {
      if (!track.hasPositionStream[axis]) {
        sample.position[axis] = track.referencePosition[axis];
        continue;
      }
      const RunValues& values = RunValuesAt(view, track.positionStream[axis], track.positionRun[axis], frame);
      sample.position[axis] =
          ScaledValue(track.referencePosition[axis], PositionStreamValue(values, s), track.positionScale[axis]);
    }
  }
  if (track.rotationCoded) {
    for (int axis = 0; axis < 3; ++axis) {
      if (!track.hasRotationStream[axis]) {
        sample.a1[axis] = sample.a2[axis] = track.referenceAngles[axis];
        continue;
      }
      const AngleStreamValues pair =
          AngleStreamPair(RunValuesAt(view, track.rotationStream[axis], track.rotationRun[axis], frame));
      sample.a1[axis] = ScaledValue(track.referenceAngles[axis], pair.u, track.angleScale[axis]);
      sample.a2[axis] = ScaledValue(track.referenceAngles[axis], pair.w, track.angleScale[axis]);
    }
  }
  return sample;
}

Vector3 SampleAngles(BoneTrack& track, const BoneSample& sample, float s) {
  if (!track.rotationCoded) return track.rawAngles;
  const Vector3& a1 = sample.a1;
  const Vector3& a2 = sample.a2;
  Quaternion q1;
  HalfAnglesToQuaternion(MemoizedHalfAngle(track.halfAngles[0], a1.x), MemoizedHalfAngle(track.halfAngles[1], a1.y),
                         MemoizedHalfAngle(track.halfAngles[2], a1.z), q1);
  Vector3 angles;
  if (a1.x == a2.x && a1.y == a2.y && a1.z == a2.z) {
    QuaternionToAngles(q1, angles);
    return angles;
  }
  // The blend with weight 0 makes each component 0 * q2' + 1 * q1, where q2'
  // is the quaternion of a2 brought into q1's hemisphere. With finite angles
  // q2' is finite, so the sum is q1's component exactly, except that a -0.0
  // in q1 takes the sign of the zero from q2'. Without such a zero the blend is
  // q1 normalised, and q2 need not be computed.
  if (s == 0.0f && std::isfinite(a1.x) && std::isfinite(a1.y) && std::isfinite(a1.z) && std::isfinite(a2.x) &&
      std::isfinite(a2.y) && std::isfinite(a2.z) && !IsNegativeZero(q1.x) && !IsNegativeZero(q1.y) &&
      !IsNegativeZero(q1.z) && !IsNegativeZero(q1.w)) {
    NormalizeQuaternion(q1);
    QuaternionToAngles(q1, angles);
    return angles;
  }
  Quaternion q2, blended;
  AnglesToQuaternion(a2, q2);
  BlendQuaternions(q1, q2, s, blended);
  QuaternionToAngles(blended, angles);
  return angles;
}
