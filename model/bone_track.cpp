#include "model/bone_track.h"

#include <cmath>
#include <cstring>

#include "mathlib/rotation_lanes.h"
#include "mathlib/rotation_formulas.h"

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

// The run of a frame outside the current run's span: the cursor's walk.
[[gnu::noinline]] const RunValues& WalkToRun(const ByteView& view, StreamCursor& cursor, CurrentRun& current,
                                            int32_t frame) {
  const StreamRun run = AdvanceStreamCursor(view, cursor, frame);
  if (run.at != current.at) {
    current.span = 0;
    current.values = ReadRunValues(view, run);  // may throw; current then stays as it was
    current.at = run.at;
  }
  current.values.offsetInRun = run.offsetInRun;
  // The walk for any frame of the run's span stops at this run: it passes the
  // same runs before it, none of which resets the offset.
  if (!cursor.settled) {
    current.firstFrame = static_cast<int32_t>(cursor.runFirstFrame);
    current.span = cursor.runLength;
  }
  return current.values;
}

// Most frames fall into the run of the frame before.
inline const RunValues& RunValuesAt(const ByteView& view, StreamCursor& cursor, CurrentRun& current, int32_t frame) {
  const uint32_t offset = static_cast<uint32_t>(frame) - static_cast<uint32_t>(current.firstFrame);
  if (offset < current.span) [[likely]] {
    current.values.offsetInRun = static_cast<int32_t>(offset);
    return current.values;
  }
  return WalkToRun(view, cursor, current, frame);
}

// The stored value a frame shows when s is 0: PositionStreamValue(run, 0) and
// the u of AngleStreamPair(run), which both are the run's stored value at the
// offset or its last stored value in the repeated tail (a blend with weight 0
// adds a zero to it and changes nothing).
inline int16_t StoredValueAtOffset(const RunValues& run) {
  const int32_t r = run.offsetInRun;
  return LoadI16(run.stored + 2 * (r < run.storedCount ? r : run.storedCount - 1));
}

bool IsNegativeZero(float value) { return value == 0.0f && std::signbit(value); }

}  // namespace

HalfAngle MemoizedHalfAngle(HalfAngleMemo& memo, float radians) {
  uint32_t bits;
  std::memcpy(&bits, &radians, sizeof bits);
  if (!memo.valid || memo.angleBits != bits) {
    memo.half = rotation_formulas::HalfAngleOf(radians);
    memo.angleBits = bits;
    memo.valid = true;
  }
  return memo.half;
}

BoneSample SampleBoneTrack(const ByteView& view, BoneTrack& track, int32_t frame, float s) {
  BoneSample sample;
  const bool whole = s == 0.0f;  // a whole frame: no blend with the next one
  if (!track.positionCoded) {
    sample.position = track.rawPosition;
  } else {
    for (int axis = 0; axis < 3; ++axis) {
      if (!track.hasPositionStream[axis]) {
        sample.position[axis] = track.referencePosition[axis];
        continue;
      }
      const RunValues& values = RunValuesAt(view, track.positionStream[axis], track.positionRun[axis], frame);
      const double value = whole ? StoredValueAtOffset(values) : PositionStreamValue(values, s);
      sample.position[axis] = ScaledValue(track.referencePosition[axis], value, track.positionScale[axis]);
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

namespace {

// The whole-frame values of one stream for frames first .. first + count - 1
// into put(i, run) (run: the frame's RunValues), walking it as RunValuesAt
// does frame after frame: a frame inside the current run's span takes the
// run at its offset, any other walks. Returns the frames done: count, or the
// first frame whose walk threw, with the error kept.
template <typename Put>
int32_t StreamFrames(const ByteView& view, StreamCursor& cursor, CurrentRun& current, int32_t first, int32_t count,
                     std::optional<FormatError>& error, Put put) {
  int32_t i = 0;
  try {
    while (i < count) {
      RunValues run = RunValuesAt(view, cursor, current, first + i);
      put(i, run);
      // The frames after it inside the span take the run at their offsets,
      // as RunValuesAt's first test gives them.
      uint32_t offset = static_cast<uint32_t>(first + i) + 1 - static_cast<uint32_t>(current.firstFrame);
      for (++i; i < count && offset < current.span; ++i, ++offset) {
        run.offsetInRun = static_cast<int32_t>(offset);
        put(i, run);
      }
    }
  } catch (const FormatError& thrown) {
    error = thrown;
  }
  return i;
}

}  // namespace

int32_t SampleBoneTrackFrames(const ByteView& view, BoneTrack& track, int32_t first, int32_t count,
                              BoneSample* samples, size_t stride, std::optional<FormatError>& error) {
  // An axis that throws at frame i leaves the later axes only the frames
  // before i: at frame i SampleBoneTrack throws the first axis's error.
  const auto at = [&](int32_t i) -> BoneSample& { return samples[static_cast<size_t>(i) * stride]; };
  int32_t done = count;
  const auto axisFrames = [&](StreamCursor& cursor, CurrentRun& current, auto put) {
    std::optional<FormatError> thrown;
    const int32_t reached = StreamFrames(view, cursor, current, first, done, thrown, put);
    if (thrown) {
      done = reached;
      error = std::move(thrown);
    }
  };
  for (int axis = 0; axis < 3; ++axis) {
    if (!track.positionCoded || !track.hasPositionStream[axis]) {
      const float value = track.positionCoded ? track.referencePosition[axis] : track.rawPosition[axis];
      for (int32_t i = 0; i < done; ++i) at(i).position[axis] = value;
      continue;
    }
    const float reference = track.referencePosition[axis], scale = track.positionScale[axis];
    axisFrames(track.positionStream[axis], track.positionRun[axis], [&](int32_t i, const RunValues& run) {
      at(i).position[axis] = ScaledValue(reference, StoredValueAtOffset(run), scale);
    });
  }
  for (int axis = 0; axis < 3; ++axis) {
    if (!track.rotationCoded || !track.hasRotationStream[axis]) {
      const float value = track.rotationCoded ? track.referenceAngles[axis] : 0.0f;
      for (int32_t i = 0; i < done; ++i) at(i).a1[axis] = at(i).a2[axis] = value;
      continue;
    }
    const float reference = track.referenceAngles[axis], scale = track.angleScale[axis];
    axisFrames(track.rotationStream[axis], track.rotationRun[axis], [&](int32_t i, const RunValues& run) {
      const AngleStreamValues pair = AngleStreamPair(run);
      at(i).a1[axis] = ScaledValue(reference, pair.u, scale);
      at(i).a2[axis] = ScaledValue(reference, pair.w, scale);
    });
  }
  return done;
}

Vector3 SampleAngles(BoneTrack& track, const BoneSample& sample, float s) {
  if (!track.rotationCoded) return track.rawAngles;
  const Vector3& a1 = sample.a1;
  const Vector3& a2 = sample.a2;
  // The formulas inline, since this runs for every bone and frame; the rare
  // blend calls the functions.
  Quaternion q;
  rotation_formulas::HalfAnglesToQuaternion(MemoizedHalfAngle(track.halfAngles[0], a1.x),
                                            MemoizedHalfAngle(track.halfAngles[1], a1.y),
                                            MemoizedHalfAngle(track.halfAngles[2], a1.z), q);
  if (a1.x == a2.x && a1.y == a2.y && a1.z == a2.z) {
    // q as it is
  } else if (s == 0.0f && std::isfinite(a1.x) && std::isfinite(a1.y) && std::isfinite(a1.z) &&
             std::isfinite(a2.x) && std::isfinite(a2.y) && std::isfinite(a2.z) && !IsNegativeZero(q.x) &&
             !IsNegativeZero(q.y) && !IsNegativeZero(q.z) && !IsNegativeZero(q.w)) {
    // The blend with weight 0 makes each component 0 * q2' + 1 * q, where q2'
    // is the quaternion of a2 brought into q's hemisphere. With finite angles
    // q2' is finite, so the sum is q's component exactly, except that a -0.0
    // in q takes the sign of the zero from q2'. Without such a zero the blend
    // is q normalised, and q2 need not be computed.
    rotation_formulas::NormalizeQuaternion(q);
  } else {
    Quaternion q2, blended;
    AnglesToQuaternion(a2, q2);
    BlendQuaternions(q, q2, s, blended);
    q = blended;
  }
  Vector3 angles;
  rotation_formulas::QuaternionToAngles(q, angles);
  return angles;
}

namespace {

bool SameAngles(const Vector3& a, const Vector3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
bool FiniteAngles(const Vector3& a) { return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z); }

}  // namespace

void SampleWholeFrameAngles(std::span<BoneTrack> tracks, std::span<const BoneSample> samples,
                            std::span<const uint32_t> bones, std::span<Vector3> angles) {
  // Bones that take the common path wait here until the lanes are full.
  const int lanes = rotation_lanes::LaneCount();
  uint32_t waiting[rotation_lanes::kMostLanes];
  Vector3 waitingAngles[rotation_lanes::kMostLanes];
  bool waitingNormalise[rotation_lanes::kMostLanes];
  int count = 0;
  const auto computeWaiting = [&] {
    for (int lane = count; lane < lanes; ++lane) {  // unused lanes repeat the first bone
      waitingAngles[lane] = waitingAngles[0];
      waitingNormalise[lane] = waitingNormalise[0];
    }
    Vector3 radians[rotation_lanes::kMostLanes];
    const int done = rotation_lanes::WholeFrameAngles(lanes, waitingAngles, waitingNormalise, radians);
    for (int lane = 0; lane < count; ++lane) {
      const uint32_t bone = waiting[lane];
      angles[bone] = (done & (1 << lane)) ? radians[lane] : SampleAngles(tracks[bone], samples[bone], 0.0f);
    }
    count = 0;
  };
  for (const uint32_t bone : bones) {
    const BoneTrack& track = tracks[bone];
    const BoneSample& sample = samples[bone];
    if (!track.rotationCoded) {
      angles[bone] = track.rawAngles;
      continue;
    }
    // Equal angles take the quaternion as it is; different finite ones
    // normalise it (see SampleAngles); anything else blends.
    const bool equal = SameAngles(sample.a1, sample.a2);
    if (!equal && !(FiniteAngles(sample.a1) && FiniteAngles(sample.a2))) {
      angles[bone] = SampleAngles(tracks[bone], sample, 0.0f);
      continue;
    }
    waiting[count] = bone;
    waitingAngles[count] = sample.a1;
    waitingNormalise[count] = !equal;
    if (++count == lanes) computeWaiting();
  }
  if (count > 0) computeWaiting();
}

void SampleTrackRotations(BoneTrack& track, std::span<const BoneSample> samples, std::span<const uint32_t> frames,
                          std::span<Quaternion> rotations) {
  const int lanes = rotation_lanes::LaneCount();
  uint32_t waiting[rotation_lanes::kMostLanes];
  Vector3 waitingAngles[rotation_lanes::kMostLanes];
  int count = 0;
  const auto computeWaiting = [&] {
    for (int lane = count; lane < lanes; ++lane) waitingAngles[lane] = waitingAngles[0];  // unused lanes
    Quaternion quaternions[rotation_lanes::kMostLanes];
    rotation_lanes::AnglesToQuaternions(lanes, waitingAngles, quaternions);
    for (int lane = 0; lane < count; ++lane) rotations[waiting[lane]] = quaternions[lane];
    count = 0;
  };
  for (const uint32_t frame : frames) {
    const BoneSample& sample = samples[frame];
    if (!track.rotationCoded) {
      waitingAngles[count] = track.rawAngles;
    } else if (SameAngles(sample.a1, sample.a2) || (FiniteAngles(sample.a1) && FiniteAngles(sample.a2))) {
      waitingAngles[count] = sample.a1;
    } else {
      AnglesToQuaternion(SampleAngles(track, sample, 0.0f), rotations[frame]);
      continue;
    }
    waiting[count] = frame;
    if (++count == lanes) computeWaiting();
  }
  if (count > 0) computeWaiting();
}
