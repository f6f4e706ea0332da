#include "model/frame_sampling.h"

#include <algorithm>
#include <cstring>

static_assert(sizeof(BoneSample) == 9 * sizeof(float), "samples are compared bytewise");

namespace {

// A block holds at most this many samples (36 bytes each), and at most
// kMostBlockFrames frames.
constexpr size_t kBlockSamples = size_t{1} << 13;
constexpr int32_t kMostBlockFrames = 64;

}  // namespace

FrameSampler::FrameSampler(const ByteView& view, std::span<BoneTrack> tracks) : FrameSampler(view, tracks, 0) {}

FrameSampler::FrameSampler(const ByteView& view, std::span<BoneTrack> tracks, int32_t frameCount)
    : view_(view),
      tracks_(tracks),
      frameCount_(frameCount > 0 ? frameCount : 0),
      angles_(tracks.size()),
      changed_(tracks.size()) {
  if (frameCount_ > 0 && !tracks.empty()) {
    blockFrames_ = static_cast<int32_t>(std::clamp<size_t>(kBlockSamples / tracks.size(), 1, kMostBlockFrames));
  }
  block_.resize(static_cast<size_t>(blockFrames_) * tracks.size());
  changedBones_.reserve(tracks.size());
}

void FrameSampler::DecodeBlock(int32_t frame) {
  const size_t bones = tracks_.size();
  int32_t count = 1;
  if (frame >= 0 && frame < frameCount_) count = std::min(blockFrames_, frameCount_ - frame);
  blockFirst_ = frame;
  blockError_.reset();
  blockErrorBone_ = -1;
  // Bad data at frame i for bone b comes first when no bone before b has
  // any at frame i or earlier and no bone after it earlier than i: a bone
  // only needs the frames before the earliest error seen so far.
  int32_t reached = count;
  for (size_t b = 0; b < bones; ++b) {
    std::optional<FormatError> error;
    const int32_t done = SampleBoneTrackFrames(view_, tracks_[b], frame, reached, block_.data() + b, bones, error);
    if (error) {
      reached = done;
      blockError_ = std::move(error);
      blockErrorBone_ = static_cast<int32_t>(b);
    }
  }
  blockEnd_ = frame + reached;
}

void FrameSampler::SampleFrame(int32_t frame) {
  if (frame < blockFirst_ || frame > blockEnd_ || (frame == blockEnd_ && !blockError_)) {
    if (current_ != nullptr && current_ != previous_.data()) {
      previous_.assign(current_, current_ + tracks_.size());
      current_ = previous_.data();
    }
    DecodeBlock(frame);
  }
  if (frame == blockEnd_ && blockError_) {
    failedBone_ = blockErrorBone_;
    throw *blockError_;
  }
  changedBones_.clear();
  const BoneSample* row = block_.data() + static_cast<size_t>(frame - blockFirst_) * tracks_.size();
  for (size_t b = 0; b < tracks_.size(); ++b) {
    const bool changed = first_ || std::memcmp(&row[b], &current_[b], sizeof(BoneSample)) != 0;
    changed_[b] = changed;
    if (changed) changedBones_.push_back(static_cast<uint32_t>(b));
  }
  first_ = false;
  current_ = row;
  SampleWholeFrameAngles(tracks_, std::span<const BoneSample>(row, tracks_.size()), changedBones_, angles_);
}
