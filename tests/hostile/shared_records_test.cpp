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

// Appends `copies` copies of the record of `size` bytes at `original` to the
// end of the image and returns where the new table starts. The offsets at
// `relativeFields` of each copy (counted from the record) are moved so that
// they still reach what the original's reach: every copy shares them.
size_t AppendSharingCopies(std::vector<uint8_t>& bytes, size_t original, size_t size, int copies,
                           std::initializer_list<int32_t> relativeFields) {
  const size_t table = bytes.size();
  const std::string record(reinterpret_cast<const char*>(&bytes[original]), size);
  for (int i = 0; i < copies; ++i) {
    const size_t at = AppendBytes(bytes, record);
    const int32_t moved = static_cast<int32_t>(at - original);
    for (int32_t field : relativeFields) tb::PutI32(bytes, at + field, tb::GetI32(bytes, at + field) - moved);
  }
  return table;
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
  const size_t table = AppendSharingCopies(built.model.bytes, tb::AnimDescAt(built, 0), tb::kAnimDescSize, copies,
                                           {tb::kAnimDescName, tb::kAnimDescBoneAnims});
  tb::PutI32(built.model.bytes, tb::At(built.model, "header.animDescCount"), copies);
  tb::PutI32(built.model.bytes, tb::At(built.model, "header.animDescOffset"), static_cast<int32_t>(table));
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

// Sharing one level further up: many levels of detail over one set of strip
// meshes, many body parts over one sub-model table, many hitbox sets over one
// hitbox table. Each is refused once the shared records would need more bytes
// than their file holds, and what comes before is written.
TEST(SharedRecords, LevelsOfDetailSharingStripMeshesStopAtTheFileSize) {
  const int levels = 200;
  tb::BuiltModel built = tb::BuildModel(tb::BoxModel(37));
  const size_t lod = tb::StripLodAt(built, 0, 0, 0);
  tb::PutF32(built.strip.bytes, lod + tb::kStripLodSwitchDistance, 5.0f);
  const size_t table = AppendSharingCopies(built.strip.bytes, lod, tb::kStripLodRecordSize, levels,
                                           {tb::kStripLodMeshOffset});
  // The sub-model's level table becomes the copies, all over level 0's strip
  // meshes.
  const size_t stripModel = tb::StripModelAt(built, 0, 0);
  tb::PutI32(built.strip.bytes, stripModel + tb::kStripModelLodCount, levels);
  tb::PutI32(built.strip.bytes, stripModel + tb::kStripModelLodOffset, static_cast<int32_t>(table - stripModel));
  const HostileRun run = RunOnBuilt(built);
  ExpectContained(run, "shared strip meshes");
  EXPECT_EQ(run.status, 2);
  // The level table is charged first, then every file its strip mesh, group,
  // strip and 36 index entries.
  const int64_t perFile = tb::kStripMeshRecordSize + tb::kStripGroupRecordSize + tb::kStripRecordSize + 36 * 2;
  const int64_t left = static_cast<int64_t>(built.strip.bytes.size()) - levels * tb::kStripLodRecordSize;
  const int written = static_cast<int>(left / perFile);
  ASSERT_GT(written, 0);
  EXPECT_EQ(static_cast<int>(run.outputs.size()), 2 + written);  // besides dec.qc and idle.smd
  EXPECT_EQ(CountLines(run.console, "mesh file \"lod"), levels - written) << run.console;
  // Most run out at their strip mesh table, before any mesh; the budget may
  // also run out inside the first mesh.
  EXPECT_EQ(CountLines(run.console, "share bytes"), levels - written);
  EXPECT_GE(CountLines(run.console, ", mesh tables): in/m.dx80.vtx: strip mesh table at offset"), levels - written - 4);
  // The script names every level: their records are the file's own.
  EXPECT_EQ(std::count(run.outputs.at("dec.qc").begin(), run.outputs.at("dec.qc").end(), '$'), 7 + levels);
}

TEST(SharedRecords, BodyPartsSharingASubModelTableStopAtTheFileSize) {
  const int bodyParts = 100;
  tb::BuiltModel built = tb::BuildModel(tb::BoxModel(31));
  const size_t table = AppendSharingCopies(built.model.bytes, tb::BodyPartAt(built, 0), tb::kBodyPartSize, bodyParts,
                                           {tb::kBodyPartName, tb::kBodyPartModelOffset});
  tb::PutI32(built.model.bytes, tb::At(built.model, "header.bodyPartCount"), bodyParts);
  tb::PutI32(built.model.bytes, tb::At(built.model, "header.bodyPartOffset"), static_cast<int32_t>(table));
  // The strip file's body parts: one record per body part, all over one
  // StripModel table.
  const size_t stripTable = AppendSharingCopies(built.strip.bytes, tb::StripBodyPartAt(built, 0),
                                                tb::kStripBodyPartRecordSize, bodyParts, {tb::kStripBodyPartModelOffset});
  tb::PutI32(built.strip.bytes, tb::kStripHeaderBodyPartOffset, static_cast<int32_t>(stripTable));
  const HostileRun run = RunOnBuilt(built);
  ExpectContained(run, "shared sub-model tables");
  EXPECT_EQ(run.status, 2);
  EXPECT_GT(CountLines(run.console, "dec.qc body part"), 0) << run.console;
  EXPECT_EQ(OutputNames(run), (std::set<std::string>{"box.smd", "idle.smd"}));
}

TEST(SharedRecords, HitboxSetsSharingAHitboxTableStopAtTheFileSize) {
  tb::ModelDescription description = tb::BoxModel(37);
  description.hitboxSets = {{"set", std::vector<tb::HitboxDescription>(8), std::nullopt}};
  tb::BuiltModel built = tb::BuildModel(description);
  const size_t table = AppendSharingCopies(built.model.bytes, tb::At(built.model, "hitboxSets"), tb::kHitboxSetSize,
                                           200, {tb::kHitboxSetName, tb::kHitboxSetOffset});
  tb::PutI32(built.model.bytes, tb::At(built.model, "header.hitboxSetCount"), 200);
  tb::PutI32(built.model.bytes, tb::At(built.model, "header.hitboxSetOffset"), static_cast<int32_t>(table));
  const HostileRun run = RunOnBuilt(built);
  ExpectContained(run, "shared hitbox tables");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(CountLines(run.console, "hitbox table"), 1) << run.console;
  EXPECT_EQ(OutputNames(run), (std::set<std::string>{"box.smd", "idle.smd"}));
}

}  // namespace
