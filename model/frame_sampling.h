// The whole frames of an animation, sampled frame after frame for every bone
// the way every writer takes them: SampleBoneTrack at blend 0 for each bone,
// then the angles of the bones whose sample changed, several bones at once
// (SampleWholeFrameAngles). A bone whose sample holds keeps its angles, so a
// held pose costs no rotation math; writers reuse what they made of it.
//
// Given the animation's frame count, the sampler decodes a block of frames
// ahead, bone after bone (SampleBoneTrackFrames: each stream walked once for
// the block, its values in a tight loop), into a frame-major buffer of a
// bounded size; each frame is then read from it. Bad data met ahead is kept
// and thrown at the frame, and for the bone, where sampling frame after frame
// would meet it first. Without the count, frames are decoded one at a time.
// The angle lanes read each frame's samples where they were decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "model/bone_track.h"

class FrameSampler {
 public:
  // Samples `tracks` (all of an animation's bones, or some of them), which
  // the caller keeps for as long as the sampler is used.
  FrameSampler(const ByteView& view, std::span<BoneTrack> tracks);
  // The same, for an animation of `frameCount` frames: frames from 0 to
  // frameCount - 1 are decoded in blocks (others one at a time).
  FrameSampler(const ByteView& view, std::span<BoneTrack> tracks, int32_t frameCount);

  // Samples `frame` for every bone. Frames in increasing order cost time in
  // proportion to the frames and runs of the streams; any order gives the
  // same values. Throws FormatError for bad data, with FailedBone() naming
  // the bone; the sampler is then not to be used further.
  void SampleFrame(int32_t frame);
  // The position in `tracks` of the bone whose sample threw, else -1.
  int32_t FailedBone() const { return failedBone_; }

  size_t BoneCount() const { return tracks_.size(); }
  const BoneSample& Sample(size_t bone) const { return current_[bone]; }
  // SampleAngles(track, sample, 0) of the bone's current sample.
  const Vector3& Angles(size_t bone) const { return angles_[bone]; }
  // Whether the bone's sample differs from the one of the frame sampled
  // before (every bone's does at the first frame sampled).
  bool Changed(size_t bone) const { return changed_[bone] != 0; }
  std::span<const uint32_t> ChangedBones() const { return changedBones_; }

 private:
  // Decodes frames from `frame` on into block_.
  void DecodeBlock(int32_t frame);

  const ByteView& view_;
  std::span<BoneTrack> tracks_;
  int32_t frameCount_ = 0;     // 0: unknown
  int32_t blockFrames_ = 1;    // the most frames a block holds
  std::vector<BoneSample> block_;  // frame-major: frame blockFirst_ + i, bone b at i * bones + b
  int32_t blockFirst_ = 0;
  int32_t blockEnd_ = 0;  // frames blockFirst_ .. blockEnd_ - 1 are decoded, and blockEnd_ is
  std::optional<FormatError> blockError_;  // where this was met, if it is set,
  int32_t blockErrorBone_ = -1;            // with this bone
  const BoneSample* current_ = nullptr;  // the samples of the frame sampled last: a row of block_ or previous_
  std::vector<BoneSample> previous_;     // that row, kept when a new block is decoded over it
  std::vector<Vector3> angles_;
  std::vector<uint8_t> changed_;
  std::vector<uint32_t> changedBones_;
  bool first_ = true;
  int32_t failedBone_ = -1;
};
