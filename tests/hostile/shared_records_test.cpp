// Small files that point many records at the same bytes, asking for far more
// output than they describe: the records of one kind may together claim only
// as many bytes as the file holds, so the sharing ones are refused while a
// file whose records each have their own bytes is written whole.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/builder/format_tables.h"
#include "tests/hostile/hostile_support.h"

namespace {

int CountLines(const std::string& console, const std::string& part) {
  int count = 0;
  for (const std::string& line : BadDataLines(console)) count += line.find(part) != std::string::npos;
  return count;
}

// One animation of `bones` bones, then `copies` more animation descriptions
// appended to the file that all use its name and its per-bone records.
tb::BuiltModel SharedAnimations(int bones, int copies, int32_t frames) {
  tb::ModelDescription description;
  description.version = 37;
  description.bones = tb::BoneChain(bones);
  tb::AnimationDescription anim;
  anim.name = "shared";
  anim.frameCount = frames;
  description.animations = {anim};
  tb::BuiltModel built = tb::BuildModel(description);
  std::vector<uint8_t>& bytes = built.model.bytes;
  const size_t original = tb::AnimDescAt(built, 0);
  const int32_t nameOffset = tb::GetI32(bytes, original + tb::kAnimDescName);
  const int32_t boneAnimOffset = tb::GetI32(bytes, original + tb::kAnimDescBoneAnims);
  const size_t table = bytes.size();
  for (int i = 0; i < copies; ++i) {
    size_t at = AppendBytes(bytes, std::string(reinterpret_cast<const char*>(&bytes[original]), tb::kAnimDescSize));
    const int32_t moved = static_cast<int32_t>(at - original);
    tb::PutI32(bytes, at + tb::kAnimDescName, nameOffset - moved);
    tb::PutI32(bytes, at + tb::kAnimDescBoneAnims, boneAnimOffset - moved);
  }
  tb::PutI32(bytes, tb::At(built.model, "header.animDescCount"), copies);
  tb::PutI32(bytes, tb::At(built.model, "header.animDescOffset"), static_cast<int32_t>(table));
  return built;
}

TEST(SharedRecords, AnimationsSharingPerBoneRecordsStopAtTheFileSize) {
  const int bones = 20, copies = 40;
  const tb::BuiltModel built = SharedAnimations(bones, copies, 3);
  const int64_t fileSize = static_cast<int64_t>(built.model.bytes.size());
  const int64_t perAnimation = tb::kBoneAnimSize * bones;
  const int written = static_cast<int>(fileSize / perAnimation);
  ASSERT_LT(written, copies);  // the file cannot back them all

  const HostileRun run = RunOnBuilt(built);
  ExpectContained(run, "shared per-bone records");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(CountLines(run.console, "animation per-bone records"), copies - written) << run.console;
  EXPECT_EQ(CountLines(run.console, "share bytes"), copies - written);
  // The animations the file can back are written; they all carry the one name.
  EXPECT_EQ(OutputNames(run).count("shared.smd"), 1u);
}

TEST(SharedRecords, AnimationsWithRecordsOfTheirOwnAreAllWritten) {
  // The same number of animations, each with its own per-bone records: the
  // charge per animation is the same as above, yet the file holds them all.
  tb::ModelDescription description;
  description.version = 37;
  description.bones = tb::BoneChain(20);
  for (int i = 0; i < 40; ++i) {
    tb::AnimationDescription anim;
    anim.name = "own" + std::to_string(i);
    anim.frameCount = 3;
    description.animations.push_back(anim);
  }
  const HostileRun run = RunOnBuilt(tb::BuildModel(description));
  EXPECT_EQ(run.status, 1) << run.console;
  EXPECT_EQ(run.outputs.size(), 41u);  // dec.qc and 40 animations
}

// A level of detail whose one strip group lists the same 12 triangles in
// `strips` strips.
tb::BuiltModel SharedStrips(int strips) {
  tb::ModelDescription description = tb::BoxModel(37);
  tb::SubModelDescription& box = description.bodyParts[0].subModels[0];
  tb::StripGroupDescription& group = box.lods[0].meshes[0].groups[0];
  group.strips.assign(static_cast<size_t>(strips), group.strips[0]);
  return tb::BuildModel(description);
}

TEST(SharedRecords, StripsSharingIndexEntriesStopAtTheFileSize) {
  // 300 strips of 36 entries ask for 21,600 bytes of index entries; the whole
  // strip file is smaller (the 300 strip records take 8,100 bytes).
  const tb::BuiltModel built = SharedStrips(300);
  ASSERT_LT(built.strip.bytes.size(), 300u * 36 * 2);
  const HostileRun run = RunOnBuilt(built);
  ExpectContained(run, "shared strip index entries");
  EXPECT_EQ(run.status, 2) << run.console;
  EXPECT_EQ(CountLines(run.console, "mesh file \"box.smd\""), 1) << run.console;
  EXPECT_EQ(CountLines(run.console, "strip index entries"), 1) << run.console;
  EXPECT_EQ(OutputNames(run), (std::set<std::string>{"dec.qc", "idle.smd"}));

  // A few strips over the same entries still fit, and are written as listed.
  const HostileRun few = RunOnBuilt(SharedStrips(3));
  EXPECT_EQ(few.status, 1) << few.console;
  const std::string& mesh = few.outputs.at("box.smd");
  // Skeleton block of one bone (8 lines), "triangles", 36 triangles, "end".
  EXPECT_EQ(std::count(mesh.begin(), mesh.end(), '\n'), 8 + 1 + 3 * 12 * 4 + 1);
}

}  // namespace
