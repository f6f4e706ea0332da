// SampleAngles keeps the half-angle sines and cosines of each axis from frame
// to frame and, for whole frames, leaves out the quaternion of the next
// frame's angles where it cannot matter. Both must give BlendedAngles' result
// bit for bit, including the sign of zeros and not-a-number results, and
// whatever the angles of the frames before.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "model/bone_track.h"
#include "model/stream_decode.h"
#include "tests/model/reference_decode.h"

namespace {

uint32_t Bits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

std::string Show(const Vector3& v) {
  char text[96];
  std::snprintf(text, sizeof text, "(%a %a %a)", static_cast<double>(v.x), static_cast<double>(v.y),
                static_cast<double>(v.z));
  return text;
}

// Samples one frame after the other on the same track, as the export does.
class AngleSequence {
 public:
  AngleSequence() { track_.rotationCoded = true; }

  void Expect(const Vector3& a1, const Vector3& a2, float s) {
    BoneSample sample;
    sample.a1 = a1;
    sample.a2 = a2;
    const Vector3 got = SampleAngles(track_, sample, s);
    const Vector3 want = BlendedAngles(a1, a2, s);
    for (int axis = 0; axis < 3; ++axis) {
      if (Bits(got[axis]) != Bits(want[axis])) {
        ADD_FAILURE() << "a1 " << Show(a1) << " a2 " << Show(a2) << " s " << s << ": got " << Show(got) << ", want "
                      << Show(want);
        return;
      }
    }
  }

 private:
  BoneTrack track_;
};

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNan = std::numeric_limits<float>::quiet_NaN();

TEST(SampleAngles, MatchesTheBlendOnTheCasesThatDecideIt) {
  struct Case {
    Vector3 a1, a2;
    float s;
  } cases[] = {
      {{0.1f, 0.2f, 0.3f}, {0.1f, 0.2f, 0.3f}, 0.0f},     // equal: no blend
      {{0.1f, 0.2f, 0.3f}, {0.15f, 0.2f, 0.3f}, 0.0f},    // the next frame differs: q1 normalised
      {{0.1f, 0.2f, 0.3f}, {0.15f, 0.2f, 0.3f}, 0.5f},    // a real blend
      {{-0.0f, 0.0f, 0.0f}, {0.5f, 0.0f, 0.0f}, 0.0f},    // q1.x is -0.0: the blend gives it q2's zero sign
      {{-0.0f, 0.0f, 0.0f}, {-0.5f, 0.0f, 0.0f}, 0.0f},
      {{0.0f, -0.0f, 0.0f}, {0.0f, 0.7f, 0.0f}, 0.0f},
      {{0.0f, 0.0f, -0.0f}, {0.0f, 0.0f, -3.0f}, 0.0f},
      {{-0.0f, -0.0f, -0.0f}, {3.1f, -3.1f, 3.1f}, 0.0f},
      {{3.14159274f, 0.0f, 0.0f}, {-3.14159274f, 0.0f, 0.0f}, 0.0f},  // opposite hemispheres
      {{0.1f, 0.2f, 0.3f}, {kInf, 0.2f, 0.3f}, 0.0f},     // q2 not finite: 0 * q2 is not zero
      {{0.1f, 0.2f, 0.3f}, {0.1f, kNan, 0.3f}, 0.0f},
      {{kNan, 0.2f, 0.3f}, {kNan, 0.2f, 0.3f}, 0.0f},     // NaN is unequal to itself
      {{-kInf, 0.2f, 0.3f}, {0.1f, 0.2f, 0.3f}, 0.0f},
      {{0.1f, 0.2f, 0.3f}, {0.15f, 0.2f, 0.3f}, -0.0f},
      {{1e30f, -1e30f, 1e-30f}, {-1e30f, 1e30f, -1e-30f}, 0.0f},
  };
  for (const Case& c : cases) {
    AngleSequence fresh;  // no memory of an earlier frame
    fresh.Expect(c.a1, c.a2, c.s);
  }
  AngleSequence running;  // the same cases one after the other
  for (const Case& c : cases) running.Expect(c.a1, c.a2, c.s);
  for (const Case& c : cases) running.Expect(c.a1, c.a2, c.s);
}

// Frames where some axes hold their angle and others move, with the held
// angle sometimes changing only in the sign of a zero, which a comparison by
// value would miss.
TEST(SampleAngles, MatchesTheBlendFrameAfterFrameWithHeldAndMovingAxes) {
  std::mt19937 random(99);
  const float choices[] = {0.0f, -0.0f, 0.25f, -1.5f, 3.14159274f, 1e-40f, -1e-40f};
  auto pick = [&] { return choices[random() % std::size(choices)]; };
  auto wander = [&](float value) {
    switch (random() % 4) {
      case 0:
        return value;  // held
      case 1:
        return pick();
      default:
        return value + static_cast<float>(static_cast<int>(random() % 2001) - 1000) * 1e-3f;
    }
  };
  AngleSequence sequence;
  Vector3 a1{0.0f, 0.0f, 0.0f};
  for (int frame = 0; frame < 20000; ++frame) {
    Vector3 a2{wander(a1.x), wander(a1.y), wander(a1.z)};
    sequence.Expect(a1, a2, frame % 7 == 0 ? 0.25f : 0.0f);
    a1 = random() % 3 == 0 ? Vector3{wander(a1.x), wander(a1.y), wander(a1.z)} : a2;
  }
}

TEST(SampleAngles, AnUncodedRotationIsTheStoredQuaternionsAngles) {
  BoneTrack track;
  track.rotationCoded = false;
  track.rawAngles = {0.5f, -0.25f, 2.0f};
  BoneSample sample;
  sample.a1 = {1.0f, 1.0f, 1.0f};
  const Vector3 angles = SampleAngles(track, sample, 0.0f);
  EXPECT_EQ(Bits(angles.x), Bits(0.5f));
  EXPECT_EQ(Bits(angles.y), Bits(-0.25f));
  EXPECT_EQ(Bits(angles.z), Bits(2.0f));
}

// The whole frames of many bones at once: every bone's angles must be what
// SampleAngles gives it, whichever path it takes (the lanes, the blend for
// a -0.0 or a non-finite angle, a stored rotation), and bones left out of
// the list keep what they had.
TEST(SampleWholeFrameAngles, GivesEachBoneWhatSampleAnglesGivesIt) {
  std::mt19937 random(7);
  const float choices[] = {0.0f, -0.0f, 0.25f, -1.5f, 3.14159274f, 2.5f, -7.0f, kInf, -kInf, kNan};
  auto pick = [&] { return choices[random() % std::size(choices)]; };
  auto angle = [&] {
    return random() % 4 == 0 ? pick() : static_cast<float>(static_cast<int>(random() % 20001) - 10000) * 7e-4f;
  };
  for (int round = 0; round < 300; ++round) {
    const size_t count = 1 + random() % 13;
    std::vector<BoneTrack> tracks(count), reference(count);
    std::vector<BoneSample> samples(count);
    std::vector<uint32_t> bones;
    for (size_t b = 0; b < count; ++b) {
      tracks[b].rotationCoded = random() % 8 != 0;
      tracks[b].rawAngles = {0.5f, -0.25f, 2.0f};
      reference[b] = tracks[b];
      samples[b].a1 = {angle(), angle(), angle()};
      samples[b].a2 = random() % 3 == 0 ? samples[b].a1 : Vector3{angle(), angle(), angle()};
      if (random() % 5 != 0) bones.push_back(static_cast<uint32_t>(b));
    }
    const Vector3 untouched{-9.0f, -9.0f, -9.0f};
    std::vector<Vector3> angles(count, untouched);
    SampleWholeFrameAngles(tracks, samples, bones, angles);
    for (size_t b = 0; b < count; ++b) {
      const bool listed = std::find(bones.begin(), bones.end(), b) != bones.end();
      const Vector3 want = listed ? SampleAngles(reference[b], samples[b], 0.0f) : untouched;
      for (int axis = 0; axis < 3; ++axis) {
        ASSERT_EQ(Bits(angles[b][axis]), Bits(want[axis]))
            << "round " << round << " bone " << b << ": a1 " << Show(samples[b].a1) << " a2 " << Show(samples[b].a2);
      }
    }
  }
}

}  // namespace
