#include "anim/bone_track.h"

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
      const RunValues values = ReadRunValues(view, AdvanceStreamCursor(view, track.positionStream[axis], frame));
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
          AngleStreamPair(ReadRunValues(view, AdvanceStreamCursor(view, track.rotationStream[axis], frame)));
      sample.a1[axis] = ScaledValue(track.referenceAngles[axis], pair.u, track.angleScale[axis]);
      sample.a2[axis] = ScaledValue(track.referenceAngles[axis], pair.w, track.angleScale[axis]);
    }
  }
  return sample;
}

Vector3 SampleAngles(const BoneTrack& track, const BoneSample& sample, float s) {
  if (!track.rotationCoded) return track.rawAngles;
  return BlendedAngles(sample.a1, sample.a2, s);
}
