// Animation SMD files written from built models, in a scratch directory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "smd/anim_export.h"
#include "model/stream_decode.h"
#include "tests/model/reference_decode.h"
#include "io/float_format.h"
#include "io/log.h"
#include "tests/model/anim_test_support.h"
#include "builder/format_tables.h"
#include "tests/support/scratch_conversion.h"

namespace {

namespace fs = std::filesystem;
using animtest::LoadedModel;

class AnimExport : public ::testing::Test {
 protected:
  // The conversion of a loaded model into the scratch folder, with a fresh status.
  Conversion& Conv(const LoadedModel& loaded) { return scratch_.Of(loaded.file, StripFile{}); }
  bool HadErrors() const { return scratch_.HadErrors(); }
  std::string ReadFile(const std::string& name) const {
    std::ifstream in(scratch_.path / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  bool Exists(const std::string& name) const { return fs::exists(scratch_.path / name); }
  void Remove(const std::string& name) const { fs::remove(scratch_.path / name); }
  std::string Log() const { return ReadFile("streams.log"); }
  // Every file written into the scratch directory but the log, sorted.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(scratch_.path)) {
      if (entry.is_regular_file() && entry.path().filename() != "streams.log") {
        names.push_back(fs::relative(entry.path(), scratch_.path).string());
      }
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  ScratchConversion scratch_;
};

tb::AnimationDescription Animation(const std::string& name, int32_t frames,
                                   std::vector<tb::BoneAnimDescription> bones = {}) {
  tb::AnimationDescription animation;
  animation.name = name;
  animation.frameCount = frames;
  animation.bones = std::move(bones);
  return animation;
}

tb::ModelDescription ModelWith(std::vector<tb::BoneDescription> bones, std::vector<tb::AnimationDescription> animations) {
  tb::ModelDescription model;
  model.bones = std::move(bones);
  model.animations = std::move(animations);
  return model;
}

const char* const kRootHeader = "version 1\nnodes\n  0 \"root\" -1\nend\nskeleton\n";

TEST_F(AnimExport, NoAnimationDescriptionsWriteNothing) {
  LoadedModel m(ModelWith(tb::BoneChain(2), {}));
  EXPECT_EQ(ExportAnimations(Conv(m)), 1);
  EXPECT_TRUE(Files().empty());
  EXPECT_EQ(Log(), "");
  EXPECT_FALSE(HadErrors());
}

TEST_F(AnimExport, NoFramesGiveTheHeaderAndEnd) {
  auto bones = tb::BoneChain(1);
  bones[0].name = "root";
  LoadedModel m(ModelWith(bones, {Animation("zero", 0), Animation("negative", -3)}));
  // Without frames the per-bone records are never read: a broken offset is harmless.
  tb::PutI32(m.built.model.bytes, tb::AnimDescAt(m.built, 1) + tb::kAnimDescBoneAnims, 0x7ffffff0);
  EXPECT_EQ(ExportAnimations(Conv(m)), 1);
  EXPECT_EQ(ReadFile("zero.smd"), std::string(kRootHeader) + "end\n");
  EXPECT_EQ(ReadFile("negative.smd"), std::string(kRootHeader) + "end\n");
  EXPECT_FALSE(HadErrors());
}

TEST_F(AnimExport, NoBonesGiveOnlyTheFrameLines) {
  for (int32_t boneCount : {0, -2}) {
    tb::ModelDescription model = ModelWith(tb::BoneChain(1), {Animation("empty", 2)});
    model.counts.bones = boneCount;
    LoadedModel m(model);
    EXPECT_EQ(ExportAnimation(Conv(m), 0), 1);
    EXPECT_EQ(ReadFile("empty.smd"), "version 1\nnodes\nend\nskeleton\ntime 0\ntime 1\nend\n") << boneCount;
  }
}

TEST_F(AnimExport, TwoAnimationsWithOneNameKeepAFileEach) {
  LoadedModel m(ModelWith(tb::BoneChain(1), {Animation("walk", 1), Animation("walk", 3)}));
  ExportAnimations(Conv(m));
  EXPECT_EQ(ReadFile("walk.smd").find("time 1\n"), std::string::npos);
  EXPECT_NE(ReadFile("walk_2.smd").find("time 2\n"), std::string::npos);
  EXPECT_EQ(Files(), (std::vector<std::string>{"walk.smd", "walk_2.smd"}));
  EXPECT_EQ(Log(), "File name taken: walk.smd (animation 1) is written as walk_2.smd\n");
}

TEST_F(AnimExport, AFileThatCannotBeCreatedIsSkipped) {
  LoadedModel m(ModelWith(tb::BoneChain(1), {Animation("nofolder/walk", 1), Animation("run", 1)}));
  EXPECT_EQ(ExportAnimation(Conv(m), 0), 0);
  EXPECT_EQ(ExportAnimations(Conv(m)), 1);
  EXPECT_EQ(Log(), "Can't open: nofolder/walk.smd\nCan't open: nofolder/walk.smd\n");
  EXPECT_EQ(Files(), std::vector<std::string>{"run.smd"});
  EXPECT_FALSE(HadErrors());
}

TEST_F(AnimExport, ANameTooLongForAFileNameIsSkippedWithAMessage) {
  const std::string longName(252, 'a');
  LoadedModel m(ModelWith(tb::BoneChain(1), {Animation(longName, 1), Animation("run", 1)}));
  EXPECT_EQ(ExportAnimations(Conv(m)), 1);
  EXPECT_EQ(Files(), std::vector<std::string>{"run.smd"});
  const std::string log = Log();
  EXPECT_NE(log.find("Skipped animation 0: its name is 252 characters long"), std::string::npos) << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
  EXPECT_TRUE(HadErrors());
}

TEST_F(AnimExport, StoredValuesRepeatTheSameLinesInEveryFrame) {
  auto bones = tb::BoneChain(2);
  LoadedModel m(ModelWith(bones, {Animation("pose", 4,
                                            {tb::RawBoneAnim({1, 2, 3}, {0, 0, std::sin(0.3f), std::cos(0.3f)}),
                                             tb::RawBoneAnim({-4, 0.5f, 0})})}));
  ASSERT_EQ(ExportAnimation(Conv(m), 0), 1);
  const std::string text = ReadFile("pose.smd");
  const size_t first = text.find("time 0\n") + 7;
  const size_t second = text.find("time 1\n");
  const std::string lines = text.substr(first, second - first);
  EXPECT_EQ(lines.substr(0, 2), "0 ");
  std::string expected = text.substr(0, first - 7);
  for (int frame = 0; frame < 4; ++frame) expected += "time " + std::to_string(frame) + "\n" + lines;
  EXPECT_EQ(text, expected + "end\n");
}

// Positions whose text is long (dozens of digits) and short in turn: each
// line holds its whole numbers, whatever the length of the one before.
TEST_F(AnimExport, LongAndShortNumbersFollowEachOther) {
  tb::BoneDescription root;
  root.name = "root";
  root.parent = -1;
  root.positionScale = {1e34f, 1, 1};
  tb::ModelDescription model =
      ModelWith({root}, {Animation("far", 3, {tb::CodedBoneAnim({tb::PerFrameStream({30000, 0, -30000}), {}, {}},
                                                                {})})});
  LoadedModel m(model);
  ASSERT_EQ(ExportAnimation(Conv(m), 0), 1);
  const auto line = [](float x) {
    char text[kMaxFormattedFloat];
    return "0 " + std::string(text, FormatFloat(text, x, 6)) + " 0.000000 0.000000 0.000000 0.000000 0.000000\n";
  };
  const std::string text = ReadFile("far.smd");
  const std::string frames = text.substr(text.find("time 0\n"));
  EXPECT_EQ(frames, "time 0\n" + line(3e38f) + "time 1\n" + line(0.0f) + "time 2\n" + line(-3e38f) + "end\n");
}

// Two bones worked out by hand: bone 0 holds a stored position and the
// identity rotation; bone 1 decodes x from one value per frame (10 + v/4),
// keeps y at its reference (no stream), holds z at 5 + 2/2, and turns about X
// only (v/1000 radians), so the other two angles come out exactly 0.
TEST_F(AnimExport, AWholeFileInEveryFamily) {
  for (int32_t version : {37, 36, 29}) {
    tb::BoneDescription pelvis;
    pelvis.name = "pelvis";
    pelvis.parent = -1;
    tb::BoneDescription spine;
    spine.name = "spine";
    spine.parent = 0;
    spine.position = {10, 0, 5};
    spine.positionScale = {0.25f, 1, 0.5f};
    spine.angleScale = {0.001f, 1, 1};
    tb::ModelDescription model = ModelWith(
        {pelvis, spine},
        {Animation("walk", 3,
                   {tb::RawBoneAnim({1, 2.5f, -3}),
                    tb::CodedBoneAnim({tb::PerFrameStream({0, 4, -8}), {}, tb::ConstantStream(2, 3)},
                                      {tb::PerFrameStream({0, 100, -200}), {}, {}})})});
    model.version = version;
    LoadedModel m(model, tb::GarbageEverywhere(static_cast<uint32_t>(version)));
    ASSERT_EQ(ExportAnimations(Conv(m)), 1);
    EXPECT_EQ(ReadFile("walk.smd"),
              "version 1\n"
              "nodes\n"
              "  0 \"pelvis\" -1\n"
              "  1 \"spine\" 0\n"
              "end\n"
              "skeleton\n"
              "time 0\n"
              "0 1.000000 2.500000 -3.000000 0.000000 0.000000 0.000000\n"
              "1 10.000000 0.000000 6.000000 0.000000 0.000000 0.000000\n"
              "time 1\n"
              "0 1.000000 2.500000 -3.000000 0.000000 0.000000 0.000000\n"
              "1 11.000000 0.000000 6.000000 0.100000 0.000000 0.000000\n"
              "time 2\n"
              "0 1.000000 2.500000 -3.000000 0.000000 0.000000 0.000000\n"
              "1 8.000000 0.000000 6.000000 -0.200000 0.000000 0.000000\n"
              "end\n")
        << "version " << version;
    EXPECT_EQ(Log(), "");
  }
}

// Damage to one animation: one "Bad data" line naming it, no file for it, the
// next animation written.
struct DamageCase {
  const char* what;
  void (*damage)(LoadedModel& m);
  const char* context;  // the start of the report
  bool cutsFile = false;  // the file ends inside "broken"'s stream, losing "fine" too
};

TEST_F(AnimExport, BadDataSkipsOnlyItsAnimation) {
  const std::vector<DamageCase> cases = {
      {"a stream offset leaving the file",
       [](LoadedModel& m) {
         tb::PutI32(m.built.model.bytes, tb::BoneAnimAt(m.built, 0, 1) + tb::kBoneAnimPosition, 0x40000000);
       },
       "Bad data: animation 0 \"broken\" bone 1 frame 0: "},
      {"a stream that ends with the file before the frame",
       [](LoadedModel& m) {
         // One run holding one value for one frame, then the end of the file.
         const size_t stream = tb::At(m.built.model, "anim0.bone1.position0");
         ASSERT_GT(stream, tb::At(m.built.model, "anim0.boneAnims"));
         tb::PutU8(m.built.model.bytes, stream, 1);
         tb::PutU8(m.built.model.bytes, stream + 1, 1);
         m.built.model.bytes.resize(stream + 4);
       },
       "Bad data: animation 0 \"broken\" bone 1 frame 1: ", true},
      {"per-bone records outside the file",
       [](LoadedModel& m) {
         tb::PutI32(m.built.model.bytes, tb::AnimDescAt(m.built, 0) + tb::kAnimDescBoneAnims, -0x10000000);
       },
       "Bad data: animation 0 \"broken\" bone 0: "},
      {"an animation name outside the file",
       [](LoadedModel& m) { tb::PutI32(m.built.model.bytes, tb::AnimDescAt(m.built, 0) + tb::kAnimDescName, -0x7000000); },
       "Bad data: animation 0: "},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.what);
    tb::ModelDescription model = ModelWith(
        tb::BoneChain(2),
        {Animation("broken", 3, {tb::RawBoneAnim({}), tb::CodedBoneAnim({tb::PerFrameStream({1, 2, 3}), {}, {}}, {})}),
         Animation("fine", 2)});
    LoadedModel m(model);
    c.damage(m);
    m.Reload(model.version);
    if (c.cutsFile) {
      EXPECT_EQ(ExportAnimation(Conv(m), 0), 0);
    } else {
      EXPECT_EQ(ExportAnimations(Conv(m)), 1);
      EXPECT_EQ(Files(), std::vector<std::string>{"fine.smd"});
      Remove("fine.smd");
    }
    const std::string log = Log();
    EXPECT_EQ(log.rfind(c.context, 0), 0u) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    EXPECT_NE(log.find("offset"), std::string::npos) << log;
    EXPECT_FALSE(Exists("broken.smd"));
    EXPECT_TRUE(HadErrors());
    Remove("streams.log");
    scratch_.ResetStatus();
  }
}

// ---- the file against the stateless decoders ----------------------------------

std::string ExpectedLine(int32_t bone, const Vector3& p, const Vector3& a) {
  std::string line = std::to_string(bone);
  char number[kMaxFormattedFloat];
  for (float v : {p.x, p.y, p.z, a.x, a.y, a.z}) {
    line += ' ';
    line.append(number, FormatFloat(number, v, 6));
  }
  return line + "\n";
}

// The whole file as the per-frame decoders give it, or "" when one of them
// meets bad data.
std::string ExpectedFile(const LoadedModel& m, int32_t animation) {
  const AnimDescRecord desc = ReadAnimDesc(m.file, m.header, animation);
  std::string text = "version 1\nnodes\n";
  for (int32_t b = 0; b < m.header.boneCount; ++b) {
    const BoneRecord bone = ReadBone(m.file, m.header, b);
    text += "  " + std::to_string(b) + " \"" + std::string(BoneName(m.file, bone)) + "\" " +
            std::to_string(bone.parentIndex) + "\n";
  }
  text += "end\nskeleton\n";
  try {
    for (int32_t frame = 0; frame < desc.frameCount; ++frame) {
      text += "time " + std::to_string(frame) + "\n";
      for (int32_t b = 0; b < m.header.boneCount; ++b) {
        const BoneAnimRecord record = ReadBoneAnim(m.file, desc, b);
        text += ExpectedLine(b, DecodeBonePosition(m.file, m.header, record, b, frame, 0),
                             DecodeBoneAngles(m.file, m.header, record, b, frame, 0));
      }
    }
  } catch (const FormatError&) {
    return "";
  }
  return text + "end\n";
}

// Runs of every kind the walk has a rule for: consistent, of length 0 with and
// without values, fewer frames than values, no values at all.
tb::AxisStream RandomStream(std::mt19937& rng, int frames) {
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  tb::AxisStream stream;
  for (int covered = 0; covered < frames + 2;) {
    tb::AnimRun run;
    int stored = 0;
    switch (pick(12)) {
      case 0: stored = pick(3); run.runLength = 0; break;
      case 1: stored = 2 + pick(3); run.runLength = 1 + pick(stored - 1); break;
      case 2: stored = 0; run.runLength = 1 + pick(3); break;
      default: stored = 1 + pick(3); run.runLength = stored + pick(6); break;
    }
    for (int i = 0; i < stored; ++i) run.values.push_back(static_cast<int16_t>(pick(4001) - 2000));
    covered += run.runLength;
    stream.runs.push_back(run);
  }
  return stream;
}

tb::Vec3 RandomVec(std::mt19937& rng, float range) {
  std::uniform_real_distribution<float> d(-range, range);
  return {d(rng), d(rng), d(rng)};
}

// Random bones, flags (all eight bits), streams (some shared between axes)
// and file placement; the file must be what the frame-by-frame decoders give,
// or absent when they meet bad data.
TEST_F(AnimExport, FilesMatchTheFrameByFrameDecoders) {
  std::mt19937 rng(4242);
  int written = 0, refused = 0;
  for (int iteration = 0; iteration < 300; ++iteration) {
    const int boneCount = 1 + static_cast<int>(rng() % 3);
    const int frames = 1 + static_cast<int>(rng() % 40);
    auto bones = tb::BoneChain(boneCount);
    std::vector<tb::BoneAnimDescription> anims;
    for (auto& bone : bones) {
      bone.position = RandomVec(rng, 50);
      bone.angles = RandomVec(rng, 3);
      bone.positionScale = RandomVec(rng, 0.1f);
      bone.angleScale = RandomVec(rng, 0.003f);
      tb::BoneAnimDescription anim;
      anim.flags = static_cast<uint8_t>(rng());
      anim.rawPosition = RandomVec(rng, 10);
      const tb::Vec3 q = RandomVec(rng, 1);
      anim.rawQuaternion = {q.x, q.y, q.z, 0.5f};
      std::vector<int> withRuns;
      for (int axis = 0; axis < 6; ++axis) {
        tb::AxisStream& stream = axis < 3 ? anim.position[axis] : anim.rotation[axis - 3];
        if (rng() % 4 == 0) continue;  // offset 0
        if (!withRuns.empty() && rng() % 4 == 0) {
          stream.sameAs = withRuns[rng() % withRuns.size()];
        } else {
          stream = RandomStream(rng, frames);
          withRuns.push_back(axis);
        }
      }
      anims.push_back(anim);
    }
    LoadedModel m(ModelWith(bones, {Animation("sample", frames, anims)}),
                  iteration % 2 ? tb::GarbageEverywhere(iteration) : tb::BuildOptions{});
    const std::string expected = ExpectedFile(m, 0);
    const int result = ExportAnimation(Conv(m), 0);
    if (expected.empty()) {
      EXPECT_EQ(result, 0) << "iteration " << iteration;
      EXPECT_FALSE(Exists("sample.smd")) << "iteration " << iteration;
      ++refused;
    } else {
      ASSERT_EQ(result, 1) << "iteration " << iteration;
      ASSERT_EQ(ReadFile("sample.smd"), expected) << "iteration " << iteration;
      ++written;
    }
    Remove("sample.smd");
  }
  EXPECT_GT(written, 100);
  EXPECT_GT(refused, 10);
}

}  // namespace
