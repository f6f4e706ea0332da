// The whole frames of an animation, sampled frame after frame for every bone
// the way every writer takes them: SampleBoneTrack at blend 0 for each bone,
// then the angles of the bones whose sample changed, several bones at once
// (SampleWholeFrameAngles). A bone whose sample holds keeps its angles, so a
// held pose costs no rotation math; writers reuse what they made of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "model/bone_track.h"

class FrameSampler {
 public:
  // Samples `tracks` (all of an animation's bones, or some of them), which
  // the caller keeps for as long as the sampler is used.
  FrameSampler(const ByteView& view, std::span<BoneTrack> tracks);

  // Samples `frame` for every bone. Frames in increasing order cost time in
  // proportion to the frames and runs of the streams; any order gives the
  // same values. Throws FormatError for bad data, with FailedBone() naming
  // the bone; the sampler is then not to be used further.
  void SampleFrame(int32_t frame);
  // The position in `tracks` of the bone whose sample threw, else -1.
  int32_t FailedBone() const { return failedBone_; }

  size_t BoneCount() const { return tracks_.size(); }
  const BoneSample& Sample(size_t bone) const { return samples_[bone]; }
  // SampleAngles(track, sample, 0) of the bone's current sample.
  const Vector3& Angles(size_t bone) const { return angles_[bone]; }
  // Whether the bone's sample differs from the one of the frame sampled
  // before (every bone's does at the first frame sampled).
  bool Changed(size_t bone) const { return changed_[bone] != 0; }
  std::span<const uint32_t> ChangedBones() const { return changedBones_; }

  // AnglesToQuaternion(Angles(b)) into rotations[b] for every changed bone
  // b, bit for bit, several bones at once; the other entries are untouched.
  void ChangedRotations(std::span<Quaternion> rotations) const;

 private:
  const ByteView& view_;
  std::span<BoneTrack> tracks_;
  std::vector<BoneSample> samples_;
  std::vector<Vector3> angles_;
  std::vector<uint8_t> changed_;
  std::vector<uint32_t> changedBones_;
  bool first_ = true;
  int32_t failedBone_ = -1;
};
