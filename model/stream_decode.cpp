#include "model/stream_decode.h"

#include "mathlib/rotation.h"

namespace {

struct RunHeader {
  uint8_t storedCount;
  uint8_t runLength;
};

RunHeader ReadRunHeader(const ByteView& view, int64_t at) {
  const unsigned char* p = CheckedPointer(view, at, 2, "animation stream run header");
  return RunHeader{LoadU8(p), LoadU8(p + 1)};
}

// The header behind a run's stored values.
int64_t NextRunAt(int64_t at, const RunHeader& run) { return at + 2 + 2 * static_cast<int64_t>(run.storedCount); }

// Arriving at such a run puts the walk back to the run's first frame.
bool ResetsPosition(const RunHeader& run) { return run.runLength < run.storedCount; }

StreamRun MakeRun(int64_t at, int64_t offsetInRun, const RunHeader& run) {
  return StreamRun{at, static_cast<int32_t>(offsetInRun), run.storedCount, run.runLength};
}

}  // namespace

void StartStreamCursor(StreamCursor& cursor, int64_t streamAt) {
  cursor = StreamCursor();
  cursor.streamAt = streamAt;
  cursor.runAt = streamAt;
}

// The walk for frame k passes a consistent run exactly when k minus the frames
// of the runs before it reaches its runLength, so the set of runs passed only
// grows with k and the cursor can resume where the previous frame stopped.
// Once a walk arrives at a run that resets the position, r is 0 from then on
// whatever k was: the walk passes every following run of length 0 and stops
// at the first one with a length, and that answer holds for all later frames.
StreamRun WalkStreamCursor(const ByteView& view, StreamCursor& cursor, int32_t frame) {
  if (frame < 0) frame = 0;
  if (frame < cursor.lastFrame || cursor.lastFrame < 0) StartStreamCursor(cursor, cursor.streamAt);
  int64_t at = cursor.runAt;
  // The header where the last walk stopped was kept; reading it again would
  // cost a cache miss, as the walk comes back to a stream only after its run.
  RunHeader run = cursor.lastFrame >= 0 ? RunHeader{cursor.storedCount, cursor.runLength} : ReadRunHeader(view, at);
  int64_t firstFrame = cursor.runFirstFrame;
  auto stopAt = [&](int64_t r) {
    cursor.runAt = at;
    cursor.runFirstFrame = firstFrame;
    cursor.lastFrame = frame;
    cursor.storedCount = run.storedCount;
    cursor.runLength = run.runLength;
    return MakeRun(at, r, run);
  };
  for (;;) {
    if (ResetsPosition(run)) {
      while (run.runLength == 0) {
        at = NextRunAt(at, run);
        run = ReadRunHeader(view, at);
      }
      cursor.settled = true;
      return stopAt(0);
    }
    int64_t r = frame - firstFrame;
    if (run.runLength > r) return stopAt(r);
    firstFrame += run.runLength;
    at = NextRunAt(at, run);
    run = ReadRunHeader(view, at);
  }
}

RunValues ReadRunValues(const ByteView& view, const StreamRun& run) {
  if (run.storedCount == 0) {
    ThrowFormatErrorText(view, "animation stream run", run.at, "stores no value for the frame that falls into it");
  }
  RunValues values;
  values.storedCount = run.storedCount;
  values.runLength = run.runLength;
  values.offsetInRun = run.offsetInRun;
  values.stored = CheckedPointer(view, run.at + 2, 2 * static_cast<int64_t>(run.storedCount), "animation stream values");
  // The next run's first value sits behind its header. A stream that ends with
  // the file has none; its last stored value stands in, which changes nothing
  // for whole frames since it then only meets a weight of 0.
  int64_t nextFirstAt = run.at + 2 + 2 * static_cast<int64_t>(run.storedCount) + 2;
  if (nextFirstAt <= view.size - 2) {
    values.nextRunFirst = LoadI16(view.data + nextFirstAt);
  } else {
    values.nextRunFirst = LoadI16(values.stored + 2 * (run.storedCount - 1));
  }
  return values;
}
