// Files that point many records at the same bytes. The format allows it, so
// they are written as often as they are named, byte for byte as a file whose
// records each have bytes of their own; only records of one kind that would
// claim more than 64 times their file's size are refused, which keeps the
// work a small file can cause in proportion to its size.
#include <gtest/gtest.h>

#include <algorithm>

#include "builder/format_tables.h"
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

// The sharing file's run equals the run of the file with records of their own:
// every output, the console, status 1. `claimed` is how many bytes the shared
// records claim in all; more than their file holds, or the case proves nothing.
void ExpectWrittenAsUnshared(const tb::BuiltModel& shared, const tb::BuiltModel& own, int64_t claimed,
                             const std::string& what) {
  ASSERT_GT(claimed, static_cast<int64_t>(std::max(shared.model.bytes.size(), shared.strip.bytes.size()))) << what;
  const HostileRun sharing = RunOnBuilt(shared);
  const HostileRun owning = RunOnBuilt(own);
  ExpectContained(sharing, what);
  EXPECT_EQ(owning.status, 1) << owning.console;
  EXPECT_EQ(sharing.status, 1) << what << "\n" << sharing.console;
  EXPECT_EQ(sharing.console, owning.console) << what;
  EXPECT_EQ(OutputNames(sharing), OutputNames(owning)) << what;
  for (const auto& [name, text] : owning.outputs) {
    auto it = sharing.outputs.find(name);
    if (it != sharing.outputs.end()) {
      EXPECT_TRUE(it->second == text) << what << ": " << name << " differs";
    }
  }
}

TEST(SharedRecords, AnimationsSharingPerBoneRecordsAreEachWritten) {
  const int bones = 20, copies = 40;
  tb::ModelDescription description;
  description.version = 37;
  description.bones = tb::BoneChain(bones);
  tb::AnimationDescription anim;
  anim.name = "shared";
  anim.frameCount = 3;
  anim.bones = {tb::RawBoneAnim({1, 2, 3}, {0, 0, 0.6f, 0.8f})};
  description.animations = {anim};
  tb::BuiltModel shared = tb::BuildModel(description);
  const size_t table = AppendSharingCopies(shared.model.bytes, tb::AnimDescAt(shared, 0), tb::kAnimDescSize, copies,
                                           {tb::kAnimDescName, tb::kAnimDescBoneAnims});
  tb::PutI32(shared.model.bytes, tb::At(shared.model, "header.animDescCount"), copies);
  tb::PutI32(shared.model.bytes, tb::At(shared.model, "header.animDescOffset"), static_cast<int32_t>(table));

  description.animations.assign(copies, anim);
  ExpectWrittenAsUnshared(shared, tb::BuildModel(description), int64_t{copies} * bones * tb::kBoneAnimSize,
                          "shared per-bone records");
}

TEST(SharedRecords, LevelsOfDetailSharingStripMeshesAreEachWritten) {
  const int levels = 200;
  tb::ModelDescription description = tb::BoxModel(37);
  tb::LodDescription& level = description.bodyParts[0].subModels[0].lods[0];
  level.switchDistance = 5.0f;
  tb::BuiltModel shared = tb::BuildModel(description);
  const size_t lod = tb::StripLodAt(shared, 0, 0, 0);
  const size_t table = AppendSharingCopies(shared.strip.bytes, lod, tb::kStripLodRecordSize, levels,
                                           {tb::kStripLodMeshOffset});
  // The sub-model's level table becomes the copies, all over level 0's strip meshes.
  const size_t stripModel = tb::StripModelAt(shared, 0, 0);
  tb::PutI32(shared.strip.bytes, stripModel + tb::kStripModelLodCount, levels);
  tb::PutI32(shared.strip.bytes, stripModel + tb::kStripModelLodOffset, static_cast<int32_t>(table - stripModel));

  description.bodyParts[0].subModels[0].lods.assign(levels, level);
  const int64_t perFile = tb::kStripMeshRecordSize + tb::kStripGroupRecordSize + tb::kStripRecordSize + 36 * 2;
  ExpectWrittenAsUnshared(shared, tb::BuildModel(description), levels * perFile, "shared strip meshes");
}

TEST(SharedRecords, BodyPartsSharingASubModelTableAreEachWritten) {
  const int bodyParts = 150;
  tb::ModelDescription description = tb::BoxModel(31);
  tb::BuiltModel shared = tb::BuildModel(description);
  const size_t table = AppendSharingCopies(shared.model.bytes, tb::BodyPartAt(shared, 0), tb::kBodyPartSize,
                                           bodyParts, {tb::kBodyPartName, tb::kBodyPartModelOffset});
  tb::PutI32(shared.model.bytes, tb::At(shared.model, "header.bodyPartCount"), bodyParts);
  tb::PutI32(shared.model.bytes, tb::At(shared.model, "header.bodyPartOffset"), static_cast<int32_t>(table));
  // The strip file's body parts: one record per body part, all over one
  // StripModel table.
  const size_t stripTable = AppendSharingCopies(shared.strip.bytes, tb::StripBodyPartAt(shared, 0),
                                                tb::kStripBodyPartRecordSize, bodyParts,
                                                {tb::kStripBodyPartModelOffset});
  tb::PutI32(shared.strip.bytes, tb::kStripHeaderBodyPartOffset, static_cast<int32_t>(stripTable));

  description.bodyParts.assign(bodyParts, description.bodyParts[0]);
  ExpectWrittenAsUnshared(shared, tb::BuildModel(description), int64_t{bodyParts} * tb::kSubModelSize,
                          "shared sub-model tables");
}

TEST(SharedRecords, HitboxSetsSharingAHitboxTableAreEachWritten) {
  const int sets = 200;
  tb::ModelDescription description = tb::BoxModel(37);
  std::vector<tb::HitboxDescription> boxes(8);
  for (size_t i = 0; i < boxes.size(); ++i) boxes[i] = {0, static_cast<int32_t>(i), {-1, -1, -1}, {1, 1, float(i)}};
  description.hitboxSets = {{"set", boxes, std::nullopt}};
  tb::BuiltModel shared = tb::BuildModel(description);
  const size_t table = AppendSharingCopies(shared.model.bytes, tb::At(shared.model, "hitboxSets"), tb::kHitboxSetSize,
                                           sets, {tb::kHitboxSetName, tb::kHitboxSetOffset});
  tb::PutI32(shared.model.bytes, tb::At(shared.model, "header.hitboxSetCount"), sets);
  tb::PutI32(shared.model.bytes, tb::At(shared.model, "header.hitboxSetOffset"), static_cast<int32_t>(table));

  description.hitboxSets.assign(sets, description.hitboxSets[0]);
  ExpectWrittenAsUnshared(shared, tb::BuildModel(description), int64_t{sets} * 8 * tb::kHitboxSize,
                          "shared hitbox tables");
}

// A level of detail whose one strip group lists the same `entries` index
// entries (degenerate triangles over strip vertex 0) in `strips` strips.
tb::BuiltModel SharedStrips(int strips, int entries) {
  tb::ModelDescription description = tb::BoxModel(37);
  tb::SubModelDescription& box = description.bodyParts[0].subModels[0];
  tb::StripGroupDescription& group = box.lods[0].meshes[0].groups[0];
  if (entries > 0) {
    group = tb::TriangleGroup(std::vector<uint16_t>(static_cast<size_t>(entries), 0));
  }
  group.strips.assign(static_cast<size_t>(strips), group.strips[0]);
  return tb::BuildModel(description);
}

TEST(SharedRecords, StripsSharingIndexEntriesBeyondTheBudgetAreRefused) {
  // 200 strips over 3,000 entries claim 1.2 MB of index entries, more than
  // 64 times the 12 KB strip file.
  const tb::BuiltModel built = SharedStrips(200, 3000);
  ASSERT_GT(200 * 3000 * 2, 64 * static_cast<int>(built.strip.bytes.size()));
  const HostileRun run = RunOnBuilt(built);
  ExpectContained(run, "shared strip index entries");
  EXPECT_EQ(run.status, 2) << run.console;
  EXPECT_EQ(CountLines(run.console, "mesh file \"box.smd\""), 1) << run.console;
  EXPECT_EQ(CountLines(run.console, "strip index entries"), 1) << run.console;
  EXPECT_EQ(CountLines(run.console, "64 times the file's size"), 1) << run.console;
  EXPECT_EQ(OutputNames(run), (std::set<std::string>{"dec.qc", "idle.smd"}));

  // Strips over the same entries within the budget are written as listed.
  const HostileRun few = RunOnBuilt(SharedStrips(30, 0));
  EXPECT_EQ(few.status, 1) << few.console;
  const std::string& mesh = few.outputs.at("box.smd");
  // Skeleton block of one bone (8 lines), "triangles", 30 x 12 triangles, "end".
  EXPECT_EQ(std::count(mesh.begin(), mesh.end(), '\n'), 8 + 1 + 30 * 12 * 4 + 1);
}

}  // namespace
