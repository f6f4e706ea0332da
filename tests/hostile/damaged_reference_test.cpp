// One damaged reference per row, in every family: huge and negative counts,
// offsets before and beyond the file, names without a terminator, indices
// outside their tables, streams that end early. Each row names the item the
// "Bad data" line must mention and the outputs that must be missing; every
// other output of the intact model must still be written, byte for byte.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "builder/format_tables.h"
#include "tests/hostile/hostile_support.h"
#include "tools/sample_model.h"

namespace {

// The sample model writes dec.qc, the mesh files arm_box.smd (two levels of
// detail, body part 0 sub-model 0, texture 0) and plate.smd (body part 1,
// texture 1), and the animations wave (0: bone 1 rotation-coded about Z, bone 2
// position-coded along X) and idle (1).
const char* const kScript = "dec.qc";
const char* const kArm = "arm_box.smd";
const char* const kArmLod1 = "lod1_arm_box.smd";
const char* const kPlate = "plate.smd";
const char* const kWave = "wave.smd";
const char* const kIdle = "idle.smd";
const std::set<std::string> kMeshFiles = {kArm, kArmLod1, kPlate};
const std::set<std::string> kAnimationFiles = {kWave, kIdle};

std::set<std::string> Join(std::set<std::string> a, const std::set<std::string>& b) {
  a.insert(b.begin(), b.end());
  return a;
}

using Damage = std::function<void(tb::BuiltModel&)>;

struct DamageCase {
  const char* what;
  Damage damage;
  std::string item;               // a "Bad data" line contains this
  std::set<std::string> missing;  // outputs that must not be written
  // Outputs that are complete but differ from the intact ones, since the
  // damage also changes what they hold (compared by presence only).
  std::set<std::string> changed = {};
};

void PutModelI32(tb::BuiltModel& b, size_t at, int32_t value) { tb::PutI32(b.model.bytes, at, value); }
void PutStripI32(tb::BuiltModel& b, size_t at, int32_t value) { tb::PutI32(b.strip.bytes, at, value); }
size_t HeaderField(const tb::BuiltModel& b, const char* field) {
  return tb::At(b.model, std::string("header.") + field);
}

// Points the offset at `fieldAt` (counted from `base`) at a name that runs to
// the end of the file without a terminator.
void PointAtUnterminatedName(tb::BuiltModel& b, size_t fieldAt, size_t base) {
  size_t name = AppendBytes(b.model.bytes, "unterminated");
  PutModelI32(b, fieldAt, static_cast<int32_t>(name - base));
}

// Offset of the axis stream field `axis` (0..2 position, 3..5 rotation) of
// animation `anim`, bone `bone`.
size_t StreamField(const tb::BuiltModel& b, int anim, int bone, int axis) {
  return tb::BoneAnimAt(b, anim, bone) + (axis < 3 ? tb::kBoneAnimPosition + 4 * axis
                                                   : tb::kBoneAnimRotation + 4 * (axis - 3));
}

// The sub-model field that locates vertex data in the model's family.
size_t VertexDataField(const tb::BuiltModel& b) {
  return tb::SubModelAt(b, 0, 0) +
         (b.family == tb::Family::Mode28To30 ? tb::kSubModelPositionOffset : tb::kSubModelVertexOffset);
}

std::vector<DamageCase> Cases() {
  const std::set<std::string> all = Join(Join(kMeshFiles, kAnimationFiles), {kScript});
  return {
      // ---- skeleton
      {"bone count far beyond the file",
       [](tb::BuiltModel& b) { PutModelI32(b, HeaderField(b, "boneCount"), INT32_MAX); }, "bone table",
       Join(kMeshFiles, kAnimationFiles)},
      {"bone table before the file",
       [](tb::BuiltModel& b) { PutModelI32(b, HeaderField(b, "boneOffset"), -(1 << 30)); }, "bone", all},
      {"bone table at the end of the file",
       [](tb::BuiltModel& b) { PutModelI32(b, HeaderField(b, "boneOffset"), static_cast<int32_t>(b.model.bytes.size() - 100)); },
       "bone", all},
      {"bone name without a terminator",
       [](tb::BuiltModel& b) { PointAtUnterminatedName(b, tb::BoneAt(b, 2) + tb::kBoneName, tb::BoneAt(b, 2)); },
       "bone name at offset", all},
      // ---- animations
      {"animation count far beyond the file",
       [](tb::BuiltModel& b) { PutModelI32(b, HeaderField(b, "animDescCount"), INT32_MAX); },
       "animation description table", kAnimationFiles},
      {"animation table before the file",
       [](tb::BuiltModel& b) { PutModelI32(b, HeaderField(b, "animDescOffset"), INT32_MIN); },
       "animation description", Join(kAnimationFiles, {kScript})},
      {"animation name without a terminator",
       [](tb::BuiltModel& b) { PointAtUnterminatedName(b, tb::AnimDescAt(b, 0) + tb::kAnimDescName, tb::AnimDescAt(b, 0)); },
       "animation 0: ", {kWave}},
      {"per-bone records beyond the file",
       [](tb::BuiltModel& b) { PutModelI32(b, tb::AnimDescAt(b, 1) + tb::kAnimDescBoneAnims, 1 << 30); },
       "animation 1 \"idle\" bone 0", {kIdle}},
      {"position stream beyond the file",
       [](tb::BuiltModel& b) { PutModelI32(b, StreamField(b, 0, 2, 0), 1 << 30); },
       "animation 0 \"wave\" bone 2", {kWave}},
      {"rotation stream before the file",
       [](tb::BuiltModel& b) { PutModelI32(b, StreamField(b, 0, 1, 5), -(1 << 30)); },
       "animation 0 \"wave\" bone 1", {kWave}},
      {"stream whose run header is the last byte of the file",
       [](tb::BuiltModel& b) {
         size_t at = AppendBytes(b.model.bytes, "\x06");
         PutModelI32(b, StreamField(b, 0, 2, 0), static_cast<int32_t>(at - tb::BoneAnimAt(b, 0, 2)));
       },
       "animation stream run header", {kWave}},
      {"stream whose stored values run out with the file",
       [](tb::BuiltModel& b) {
         // A run that stores 4 values for 6 frames, of which one is present.
         size_t at = AppendBytes(b.model.bytes, std::string("\x04\x06\x10\x00", 4));
         PutModelI32(b, StreamField(b, 0, 2, 0), static_cast<int32_t>(at - tb::BoneAnimAt(b, 0, 2)));
       },
       "animation stream values", {kWave}},
      {"stream walked past its runs into the end of the file",
       [](tb::BuiltModel& b) {
         // Two frames stored, then the file ends where frame 2's run would start.
         size_t at = AppendBytes(b.model.bytes, std::string("\x02\x02\x01\x00\x02\x00", 6));
         PutModelI32(b, StreamField(b, 0, 1, 5), static_cast<int32_t>(at - tb::BoneAnimAt(b, 0, 1)));
       },
       "animation 0 \"wave\" bone 1 frame 2", {kWave}},
      // ---- body parts and sub-models
      {"body part count far beyond the file",
       [](tb::BuiltModel& b) { PutModelI32(b, HeaderField(b, "bodyPartCount"), 1 << 30); }, "body part table",
       Join(kMeshFiles, {kScript})},
      {"sub-model table beyond the file",
       [](tb::BuiltModel& b) { PutModelI32(b, tb::BodyPartAt(b, 0) + tb::kBodyPartModelOffset, 1 << 30); },
       "body part 0", {kScript, kArm, kArmLod1}},
      {"sub-model count far beyond the file",
       [](tb::BuiltModel& b) { PutModelI32(b, tb::BodyPartAt(b, 0) + tb::kBodyPartModelCount, INT32_MAX); },
       "sub-model table", {kScript, kArm, kArmLod1}},
      {"body part name without a terminator",
       [](tb::BuiltModel& b) { PointAtUnterminatedName(b, tb::BodyPartAt(b, 1) + tb::kBodyPartName, tb::BodyPartAt(b, 1)); },
       "body part name", {kScript, kPlate}},
      {"mesh table beyond the file",
       [](tb::BuiltModel& b) { PutModelI32(b, tb::SubModelAt(b, 0, 0) + tb::kSubModelMeshOffset, 1 << 30); },
       "mesh table", {kArm, kArmLod1}},
      {"mesh count far beyond the file",
       [](tb::BuiltModel& b) { PutModelI32(b, tb::SubModelAt(b, 0, 0) + tb::kSubModelMeshCount, INT32_MAX); },
       "mesh table", {kArm, kArmLod1}},
      {"vertex data beyond the file",
       [](tb::BuiltModel& b) { PutModelI32(b, VertexDataField(b), 1 << 30); }, "vertex", {kArm, kArmLod1}},
      {"vertex data before the file",
       [](tb::BuiltModel& b) { PutModelI32(b, VertexDataField(b), INT32_MIN); }, "vertex", {kArm, kArmLod1}},
      {"vertex base beyond the file",
       [](tb::BuiltModel& b) { PutModelI32(b, tb::MeshAt(b, 0, 0, 0) + tb::kMeshVertexBase, 30000); },
       "mesh file \"arm_box.smd\"", {kArm, kArmLod1}},
      {"material past the end of the texture table",
       [](tb::BuiltModel& b) { PutModelI32(b, tb::MeshAt(b, 1, 0, 0) + tb::kMeshMaterial, 2); },
       "mesh file \"plate.smd\"", {kPlate}},
      {"negative material",
       [](tb::BuiltModel& b) { PutModelI32(b, tb::MeshAt(b, 1, 0, 0) + tb::kMeshMaterial, -1); },
       "mesh file \"plate.smd\"", {kPlate}},
      {"mesh owner sub-model beyond the file",
       [](tb::BuiltModel& b) { PutModelI32(b, tb::MeshAt(b, 1, 0, 0) + tb::kMeshModelOffset, 1 << 30); },
       "mesh file \"plate.smd\"", {kPlate}},
      {"texture name without a terminator",
       [](tb::BuiltModel& b) {
         size_t texture = tb::RecordAt(b.model, "textures", 1);
         PointAtUnterminatedName(b, texture + tb::kTextureName, texture);
       },
       "texture name", {kScript, kPlate}},
      // ---- descriptive records of the script
      {"hitbox bone one past the last bone",
       [](tb::BuiltModel& b) { PutModelI32(b, tb::At(b.model, "hitboxSet0.hitboxes") + tb::kHitboxBone, 3); },
       "dec.qc hitbox set 0 hitbox 0", {kScript}},
      {"negative hitbox bone",
       [](tb::BuiltModel& b) { PutModelI32(b, tb::At(b.model, "hitboxSet0.hitboxes") + tb::kHitboxBone, -1); },
       "hitbox bone index", {kScript}},
      {"attachment bone far past the last bone",
       [](tb::BuiltModel& b) { PutModelI32(b, tb::At(b.model, "attachments") + tb::kAttachmentBone, 100000); },
       "attachment bone index", {kScript}},
      // A negative count is an empty table: the skeletons and node lists are
      // empty, and the hitboxes name bones that do not exist.
      {"negative bone count leaves the hitbox bones without a table",
       [](tb::BuiltModel& b) { PutModelI32(b, HeaderField(b, "boneCount"), -1); }, "hitbox bone index", {kScript},
       Join(kMeshFiles, kAnimationFiles)},
      {"hitbox count far beyond the file",
       [](tb::BuiltModel& b) { PutModelI32(b, tb::At(b.model, "hitboxSets") + tb::kHitboxSetCount, INT32_MAX); },
       "hitbox table", {kScript}},
      {"sequence count far beyond the file",
       [](tb::BuiltModel& b) { PutModelI32(b, HeaderField(b, "sequenceCount"), 1 << 20); }, "sequence table",
       {kScript}},
      {"pose parameter table before the file",
       [](tb::BuiltModel& b) { PutModelI32(b, HeaderField(b, "poseParamOffset"), -4); }, "pose parameter",
       {kScript}},
      {"material folder name beyond the file",
       [](tb::BuiltModel& b) { PutModelI32(b, tb::At(b.model, "materialFolders"), 1 << 30); },
       "material folder name", {kScript}},
      {"surface property name before the file",
       [](tb::BuiltModel& b) { PutModelI32(b, HeaderField(b, "surfacePropOffset"), -5); },
       "surface property name", {kScript}},
      {"surface property name without a terminator",
       [](tb::BuiltModel& b) { PointAtUnterminatedName(b, HeaderField(b, "surfacePropOffset"), 0); },
       "surface property name", {kScript}},
      // ---- strip file
      {"strip body parts beyond the strip file",
       [](tb::BuiltModel& b) { PutStripI32(b, tb::kStripHeaderBodyPartOffset, 1 << 30); }, "in/m.dx80.vtx",
       Join(kMeshFiles, {kScript})},
      {"strip sub-models of one body part before the strip file",
       [](tb::BuiltModel& b) {
         PutStripI32(b, tb::StripBodyPartAt(b, 1) + tb::kStripBodyPartModelOffset, -(1 << 30));
       },
       "body part 1", {kScript, kPlate}},
      {"level-of-detail count far beyond the strip file",
       [](tb::BuiltModel& b) { PutStripI32(b, tb::StripModelAt(b, 0, 0) + tb::kStripModelLodCount, INT32_MAX); },
       "strip LOD table", {kScript, kArm, kArmLod1}},
      {"level-of-detail table before the strip file",
       [](tb::BuiltModel& b) { PutStripI32(b, tb::StripModelAt(b, 0, 0) + tb::kStripModelLodOffset, INT32_MIN); },
       "strip LOD", {kScript, kArm, kArmLod1}},
      {"meshes of level 1 beyond the strip file",
       [](tb::BuiltModel& b) { PutStripI32(b, tb::StripLodAt(b, 0, 0, 1) + tb::kStripLodMeshOffset, 1 << 30); },
       "mesh file \"lod1_arm_box.smd\" (body part 0, sub-model 0, LOD 1", {kArmLod1}},
      {"strip groups before the strip file",
       [](tb::BuiltModel& b) { PutStripI32(b, tb::StripMeshAt(b, 0, 0, 0, 0) + tb::kStripMeshGroupOffset, -(1 << 20)); },
       "mesh file \"arm_box.smd\" (body part 0, sub-model 0, LOD 0, mesh 0)", {kArm}},
      {"strip count far beyond the strip file",
       [](tb::BuiltModel& b) {
         PutStripI32(b, tb::StripGroupAt(b, 0, 0, 0, 0, 0) + tb::kStripGroupStripCount, INT32_MAX);
       },
       "strip group 0", {kArm}},
      {"strip index range before the strip file",
       [](tb::BuiltModel& b) {
         PutStripI32(b, tb::StripAt(b, 0, 0, 0, 0, 0, 0) + tb::kStripFirstIndex, -(1 << 30));
       },
       "strip index entry", {kArm}},
      {"strip index count far beyond the strip file",
       [](tb::BuiltModel& b) {
         PutStripI32(b, tb::StripAt(b, 0, 0, 1, 0, 0, 0) + tb::kStripIndexCount, INT32_MAX);
       },
       "strip index entry", {kArmLod1}},
      {"index entry selecting a strip vertex beyond the strip file",
       [](tb::BuiltModel& b) {
         tb::PutU16(b.strip.bytes, tb::At(b.strip, tb::StripGroupKey(1, 0, 0, 0, 0) + ".indices") + 4, 65535);
       },
       "strip vertex", {kPlate}},
      {"strip vertex selecting a model vertex beyond the file",
       [](tb::BuiltModel& b) {
         tb::PutI16(b.strip.bytes,
                    tb::At(b.strip, tb::StripGroupKey(1, 0, 0, 0, 0) + ".vertices") + tb::kStripVertexMeshVertexIndex,
                    32767);
       },
       "vertex", {kPlate}},
      {"strip vertex selecting a negative model vertex",
       [](tb::BuiltModel& b) {
         tb::PutI16(b.strip.bytes,
                    tb::At(b.strip, tb::StripGroupKey(1, 0, 0, 0, 0) + ".vertices") + tb::kStripVertexMeshVertexIndex,
                    -32768);
       },
       "vertex", {kPlate}},
  };
}

class DamagedReference : public ::testing::TestWithParam<int32_t> {};

TEST_P(DamagedReference, AbandonsOnlyTheItemsThatUseIt) {
  const int32_t version = GetParam();
  const tb::BuiltModel intactModel = tb::BuildModel(SampleModel(version));
  const HostileRun intact = RunOnBuilt(intactModel);
  ASSERT_EQ(intact.status, 1) << intact.console;
  const std::set<std::string> intactNames = OutputNames(intact);
  ASSERT_EQ(intactNames, Join(Join(kMeshFiles, kAnimationFiles), {kScript}));

  for (const DamageCase& c : Cases()) {
    tb::BuiltModel built = intactModel;
    c.damage(built);
    const HostileRun run = RunOnBuilt(built);
    const std::string what = std::string(c.what) + " (version " + std::to_string(version) + ")";
    std::set<std::string> expected;
    for (const std::string& name : intactNames) {
      if (!c.missing.count(name)) expected.insert(name);
    }
    EXPECT_EQ(OutputNames(run), expected) << what << "\n" << run.console;
    HostileRun compared = run;
    for (const std::string& name : c.changed) compared.outputs.erase(name);
    ExpectHandledDamage(compared, intact, c.item, what);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryFamily, DamagedReference, ::testing::Values(28, 31, 36, 37),
                         [](const ::testing::TestParamInfo<int32_t>& info) {
                           return "Version" + std::to_string(info.param);
                         });

}  // namespace
