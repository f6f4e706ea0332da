// Decoding of the run-length coded animation value streams.
//
// A stream is a series of runs. A run starts with a 16-bit header whose first
// byte is storedCount and second byte runLength (both unsigned); storedCount
// int16 values follow, one for each of the run's first frames; the rest of
// the run repeats the last stored value; the next run's header follows the
// last stored value. A value stands for reference + value * scale.
//
// Inconsistent runs are read by one fixed rule: arriving at a run whose
// runLength is smaller than its storedCount resets the position within the
// run to 0. So a run of length 0 is always passed over (when it stores values
// the next run is then read at its first frame), and a run with
// 1 <= runLength < storedCount stops the walk for every frame that reaches it.
//
// Everything is read through the checked byte view: a walk or value read that
// leaves the file throws FormatError. Where the decoders must decide what a
// malformed stream means:
//  - a frame that falls into a run with storedCount 0 has no value at all; it
//    is bad data (FormatError), not a silent reference pose;
//  - the run the frame falls into must hold all its stored values inside the
//    file, else the stream is truncated (FormatError);
//  - the first value of the next run is read wherever it lies inside the file,
//    since it decides whether the angle decoder blends; only when it would lie
//    outside the file is the run's last stored value used instead.
#pragma once

#include <cstdint>

#include "formats/byte_view.h"
#include "formats/model_records.h"
#include "mathlib/vector_types.h"

// Where a frame falls: the run header's position in the file and the frame's
// position r within that run.
struct StreamRun {
  int64_t at = 0;
  int32_t offsetInRun = 0;
  uint8_t storedCount = 0;
  uint8_t runLength = 0;
};

// Finds the run of a frame, as the walk from the stream's first run defines it
// (tests/model/reference_decode.h keeps that walk), for frames asked in non-decreasing
// order, in time proportional to the runs of the whole stream over all calls.
// A smaller frame than the previous one restarts the walk from the stream's
// start, so any order of calls gives the walk's answer.
struct StreamCursor {
  int64_t streamAt = 0;
  int64_t runAt = 0;           // the run the last walk stopped at
  int64_t runFirstFrame = 0;   // frames covered by the runs passed before runAt
  int32_t lastFrame = -1;      // -1: nothing walked yet
  bool settled = false;        // a reset was reached: every later frame reads runAt at r = 0
  uint8_t storedCount = 0;     // the header at runAt, once a walk has stopped there
  uint8_t runLength = 0;
};

void StartStreamCursor(StreamCursor& cursor, int64_t streamAt);
// The walk from where the cursor stands (or from the start for an earlier frame).
StreamRun WalkStreamCursor(const ByteView& view, StreamCursor& cursor, int32_t frame);
inline StreamRun AdvanceStreamCursor(const ByteView& view, StreamCursor& cursor, int32_t frame) {
  // Most frames fall into the run the previous one stopped at, whose header
  // was read then.
  if (frame >= cursor.lastFrame && cursor.lastFrame >= 0) {
    const int64_t r = cursor.settled ? 0 : frame - cursor.runFirstFrame;
    if (cursor.settled || cursor.runLength > r) {
      cursor.lastFrame = frame;
      return StreamRun{cursor.runAt, static_cast<int32_t>(r), cursor.storedCount, cursor.runLength};
    }
  }
  return WalkStreamCursor(view, cursor, frame);
}

// The values of the run a frame falls into, checked once to lie in the file.
struct RunValues {
  const unsigned char* stored = nullptr;  // stored value i at stored + 2 * i
  int32_t storedCount = 0;
  int32_t runLength = 0;
  int32_t offsetInRun = 0;
  int16_t nextRunFirst = 0;  // the first value behind the next run's header, or the fallback
};

// Throws FormatError when the frame falls into a run without stored values or
// when the run's stored values leave the file.
RunValues ReadRunValues(const ByteView& view, const StreamRun& run);

// Stored value `index` of the run (inside its checked values).
inline double StoredValueOf(const RunValues& run, int32_t index) { return LoadI16(run.stored + 2 * index); }

// The raw position value at the frame, blended by s towards the next frame:
// at the last stored index of a run it is that value alone; at a run's last
// frame in its repeated tail it blends towards the next run's first value.
// These small steps run for every bone and frame, so they are inline.
inline double PositionStreamValue(const RunValues& run, float s) {
  const int32_t r = run.offsetInRun;
  const double t = s;
  if (r < run.storedCount) {
    if (r + 1 < run.storedCount) return (1.0 - t) * StoredValueOf(run, r) + t * StoredValueOf(run, r + 1);
    return StoredValueOf(run, r);
  }
  const double last = StoredValueOf(run, run.storedCount - 1);
  if (r + 1 < run.runLength) return last;
  return (1.0 - t) * last + t * static_cast<double>(run.nextRunFirst);
}

// The raw angle values u (frame k) and w (frame k + 1): w is the next stored
// value, the same value inside the run, or at the run's last frame the next
// run's first value.
struct AngleStreamValues {
  int16_t u = 0;
  int16_t w = 0;
};
inline AngleStreamValues AngleStreamPair(const RunValues& run) {
  const int32_t r = run.offsetInRun;
  AngleStreamValues pair;
  if (r < run.storedCount) {
    pair.u = LoadI16(run.stored + 2 * r);
    if (r + 1 < run.storedCount) {
      pair.w = LoadI16(run.stored + 2 * (r + 1));
    } else if (r + 1 < run.runLength) {
      pair.w = pair.u;
    } else {
      pair.w = run.nextRunFirst;
    }
  } else {
    pair.u = LoadI16(run.stored + 2 * (run.storedCount - 1));
    pair.w = r + 1 < run.runLength ? pair.u : run.nextRunFirst;
  }
  return pair;
}

// reference + value * scale, evaluated in double and rounded once to float32.
inline float ScaledValue(float reference, double value, float scale) {
  return static_cast<float>(static_cast<double>(reference) + value * static_cast<double>(scale));
}
