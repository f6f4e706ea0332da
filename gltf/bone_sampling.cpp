#include "gltf/bone_sampling.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <exception>
#include <optional>
#include <thread>

#include "gltf/value_repair.h"
#include "mathlib/rotation.h"

namespace {

// Below this many samples an animation is sampled on the calling thread.
constexpr int64_t kSamplesPerThread = 10000;
constexpr int kMaxThreads = 4;

static_assert(sizeof(BoneSample) == 9 * sizeof(float), "samples are compared bytewise");

// One bone's keys; `frame` follows the sampling, for the report.
void SampleBone(const ByteView& view, BoneTrack& track, int32_t frames, Vector3* positions, Quaternion* rotations,
                Repairs& repairs, int32_t& frame) {
  BoneSample previous;
  Quaternion rotation;
  HalfAngleMemo halves[3];
  for (frame = 0; frame < frames; ++frame) {
    const BoneSample sample = SampleBoneTrack(view, track, frame, 0.0f);
    positions[frame] = RepairedVector(sample.position, repairs);
    // The rotation depends on the sample alone: a held pose is converted once.
    if (frame == 0 || std::memcmp(&sample, &previous, sizeof sample) != 0) {
      const Vector3 angles = SampleAngles(track, sample, 0.0f);
      HalfAnglesToQuaternion(MemoizedHalfAngle(halves[0], angles.x), MemoizedHalfAngle(halves[1], angles.y),
                             MemoizedHalfAngle(halves[2], angles.z), rotation);
      rotation = RepairedRotation(rotation, repairs);
      previous = sample;
    }
    rotations[frame] = rotation;
  }
}

// What one thread met: its replaced values and the first bad data of its bones.
struct WorkerResult {
  Repairs repairs;
  int32_t failedBone = -1;
  int32_t failedFrame = -1;
  std::optional<FormatError> error;
  std::exception_ptr other;  // anything else, such as running out of memory
};

// The next bone to sample, shared by the threads: each takes bones in
// increasing order until none is left, so a thread that is held up holds up
// only the bone it has.
struct BoneQueue {
  std::atomic<int32_t> next{0};
  std::atomic<int32_t> firstFailed{INT32_MAX};  // bones above a failed one need no sampling
};

// Takes bones until none is left; stops at its first bad data.
void SampleShare(const ByteView& view, std::vector<BoneTrack>& tracks, int32_t first, int32_t count, int32_t frames,
                 BoneQueue& queue, SampledBones& keys, WorkerResult& result) {
  for (int32_t i = queue.next++; i < count && i < queue.firstFailed; i = queue.next++) {
    int32_t frame = -1;
    const size_t at = static_cast<size_t>(i) * static_cast<size_t>(frames);
    try {
      SampleBone(view, tracks[static_cast<size_t>(first + i)], frames, &keys.positions[at], &keys.rotations[at],
                 result.repairs, frame);
    } catch (const FormatError& error) {
      result.failedBone = first + i;
      result.failedFrame = frame;
      result.error = error;
      for (int32_t failed = queue.firstFailed; i < failed && !queue.firstFailed.compare_exchange_weak(failed, i);) {
      }
      return;
    } catch (...) {
      result.other = std::current_exception();
      queue.firstFailed = -1;
      return;
    }
  }
}

}  // namespace

int SamplingThreads(int64_t boneFrames, int allowed) {
  const int64_t wanted = std::max<int64_t>(1, boneFrames / kSamplesPerThread);
  return static_cast<int>(std::min<int64_t>({wanted, std::max(1, allowed), kMaxThreads}));
}

void SampleBones(GlbBuild& build, std::vector<BoneTrack>& tracks, int32_t first, int32_t count, int32_t frames,
                 int threads, SampledBones& keys) {
  const size_t samples = static_cast<size_t>(count) * static_cast<size_t>(frames);
  keys.frames = frames;
  keys.positions.resize(samples);
  keys.rotations.resize(samples);
  threads = std::max(1, std::min(threads, count));
  std::vector<WorkerResult> results(static_cast<size_t>(threads));
  BoneQueue queue;
  std::vector<std::thread> workers;
  for (int w = 1; w < threads; ++w) {
    workers.emplace_back(SampleShare, std::cref(build.model.bytes), std::ref(tracks), first, count, frames,
                         std::ref(queue), std::ref(keys), std::ref(results[static_cast<size_t>(w)]));
  }
  SampleShare(build.model.bytes, tracks, first, count, frames, queue, keys, results[0]);
  for (std::thread& worker : workers) worker.join();

  const WorkerResult* failed = nullptr;
  for (const WorkerResult& result : results) {
    if (result.other) std::rethrow_exception(result.other);
    build.repairs.notFinite += result.repairs.notFinite;
    build.repairs.normalLength += result.repairs.normalLength;
    if (result.error && (failed == nullptr || result.failedBone < failed->failedBone)) failed = &result;
  }
  if (failed != nullptr) {
    build.place.bone = failed->failedBone;
    build.place.frame = failed->failedFrame;
    throw *failed->error;
  }
}
