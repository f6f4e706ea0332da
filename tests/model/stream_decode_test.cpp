// Position and angle decoding of one bone at one frame.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "model/stream_decode.h"
#include "tests/model/reference_decode.h"
#include "mathlib/rotation.h"
#include "tests/model/anim_test_support.h"

namespace {

using animtest::LoadedModel;
using animtest::OneBoneModel;

bool SameBits(const Vector3& a, const Vector3& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

tb::AxisStream SameAs(int axis) {
  tb::AxisStream stream;
  stream.sameAs = axis;
  return stream;
}

TEST(DecodeBone, StoredPositionAndQuaternionIgnoreTheBoneAndTheFrame) {
  tb::BoneDescription bone;
  bone.position = {1, 2, 3};
  bone.angles = {0.1f, 0.2f, 0.3f};
  bone.positionScale = {5, 5, 5};
  bone.angleScale = {5, 5, 5};
  // Stream bytes present but unused: the flags say the record holds values.
  tb::BoneAnimDescription raw = tb::RawBoneAnim({7.5f, -2.25f, 0.125f}, {std::sin(0.25f), 0, 0, std::cos(0.25f)});
  raw.flags = 0xFC;  // every bit but the two coded bits
  LoadedModel m(OneBoneModel(bone, raw, 3), tb::GarbageEverywhere());
  const BoneAnimRecord record = m.BoneAnim(0, 0);
  for (int32_t frame : {0, 1, 2, 1000}) {
    for (float s : {0.0f, 0.5f}) {
      const Vector3 p = DecodeBonePosition(m.file, m.header, record, 0, frame, s);
      EXPECT_EQ(p.x, 7.5f);
      EXPECT_EQ(p.y, -2.25f);
      EXPECT_EQ(p.z, 0.125f);
      const Vector3 a = DecodeBoneAngles(m.file, m.header, record, 0, frame, s);
      EXPECT_NEAR(a.x, 0.5f, 1e-6);
      EXPECT_NEAR(a.y, 0.0f, 1e-6);
      EXPECT_NEAR(a.z, 0.0f, 1e-6);
    }
  }
}

// One stream read as position x (reference 1, scale 0.5), as position z
// (shared, reference 0, scale 2) and as rotation x (shared, scale 0.01);
// position y has offset 0 and stays at its reference.
struct RunCase {
  const char* what;
  std::vector<tb::AnimRun> runs;
  std::vector<int> perFrame;  // the stored value each frame reads
};

TEST(DecodeBone, RunsGiveTheStoredValueOfEachFrame) {
  const std::vector<RunCase> cases = {
      {"one run covering all frames", {{{8}, 6, {}}}, {8, 8, 8, 8, 8, 8}},
      {"values then the repeated tail, then a single value", {{{10, 20}, 4, {}}, {{30}, 3, {}}},
       {10, 20, 20, 20, 30, 30, 30}},
      {"every stored value once", {{{1, 2, 3}, 3, {}}, {{4, 5}, 2, {}}}, {1, 2, 3, 4, 5}},
      {"an empty run without values keeps the position", {{{10}, 2, {}}, {{}, 0, {}}, {{30}, 2, {}}},
       {10, 10, 30, 30}},
      {"an empty run with values sends every later frame to the next run's first value",
       {{{10}, 2, {}}, {{99}, 0, {}}, {{30, 40}, 3, {}}}, {10, 10, 30, 30, 30, 30}},
      {"3 values over 2 frames are read at the first value", {{{10}, 1, {}}, {{30, 40, 50}, 2, {}}, {{60}, 5, {}}},
       {10, 30, 30, 30}},
      {"3 values over 2 frames as the first run", {{{30, 40, 50}, 2, {}}, {{60}, 5, {}}}, {30, 30, 30}},
      {"after a reset, empty runs are passed up to the first run with frames",
       {{{10}, 1, {}}, {{99}, 0, {}}, {{}, 0, {}}, {{98, 97}, 0, {}}, {{30}, 4, {}}}, {10, 30, 30, 30, 30}},
      {"negative values", {{{-3, -300}, 2, {}}}, {-3, -300}},
  };
  for (const RunCase& c : cases) {
    tb::BoneDescription bone;
    bone.position = {1, 7.25f, 0};
    bone.positionScale = {0.5f, 3, 2};
    bone.angleScale = {0.01f, 1, 1};
    tb::BoneAnimDescription coded = tb::CodedBoneAnim({tb::RunsStream(c.runs), {}, SameAs(0)}, {SameAs(0), {}, {}});
    LoadedModel m(OneBoneModel(bone, coded, static_cast<int32_t>(c.perFrame.size())));
    const BoneAnimRecord record = m.BoneAnim(0, 0);
    for (size_t frame = 0; frame < c.perFrame.size(); ++frame) {
      const double v = c.perFrame[frame];
      const Vector3 p = DecodeBonePosition(m.file, m.header, record, 0, static_cast<int32_t>(frame), 0);
      EXPECT_EQ(p.x, static_cast<float>(1 + 0.5 * v)) << c.what << ", frame " << frame;
      EXPECT_EQ(p.y, 7.25f) << c.what << ", frame " << frame;
      EXPECT_EQ(p.z, static_cast<float>(2 * v)) << c.what << ", frame " << frame;
      const Vector3 a = DecodeBoneAngles(m.file, m.header, record, 0, static_cast<int32_t>(frame), 0);
      EXPECT_NEAR(a.x, 0.01 * v, 2e-6) << c.what << ", frame " << frame;
      EXPECT_NEAR(a.y, 0, 1e-6) << c.what << ", frame " << frame;
      EXPECT_NEAR(a.z, 0, 1e-6) << c.what << ", frame " << frame;
    }
  }
}

TEST(DecodeBone, CodedRotationWithoutStreamsIsTheReferenceThroughTheQuaternion) {
  tb::BoneDescription bone;
  bone.angles = {0.5f, -0.25f, 1.0f};
  bone.angleScale = {100, 100, 100};
  LoadedModel m(OneBoneModel(bone, tb::CodedBoneAnim({}, {}), 2));
  const BoneAnimRecord record = m.BoneAnim(0, 0);
  Quaternion q;
  AnglesToQuaternion(Vector3{0.5f, -0.25f, 1.0f}, q);
  Vector3 roundTrip;
  QuaternionToAngles(q, roundTrip);
  for (int32_t frame : {0, 1, 50}) {
    const Vector3 a = DecodeBoneAngles(m.file, m.header, record, 0, frame, 0);
    EXPECT_TRUE(SameBits(a, roundTrip)) << "frame " << frame;
    EXPECT_NEAR(a.x, 0.5, 1e-6);
    EXPECT_NEAR(a.y, -0.25, 1e-6);
    EXPECT_NEAR(a.z, 1.0, 1e-6);
    // A coded position without streams is exactly the reference, nothing rounded.
    const Vector3 p = DecodeBonePosition(m.file, m.header, record, 0, frame, 0);
    EXPECT_EQ(p.x, 0.0f);
  }
}

TEST(DecodeBone, PositionBlendsInsideARunButNotAtItsLastStoredValue) {
  tb::BoneDescription bone;
  LoadedModel m(OneBoneModel(bone, tb::CodedBoneAnim({tb::RunsStream({{{10, 20, 30}, 5, {}}, {{50}, 1, {}}})}, {}), 6));
  const BoneAnimRecord record = m.BoneAnim(0, 0);
  const float expected[] = {15, 25, 30, 30, 40, 50};
  for (int32_t frame = 0; frame < 6; ++frame) {
    EXPECT_EQ(DecodeBonePosition(m.file, m.header, record, 0, frame, 0.5f).x, expected[frame]) << "frame " << frame;
  }
}

// The angles of q1 as it is, and of q1 normalised, which the blend yields
// for s = 0. Searches a stored value for which the two differ in the output.
struct PathPair {
  int16_t value = 0;
  Vector3 plain, normalised;
};
PathPair FindValueWhosePathsDiffer(float scale) {
  for (int v = 1; v < 30000; ++v) {
    PathPair pair;
    pair.value = static_cast<int16_t>(v);
    Quaternion q;
    AnglesToQuaternion(Vector3{static_cast<float>(v * static_cast<double>(scale)), 0, 0}, q);
    QuaternionToAngles(q, pair.plain);
    NormalizeQuaternion(q);
    QuaternionToAngles(q, pair.normalised);
    if (!SameBits(pair.plain, pair.normalised)) return pair;
  }
  return PathPair{};
}

TEST(DecodeBone, TheNextValueDecidesWhetherTheRotationIsNormalised) {
  const float scale = 1e-4f;
  const PathPair pair = FindValueWhosePathsDiffer(scale);
  ASSERT_NE(pair.value, 0) << "no value found whose two paths differ";
  const int16_t v = pair.value;
  const int16_t next = static_cast<int16_t>(v + 1);
  struct PathCase {
    const char* what;
    std::vector<tb::AnimRun> runs;
    std::vector<std::pair<int32_t, bool>> frames;  // frames that read v, and whether they normalise
  };
  const std::vector<PathCase> cases = {
      {"the next run starts with another value", {{{v}, 2, {}}, {{next}, 2, {}}}, {{0, false}, {1, true}}},
      {"the next run starts with the same value", {{{v}, 2, {}}, {{v}, 2, {}}}, {{0, false}, {1, false}, {2, false}}},
      {"a run's last stored value on its last frame, another value next", {{{v}, 1, {}}, {{next}, 1, {}}},
       {{0, true}}},
      {"the next stored value differs", {{{v, next}, 2, {}}, {{v}, 2, {}}}, {{0, true}, {2, false}}},
  };
  for (const PathCase& c : cases) {
    tb::BoneDescription bone;
    bone.angleScale = {scale, 1, 1};
    LoadedModel m(OneBoneModel(bone, tb::CodedBoneAnim({}, {tb::RunsStream(c.runs), {}, {}}), 3));
    const BoneAnimRecord record = m.BoneAnim(0, 0);
    for (const auto& [frame, normalised] : c.frames) {
      const Vector3 a = DecodeBoneAngles(m.file, m.header, record, 0, frame, 0);
      EXPECT_TRUE(SameBits(a, normalised ? pair.normalised : pair.plain)) << c.what << ", frame " << frame;
    }
  }
}

TEST(RunValues, NextRunFirstValueIsReadInsideTheFileAndFallsBackOutsideIt) {
  // A run (1 value, 2 frames) holding 7, the next header, then 9.
  std::vector<unsigned char> bytes = {1, 2, 7, 0, 1, 1, 9, 0};
  StreamRun run{0, 1, 1, 2};
  ByteView whole{bytes.data(), 8, "stream"};
  EXPECT_EQ(ReadRunValues(whole, run).nextRunFirst, 9);
  ByteView cut{bytes.data(), 7, "stream"};  // the 9 is cut in half
  EXPECT_EQ(ReadRunValues(cut, run).nextRunFirst, 7);
  ByteView justTheRun{bytes.data(), 4, "stream"};
  const RunValues values = ReadRunValues(justTheRun, run);
  EXPECT_EQ(AngleStreamPair(values).w, 7);
  EXPECT_EQ(PositionStreamValue(values, 0.5f), 7.0);
}

TEST(RunValues, ARunWithoutValuesOrWithValuesPastTheFileIsBadData) {
  // A frame in a run of 4 frames with no stored value.
  std::vector<unsigned char> empty = {0, 4, 1, 1, 5, 0};
  ByteView emptyView{empty.data(), static_cast<int64_t>(empty.size()), "stream"};
  EXPECT_THROW(ReadRunValues(emptyView, FindStreamRun(emptyView, 0, 1)), FormatError);
  // 3 values announced, only one and a half in the file.
  std::vector<unsigned char> cut = {3, 3, 1, 0, 2};
  ByteView cutView{cut.data(), static_cast<int64_t>(cut.size()), "stream"};
  EXPECT_THROW(ReadRunValues(cutView, FindStreamRun(cutView, 0, 0)), FormatError);
}

}  // namespace
