// The one preparation and frame-major sampling of an animation's tracks:
// every bone's position and angles as the literal frame-by-frame decoders
// give them, bit for bit, with held poses marked as unchanged; one bone's
// frames as quaternions, the rotations of those angles; and bad data
// reported with the bone that has it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "builder/format_tables.h"
#include "mathlib/rotation.h"
#include "model/animation_tracks.h"
#include "model/frame_sampling.h"
#include "tests/model/anim_test_support.h"
#include "tests/model/reference_decode.h"

namespace {

uint32_t Bits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

bool SameBits(const Vector3& a, const Vector3& b) {
  return Bits(a.x) == Bits(b.x) && Bits(a.y) == Bits(b.y) && Bits(a.z) == Bits(b.z);
}

constexpr int32_t kFrames = 300;

// A sampler that decodes one frame at a time, or blocks of frames ahead.
FrameSampler Sampler(const ByteView& view, std::span<BoneTrack> tracks, bool blocks) {
  return blocks ? FrameSampler(view, tracks, kFrames) : FrameSampler(view, tracks);
}

// 13 bones (more than the widest vector and not a multiple of it): raw poses,
// held values, values that change every frame with large angle scales, and
// streams that change now and then.
tb::ModelDescription MixedModel() {
  std::mt19937 random(7);
  auto values = [&](int spread) {
    std::vector<int16_t> v(kFrames);
    for (int16_t& x : v) x = static_cast<int16_t>(static_cast<int>(random() % (2 * spread + 1)) - spread);
    return v;
  };
  tb::ModelDescription model;
  model.bones = tb::BoneChain(13);
  tb::AnimationDescription anim;
  anim.name = "mixed";
  anim.frameCount = kFrames;
  for (int b = 0; b < 13; ++b) {
    tb::BoneDescription& bone = model.bones[static_cast<size_t>(b)];
    bone.angles = {0.1f * b, -0.2f, 0.3f};
    bone.angleScale = {b % 3 == 0 ? 0.01f : 0.0003f, 0.002f, b % 2 == 0 ? 0.05f : 0.0001f};
    bone.positionScale = {0.01f, 0.02f, 0.5f};
    switch (b % 4) {
      case 0:
        anim.bones.push_back(tb::RawBoneAnim({1.5f, -2, 3}, {0.1f, 0.2f, 0.3f, 0.927f}));
        break;
      case 1:
        anim.bones.push_back(tb::CodedBoneAnim({tb::ConstantStream(7, kFrames), {}, {}},
                                               {tb::ConstantStream(-300, kFrames), {}, tb::ConstantStream(5, kFrames)}));
        break;
      case 2:
        anim.bones.push_back(tb::CodedBoneAnim({tb::PerFrameStream(values(30000)), {}, tb::PerFrameStream(values(5))},
                                               {tb::PerFrameStream(values(32000)), tb::PerFrameStream(values(32000)),
                                                tb::PerFrameStream(values(32000))}));
        break;
      default: {
        // A value that changes every 37 frames.
        std::vector<tb::AnimRun> runs;
        for (int first = 0; first < kFrames; first += 37)
          runs.push_back(tb::AnimRun{{static_cast<int16_t>(first * 11)}, std::min(37, kFrames - first), {}});
        anim.bones.push_back(tb::CodedBoneAnim({tb::AxisStream{}, tb::RunsStream(runs), tb::AxisStream{}},
                                               {tb::AxisStream{}, tb::AxisStream{}, tb::RunsStream(runs)}));
      }
    }
  }
  model.animations = {anim};
  return model;
}

TEST(FrameSampling, EveryFrameIsTheDecodersAndHeldPosesAreUnchanged) {
  const animtest::LoadedModel loaded(MixedModel());
  const AnimationEntry entry = ReadAnimationEntry(loaded.file, loaded.header, 0);
  EXPECT_EQ(entry.name, "mixed");
  for (const bool blocks : {false, true}) {
  SCOPED_TRACE(blocks ? "blocks" : "one frame at a time");
  std::vector<BoneTrack> tracks = PrepareAnimationTracks(loaded.file, loaded.header, entry.desc);
  ASSERT_EQ(tracks.size(), 13u);
  FrameSampler sampler = Sampler(loaded.file.bytes, tracks, blocks);
  std::vector<Vector3> previousPositions(13), previousAngles(13);
  for (int32_t frame = 0; frame < kFrames; ++frame) {
    sampler.SampleFrame(frame);
    std::vector<uint32_t> changed;
    for (int32_t b = 0; b < 13; ++b) {
      SCOPED_TRACE(testing::Message() << "frame " << frame << " bone " << b);
      const BoneAnimRecord record = loaded.BoneAnim(0, b);
      const Vector3 position = DecodeBonePosition(loaded.file, loaded.header, record, b, frame, 0.0f);
      const Vector3 angles = DecodeBoneAngles(loaded.file, loaded.header, record, b, frame, 0.0f);
      ASSERT_TRUE(SameBits(sampler.Sample(static_cast<size_t>(b)).position, position));
      ASSERT_TRUE(SameBits(sampler.Angles(static_cast<size_t>(b)), angles));
      if (sampler.Changed(static_cast<size_t>(b))) {
        changed.push_back(static_cast<uint32_t>(b));
      } else {
        ASSERT_GT(frame, 0);
        EXPECT_TRUE(SameBits(position, previousPositions[static_cast<size_t>(b)]));
        EXPECT_TRUE(SameBits(angles, previousAngles[static_cast<size_t>(b)]));
      }
      previousPositions[static_cast<size_t>(b)] = position;
      previousAngles[static_cast<size_t>(b)] = angles;
    }
    EXPECT_EQ(std::vector<uint32_t>(sampler.ChangedBones().begin(), sampler.ChangedBones().end()), changed);
    // Raw bones change only at the first frame, held ones also at the last
    // (whose next value is read from behind the stream); bones with a new
    // value every frame change every frame.
    for (const uint32_t b : changed)
      EXPECT_TRUE(frame == 0 || b % 4 >= 2 || (b % 4 == 1 && frame == kFrames - 1)) << frame << " " << b;
    for (const uint32_t b : {2u, 6u, 10u}) EXPECT_TRUE(sampler.Changed(b)) << frame << " " << b;
  }
  }
}

// A bone's frames decoded in pieces and turned into quaternions, some frames
// at a time, as the .glb keys them: each the rotation of the frame's angles,
// up to sign and the rounding of the way to those angles through a float
// matrix (a few 1e-6 here, where the large angle scales reach gimbal lock);
// frames left out of the list are left alone.
TEST(FrameSampling, ABonesFramesAsQuaternionsAreTheRotationsOfItsAngles) {
  const animtest::LoadedModel loaded(MixedModel());
  const AnimationEntry entry = ReadAnimationEntry(loaded.file, loaded.header, 0);
  std::vector<BoneTrack> tracks = PrepareAnimationTracks(loaded.file, loaded.header, entry.desc);
  constexpr int32_t kPiece = 37;  // not a multiple of any lane count
  for (int32_t b = 0; b < 13; ++b) {
    const BoneAnimRecord record = loaded.BoneAnim(0, b);
    for (int32_t first = 0; first < kFrames; first += kPiece) {
      const int32_t count = std::min(kPiece, kFrames - first);
      std::vector<BoneSample> samples(static_cast<size_t>(count));
      std::optional<FormatError> error;
      ASSERT_EQ(SampleBoneTrackFrames(loaded.file.bytes, tracks[static_cast<size_t>(b)], first, count, samples.data(),
                                      1, error),
                count);
      std::vector<uint32_t> listed;
      for (uint32_t i = 0; i < static_cast<uint32_t>(count); i += (b + i) % 3 == 0 ? 2 : 1) listed.push_back(i);
      std::vector<Quaternion> rotations(static_cast<size_t>(count), Quaternion{9, 9, 9, 9});
      SampleTrackRotations(tracks[static_cast<size_t>(b)], samples, listed, rotations);
      for (uint32_t i = 0; i < static_cast<uint32_t>(count); ++i) {
        SCOPED_TRACE(testing::Message() << "bone " << b << " frame " << first + static_cast<int32_t>(i));
        const Quaternion& rotation = rotations[i];
        if (std::find(listed.begin(), listed.end(), i) == listed.end()) {
          EXPECT_EQ(rotation.w, 9.0f);
          continue;
        }
        Quaternion want;
        AnglesToQuaternion(DecodeBoneAngles(loaded.file, loaded.header, record, b, first + static_cast<int32_t>(i), 0.0f),
                           want);
        const float dot = rotation.w * want.w + rotation.x * want.x + rotation.y * want.y + rotation.z * want.z;
        for (int c = 0; c < 4; ++c) ASSERT_NEAR(rotation[c], (dot < 0 ? -1 : 1) * want[c], 2e-5) << c;
      }
    }
  }
}

TEST(FrameSampling, FramesInAnyOrderGiveTheSameValues) {
  const animtest::LoadedModel loaded(MixedModel());
  const AnimDescRecord anim = ReadAnimationEntry(loaded.file, loaded.header, 0).desc;
  std::vector<BoneTrack> inOrder = PrepareAnimationTracks(loaded.file, loaded.header, anim);
  std::vector<BoneTrack> shuffled = PrepareAnimationTracks(loaded.file, loaded.header, anim);
  std::vector<int32_t> frames(kFrames);
  for (int32_t f = 0; f < kFrames; ++f) frames[static_cast<size_t>(f)] = f;
  std::shuffle(frames.begin(), frames.end(), std::mt19937(3));
  std::vector<std::vector<Vector3>> angles(kFrames);
  FrameSampler first(loaded.file.bytes, inOrder);
  for (int32_t f = 0; f < kFrames; ++f) {
    first.SampleFrame(f);
    for (size_t b = 0; b < 13; ++b) angles[static_cast<size_t>(f)].push_back(first.Angles(b));
  }
  FrameSampler second(loaded.file.bytes, shuffled);
  for (const int32_t f : frames) {
    second.SampleFrame(f);
    for (size_t b = 0; b < 13; ++b) ASSERT_TRUE(SameBits(second.Angles(b), angles[static_cast<size_t>(f)][b])) << f;
  }
  // Blocks, asked in order, backwards, by skipping ahead and again.
  std::vector<BoneTrack> blockTracks = PrepareAnimationTracks(loaded.file, loaded.header, anim);
  FrameSampler third(loaded.file.bytes, blockTracks, kFrames);
  std::vector<int32_t> jumps;
  for (int32_t f = 0; f < 100; ++f) jumps.push_back(f);
  for (int32_t f : {299, 5, 64, 63, 150, 151, 120, 250, 0}) jumps.push_back(f);
  for (const int32_t f : jumps) {
    third.SampleFrame(f);
    for (size_t b = 0; b < 13; ++b) ASSERT_TRUE(SameBits(third.Angles(b), angles[static_cast<size_t>(f)][b])) << f;
  }
}

struct BadDataMet {
  int32_t frame = -1, bone = -1;  // -1: none met
  std::string message;
};

// Samples animation 0 frame after frame (one at a time, or in blocks) until
// bad data is met.
BadDataMet SampleUntilBadData(const animtest::LoadedModel& loaded, bool blocks) {
  const AnimDescRecord anim = ReadAnimationEntry(loaded.file, loaded.header, 0).desc;
  std::vector<BoneTrack> tracks = PrepareAnimationTracks(loaded.file, loaded.header, anim);
  FrameSampler sampler = Sampler(loaded.file.bytes, tracks, blocks);
  for (int32_t frame = 0; frame < kFrames; ++frame) {
    try {
      sampler.SampleFrame(frame);
    } catch (const FormatError& error) {
      return BadDataMet{frame, sampler.FailedBone(), error.what()};
    }
  }
  return {};
}

TEST(FrameSampling, BadDataNamesTheBone) {
  // Bone 6's per-frame X rotation stream loses the values of its second run
  // (frames 255 on); bone 7's Z rotation stream its fourth run's value
  // (frames 111 to 147).
  animtest::LoadedModel loaded(MixedModel());
  tb::PutU8(loaded.built.model.bytes, tb::At(loaded.built.model, "anim0.bone6.rotation0") + 2 + 2 * 255, 0);
  tb::PutU8(loaded.built.model.bytes, tb::At(loaded.built.model, "anim0.bone7.rotation2") + 3 * 4, 0);
  loaded.Reload(37);
  const BadDataMet byFrame = SampleUntilBadData(loaded, false), byBlock = SampleUntilBadData(loaded, true);
  for (const BadDataMet& met : {byFrame, byBlock}) {
    EXPECT_EQ(met.frame, 111);
    EXPECT_EQ(met.bone, 7);
  }
  EXPECT_EQ(byBlock.message, byFrame.message);  // met ahead of its frame, it is the same error
  const AnimDescRecord anim = ReadAnimationEntry(loaded.file, loaded.header, 0).desc;
  // Bones 5 to 7 alone: the failed bone is counted within them.
  std::vector<BoneTrack> again = PrepareAnimationTracks(loaded.file, loaded.header, anim);
  FrameSampler part(loaded.file.bytes, std::span<BoneTrack>(again).subspan(5, 3));
  EXPECT_THROW(part.SampleFrame(255), FormatError);
  EXPECT_EQ(part.FailedBone(), 1);
}

// Bad data of several bones met ahead in one block: the error thrown is the
// one sampling frame after frame meets first, at its frame, for its bone.
TEST(FrameSampling, BadDataAheadIsThrownInFrameOrder) {
  struct Case {
    int runOfBone3, runOfBone7, runOfBone11;  // the run emptied in each bone's Z rotation (-1: none)
    int32_t frame, bone;
  } cases[] = {
      {5, 4, -1, 148, 7},  // a later bone, an earlier frame of the same block
      {3, 3, 3, 111, 3},   // the same frame: the first bone
      {4, -1, 0, 0, 11},   // the first frame of all
      {-1, -1, 5, 185, 11},
  };
  for (const Case& c : cases) {
    animtest::LoadedModel loaded(MixedModel());
    const int runs[] = {c.runOfBone3, c.runOfBone7, c.runOfBone11};
    for (int i = 0; i < 3; ++i) {
      if (runs[i] < 0) continue;
      const std::string stream = "anim0.bone" + std::to_string(3 + 4 * i) + ".rotation2";
      tb::PutU8(loaded.built.model.bytes, tb::At(loaded.built.model, stream) + 4 * runs[i], 0);
    }
    loaded.Reload(37);
    SCOPED_TRACE(testing::Message() << "frame " << c.frame);
    const BadDataMet byFrame = SampleUntilBadData(loaded, false), byBlock = SampleUntilBadData(loaded, true);
    for (const BadDataMet& met : {byFrame, byBlock}) {
      EXPECT_EQ(met.frame, c.frame);
      EXPECT_EQ(met.bone, c.bone);
    }
    EXPECT_EQ(byBlock.message, byFrame.message);
  }
}

TEST(AnimationTracks, TheFirstBoneWhoseRecordLeavesTheFileIsNamed) {
  // The per-bone records moved so that those of bones 3 and on lie behind
  // the end of the file.
  animtest::LoadedModel loaded(MixedModel());
  std::vector<uint8_t>& bytes = loaded.built.model.bytes;
  const size_t animAt = tb::At(loaded.built.model, "animations");
  const int64_t moved = static_cast<int64_t>(bytes.size()) - static_cast<int64_t>(animAt) - 3 * tb::kBoneAnimSize;
  tb::PutI32(bytes, animAt + tb::kAnimDescBoneAnims, static_cast<int32_t>(moved));
  loaded.Reload(37);
  const AnimDescRecord anim = ReadAnimationEntry(loaded.file, loaded.header, 0).desc;
  try {
    PrepareAnimationTracks(loaded.file, loaded.header, anim);
    FAIL() << "no bad data met";
  } catch (const BoneTrackError& error) {
    EXPECT_EQ(error.bone, 3);
    EXPECT_NE(std::string(error.what()).find("lies outside the file"), std::string::npos) << error.what();
  }
}

TEST(AnimationTracks, RecordsAreChargedOnlyWhenTheyAreRead) {
  const animtest::LoadedModel loaded(MixedModel());
  AnimDescRecord anim = ReadAnimationEntry(loaded.file, loaded.header, 0).desc;
  FileBudget budget{int64_t{tb::kBoneAnimSize} * 13 * 2};
  ChargeAnimationRecords(budget, loaded.file, loaded.header, anim);
  ChargeAnimationRecords(budget, loaded.file, loaded.header, anim);
  EXPECT_EQ(budget.left, 0);
  anim.frameCount = 0;  // nothing to sample: nothing read
  ChargeAnimationRecords(budget, loaded.file, loaded.header, anim);
  anim.frameCount = 1;
  EXPECT_THROW(ChargeAnimationRecords(budget, loaded.file, loaded.header, anim), FormatError);
}

}  // namespace
