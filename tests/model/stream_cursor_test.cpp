// The cursor against the walk from the first run, on random streams that break
// the run rules in every way the walk has a rule for.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "model/stream_decode.h"
#include "tests/model/reference_decode.h"

namespace {

struct RandomStream {
  std::vector<unsigned char> bytes;
  int64_t start = 0;
};

// Runs of every kind: consistent ones, length 0 with and without values,
// fewer frames than values, no values at all, an occasional long run; the file
// may end right after the last run, inside it, or carry garbage behind it.
RandomStream MakeRandomStream(std::mt19937& rng) {
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  RandomStream s;
  const int runs = pick(9);
  for (int i = 0; i < runs; ++i) {
    int stored = 0, length = 0;
    switch (pick(8)) {
      case 0: stored = pick(3); length = 0; break;                      // passed over
      case 1: stored = 2 + pick(3); length = 1 + pick(stored - 1); break;  // stops the walk
      case 2: stored = 0; length = 1 + pick(4); break;                   // no values
      case 3: stored = 1 + pick(3); length = 200 + pick(56); break;      // long
      default: stored = 1 + pick(4); length = stored + pick(4); break;   // consistent
    }
    s.bytes.push_back(static_cast<unsigned char>(stored));
    s.bytes.push_back(static_cast<unsigned char>(length));
    for (int v = 0; v < 2 * stored; ++v) s.bytes.push_back(static_cast<unsigned char>(rng()));
  }
  switch (pick(4)) {
    case 0: {
      int garbage = pick(12);
      for (int i = 0; i < garbage; ++i) s.bytes.push_back(static_cast<unsigned char>(rng()));
      break;
    }
    case 1:
      if (!s.bytes.empty()) s.bytes.resize(s.bytes.size() - 1 - pick(static_cast<int>(s.bytes.size())));
      break;
    default:
      break;
  }
  // Sometimes the stream starts inside the data, at any byte, as a second
  // axis's stream may start inside the first one's.
  if (!s.bytes.empty() && pick(5) == 0) s.start = pick(static_cast<int>(s.bytes.size()));
  return s;
}

struct Outcome {
  bool threw = false;
  StreamRun run;
};

template <typename Walk>
Outcome Try(Walk walk) {
  Outcome o;
  try {
    o.run = walk();
  } catch (const FormatError&) {
    o.threw = true;
  }
  return o;
}

TEST(StreamCursor, MatchesTheWalkFromTheFirstRunOnRandomStreams) {
  std::mt19937 rng(20240611);
  int compared = 0, stopsInside = 0, errors = 0;
  for (int iteration = 0; iteration < 100000; ++iteration) {
    RandomStream s = MakeRandomStream(rng);
    ByteView view{s.bytes.data(), static_cast<int64_t>(s.bytes.size()), "stream"};
    StreamCursor cursor;
    StartStreamCursor(cursor, s.start);
    int32_t frame = 0;
    const int steps = 1 + static_cast<int>(rng() % 40);
    for (int step = 0; step < steps; ++step) {
      Outcome literal = Try([&] { return FindStreamRun(view, s.start, frame); });
      Outcome fast = Try([&] { return AdvanceStreamCursor(view, cursor, frame); });
      ASSERT_EQ(literal.threw, fast.threw) << "iteration " << iteration << " frame " << frame;
      if (!literal.threw) {
        ASSERT_EQ(literal.run.at, fast.run.at) << "iteration " << iteration << " frame " << frame;
        ASSERT_EQ(literal.run.offsetInRun, fast.run.offsetInRun) << "iteration " << iteration << " frame " << frame;
        ASSERT_EQ(literal.run.storedCount, fast.run.storedCount);
        ASSERT_EQ(literal.run.runLength, fast.run.runLength);
        ++stopsInside;
      } else {
        ++errors;
      }
      ++compared;
      // A walk that left the file leaves it for every later frame too: go back
      // or take the next stream.
      if (literal.threw) {
        if (rng() % 2 == 0) break;
        frame = static_cast<int32_t>(rng() % (frame + 1));
        continue;
      }
      // Mostly the next frame, sometimes a jump ahead, rarely a step back.
      switch (rng() % 10) {
        case 0: frame += static_cast<int32_t>(rng() % 300); break;
        case 1: frame = static_cast<int32_t>(rng() % (frame + 1)); break;
        default: frame += 1; break;
      }
    }
  }
  // The generator must exercise both outcomes in volume.
  EXPECT_GT(stopsInside, compared / 4);
  EXPECT_GT(errors, compared / 50);
}

}  // namespace
