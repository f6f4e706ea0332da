#include "model/frame_sampling.h"

#include <algorithm>
#include <cstring>

#include "mathlib/rotation_lanes.h"

static_assert(sizeof(BoneSample) == 9 * sizeof(float), "samples are compared bytewise");

FrameSampler::FrameSampler(const ByteView& view, std::span<BoneTrack> tracks)
    : view_(view),
      tracks_(tracks),
      samples_(tracks.size()),
      angles_(tracks.size()),
      changed_(tracks.size()) {
  changedBones_.reserve(tracks.size());
}

void FrameSampler::SampleFrame(int32_t frame) {
  changedBones_.clear();
  size_t b = 0;
  try {
    for (; b < tracks_.size(); ++b) {
      const BoneSample sample = SampleBoneTrack(view_, tracks_[b], frame, 0.0f);
      const bool changed = first_ || std::memcmp(&sample, &samples_[b], sizeof sample) != 0;
      changed_[b] = changed;
      if (changed) {
        samples_[b] = sample;
        changedBones_.push_back(static_cast<uint32_t>(b));
      }
    }
  } catch (const FormatError&) {
    failedBone_ = static_cast<int32_t>(b);
    throw;
  }
  first_ = false;
  SampleWholeFrameAngles(tracks_, samples_, changedBones_, angles_);
}

void FrameSampler::ChangedRotations(std::span<Quaternion> rotations) const {
  const int lanes = rotation_lanes::LaneCount();
  Vector3 angles[rotation_lanes::kMostLanes];
  Quaternion quaternions[rotation_lanes::kMostLanes];
  for (size_t first = 0; first < changedBones_.size(); first += static_cast<size_t>(lanes)) {
    const size_t count = std::min(changedBones_.size() - first, static_cast<size_t>(lanes));
    // Unused lanes repeat the first bone.
    for (size_t lane = 0; lane < static_cast<size_t>(lanes); ++lane)
      angles[lane] = angles_[changedBones_[first + (lane < count ? lane : 0)]];
    rotation_lanes::AnglesToQuaternions(lanes, angles, quaternions);
    for (size_t lane = 0; lane < count; ++lane) rotations[changedBones_[first + lane]] = quaternions[lane];
  }
}
