// Reads built images of every family back through the record readers and
// compares every field with the description it was built from. The builder
// writes its offsets from its own format tables, so a field that the readers
// (or the builder) place wrongly shows up here. Each family is built plainly
// and in hostile placements: garbage in every unread byte, every block before
// its base (negative offsets), every block at an odd address.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/formats/single_record_readers.h"
#include "formats/layout.h"
#include "formats/model_records.h"
#include "formats/strip_records.h"
#include "builder/model_builder.h"

namespace {

using tb::Vec3;

void ExpectVec(const Vector3& got, const Vec3& want, const std::string& what) {
  EXPECT_EQ(got.x, want.x) << what;
  EXPECT_EQ(got.y, want.y) << what;
  EXPECT_EQ(got.z, want.z) << what;
}

int32_t CountOr(const std::optional<int32_t>& override, size_t size) {
  return override ? *override : static_cast<int32_t>(size);
}

// A model that uses every record kind, with values that differ per field.
tb::ModelDescription RichModel(int32_t version) {
  tb::ModelDescription m;
  m.version = version;
  m.name = "rich/test.mdl";
  m.eyePosition = {1, 2, 3};
  m.illumPosition = {-4, 5.5f, 6};
  m.bones = tb::BoneChain(3);
  m.bones[1].angles = {0.1f, -0.2f, 0.3f};
  m.bones[1].positionScale = {0.5f, 0.25f, 0.125f};
  m.bones[1].angleScale = {0.001f, 0.002f, 0.003f};
  m.bones[2].parent = 7;  // stored as is, never interpreted
  m.bones[2].position = {-1.5f, 2.5f, 1e-3f};

  m.hitboxSets = {{"default", {{0, 1, {-1, -2, -3}, {1, 2, 3}}, {2, 9, {0, 0, 0}, {4, 5, 6}}}, std::nullopt},
                  {"empty", {}, std::nullopt}};

  tb::AnimationDescription walk;
  walk.name = "walk";
  walk.fps = 24;
  walk.frameCount = 5;
  tb::BoneAnimDescription root = tb::CodedBoneAnim(
      {tb::PerFrameStream({1, 2, 3, 4, 5}), tb::AxisStream{}, tb::ConstantStream(-7, 5)},
      {tb::RunsStream({{{10, 20}, 4, std::nullopt}, {{30}, 1, std::nullopt}}), tb::AxisStream{{}, 0},
       tb::AxisStream{}});
  tb::BoneAnimDescription positionOnly = root;
  positionOnly.flags = tb::kPositionCodedFlag;
  positionOnly.rawQuaternion = {0.5f, 0.5f, 0.5f, 0.5f};
  walk.bones = {root, positionOnly, tb::RawBoneAnim({1, -2, 3}, {0, 0, 1, 0})};
  tb::AnimationDescription still;  // no per-bone entries: raw records for every bone
  still.name = "still";
  still.fps = 10;
  still.frameCount = 1;
  m.animations = {walk, still};

  m.sequences = {{"walk", "ACT_WALK", 2}, {"still", "ACT_IGNORED", 0}};
  m.textures = {"skin0", "skin1", "dir/skin2"};
  m.materialFolders = {"models/a/", "models/b/"};

  tb::SubModelDescription headA;
  headA.name = "head_a";
  for (int i = 0; i < 3; ++i)
    headA.vertices.push_back({static_cast<int16_t>(i - 1), {float(i), 0.5f, -float(i)}, {0, 0, 1}, 0.25f * i, 0.75f});
  headA.meshes = {{2, 0, -1, -1}, {0, 4, 0, 0}};  // mesh 1 takes its vertices from body part 0's box
  tb::LodDescription near = tb::TriangleLod(0, {0, 1, 2});
  tb::StripGroupDescription twoStrips = tb::TriangleGroup({2, 1, 0, 0, 1, 2, 1});
  twoStrips.vertices = {0, -1, 300};
  twoStrips.strips = {{3, 0}, {4, 3}, {-1, 2}};
  near.meshes.push_back({{tb::TriangleGroup({0, 1, 2}), twoStrips}, std::nullopt});
  tb::LodDescription far = near;
  far.switchDistance = 12.5f;
  far.meshes[0].groupCount = 6;  // disagrees with the one group written
  headA.lods = {near, far};
  tb::SubModelDescription blank;
  blank.name = "head_blank";
  blank.lodCount = -1;

  m.bodyParts = {{"body", {tb::BoxSubModel("box.smd", 1, 2)}, std::nullopt},
                 {"head", {headA, blank}, std::nullopt}};
  tb::AttachmentDescription hand;
  hand.name = "hand";
  hand.bone = 1;
  hand.matrix = {{{0, -1, 0, 10}, {1, 0, 0, 20}, {0, 0, 1, 30}}};
  m.attachments = {hand};
  m.poseParams = {{"aim", 1, -180, 180, 360}, {"blend", 2, 0, 1, 0}};
  m.surfaceProp = "flesh";
  return m;
}

struct Placement {
  const char* name;
  tb::BuildOptions options;
};

tb::BuildOptions Hostile() {
  tb::BuildOptions o = tb::GarbageEverywhere(7);
  o.beforeBase = {"*"};
  o.oddBlocks = {"*"};
  return o;
}

std::vector<Placement> Placements() {
  tb::BuildOptions garbage = tb::GarbageEverywhere(3);
  tb::BuildOptions before;
  before.beforeBase = {"*"};
  tb::BuildOptions odd;
  odd.oddBlocks = {"*"};
  return {{"plain", {}}, {"garbage", garbage}, {"before", before}, {"odd", odd}, {"all", Hostile()}};
}

struct Case {
  int32_t version;
  Placement placement;
};

void PrintTo(const Case& c, std::ostream* os) { *os << "version " << c.version << ", " << c.placement.name; }

std::vector<Case> Cases() {
  std::vector<Case> cases;
  for (int32_t version : {37, 36, 31, 30, 28})
    for (const Placement& p : Placements()) cases.push_back({version, p});
  return cases;
}

class BuiltImageReading : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    desc_ = RichModel(GetParam().version);
    built_ = tb::BuildModel(desc_, GetParam().placement.options);
    model_.bytes = {built_.model.bytes.data(), static_cast<int64_t>(built_.model.bytes.size()), "test.mdl"};
    model_.layout = LayoutForVersion(desc_.version);
    ASSERT_NE(model_.layout, nullptr);
    strip_.bytes = {built_.strip.bytes.data(), static_cast<int64_t>(built_.strip.bytes.size()), "test.dx80.vtx"};
    header_ = ReadModelHeader(model_);
  }

  // Checks one axis of a per-bone record: offset 0, a shared stream, or the
  // encoded runs at the offset.
  void ExpectAxis(const BoneAnimRecord& record, int32_t offset, const tb::BoneAnimDescription& desc, int axis,
                  const std::string& what) {
    const tb::AxisStream& stream = axis < 3 ? desc.position[axis] : desc.rotation[axis - 3];
    if (stream.sameAs >= 0) {
      const int32_t shared =
          stream.sameAs < 3 ? record.positionStreams[stream.sameAs] : record.rotationStreams[stream.sameAs - 3];
      EXPECT_EQ(offset, shared) << what << " shares its stream";
      return;
    }
    if (stream.runs.empty()) {
      EXPECT_EQ(offset, 0) << what;
      return;
    }
    ASSERT_NE(offset, 0) << what;
    int64_t at = record.at + offset;
    for (const tb::AnimRun& run : stream.runs) {
      EXPECT_EQ(ReadU8(model_.bytes, at, "stored"), run.values.size()) << what;
      EXPECT_EQ(ReadU8(model_.bytes, at + 1, "length"), run.runLength) << what;
      for (size_t i = 0; i < run.values.size(); ++i)
        EXPECT_EQ(ReadI16(model_.bytes, at + 2 + 2 * i, "value"), run.values[i]) << what << " value " << i;
      at += 2 + 2 * static_cast<int64_t>(run.values.size());
    }
  }

  tb::ModelDescription desc_;
  tb::BuiltModel built_;
  ModelFile model_;
  StripFile strip_;
  ModelHeader header_;
};

TEST_P(BuiltImageReading, HeaderAndDescriptiveRecords) {
  EXPECT_EQ(ReadModelVersion(model_.bytes), desc_.version);
  EXPECT_EQ(header_.version, desc_.version);
  EXPECT_EQ(ModelName(model_), desc_.name);
  ExpectVec(header_.eyePosition, desc_.eyePosition, "eye");
  ExpectVec(header_.illumPosition, desc_.illumPosition, "illum");
  EXPECT_EQ(SurfacePropName(model_, header_), desc_.surfaceProp);

  ASSERT_EQ(header_.textureCount, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(TextureName(model_, header_, i), desc_.textures[i]);
  ASSERT_EQ(header_.materialFolderCount, 2);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(MaterialFolderName(model_, header_, i), desc_.materialFolders[i]);

  ASSERT_EQ(header_.poseParamCount, 2);
  for (int i = 0; i < 2; ++i) {
    PoseParamRecord p = ReadPoseParam(model_, header_, i);
    const tb::PoseParamDescription& want = desc_.poseParams[i];
    EXPECT_EQ(NameAt(model_, p.at, p.nameOffset, "pose"), want.name);
    EXPECT_EQ(p.flags, want.flags);
    EXPECT_EQ(p.start, want.start);
    EXPECT_EQ(p.end, want.end);
    EXPECT_EQ(p.loop, want.loop);
  }

  ASSERT_EQ(header_.hitboxSetCount, 2);
  for (int s = 0; s < 2; ++s) {
    HitboxSetRecord set = ReadHitboxSet(model_, header_, s);
    const tb::HitboxSetDescription& want = desc_.hitboxSets[s];
    EXPECT_EQ(NameAt(model_, set.at, set.nameOffset, "set"), want.name);
    ASSERT_EQ(set.hitboxCount, static_cast<int32_t>(want.hitboxes.size()));
    for (int b = 0; b < set.hitboxCount; ++b) {
      HitboxRecord box = ReadHitbox(model_, set, b);
      EXPECT_EQ(box.bone, want.hitboxes[b].bone);
      EXPECT_EQ(box.group, want.hitboxes[b].group);
      ExpectVec(box.boxMin, want.hitboxes[b].boxMin, "min");
      ExpectVec(box.boxMax, want.hitboxes[b].boxMax, "max");
    }
  }

  ASSERT_EQ(header_.attachmentCount, 1);
  AttachmentRecord a = ReadAttachment(model_, header_, 0);
  EXPECT_EQ(NameAt(model_, a.at, a.nameOffset, "attachment"), "hand");
  EXPECT_EQ(a.bone, 1);
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 4; ++col) EXPECT_EQ(a.matrix.m[row][col], desc_.attachments[0].matrix[row][col]);

  ASSERT_EQ(header_.sequenceCount, 2);
  for (int i = 0; i < 2; ++i) {
    SequenceRecord s = ReadSequence(model_, header_, i);
    EXPECT_EQ(NameAt(model_, s.at, s.labelOffset, "label"), desc_.sequences[i].label);
    EXPECT_EQ(NameAt(model_, s.at, s.activityOffset, "activity"), desc_.sequences[i].activity);
    EXPECT_EQ(s.activityWeight, desc_.sequences[i].activityWeight);
  }
}

TEST_P(BuiltImageReading, BonesAndAnimations) {
  ASSERT_EQ(header_.boneCount, 3);
  for (int i = 0; i < 3; ++i) {
    BoneRecord bone = ReadBone(model_, header_, i);
    const tb::BoneDescription& want = desc_.bones[i];
    EXPECT_EQ(BoneName(model_, bone), want.name);
    EXPECT_EQ(bone.parentIndex, want.parent);
    ExpectVec(bone.referencePosition, want.position, "position");
    ExpectVec(bone.referenceAngles, want.angles, "angles");
    ExpectVec(bone.positionScale, want.positionScale, "position scale");
    ExpectVec(bone.angleScale, want.angleScale, "angle scale");
  }

  ASSERT_EQ(header_.animDescCount, 2);
  for (int a = 0; a < 2; ++a) {
    AnimDescRecord anim = ReadAnimDesc(model_, header_, a);
    const tb::AnimationDescription& want = desc_.animations[a];
    EXPECT_EQ(NameAt(model_, anim.at, anim.nameOffset, "animation"), want.name);
    EXPECT_EQ(anim.fps, want.fps);
    EXPECT_EQ(anim.frameCount, want.frameCount);
    for (int b = 0; b < 3; ++b) {
      const tb::BoneAnimDescription wantBone = b < static_cast<int>(want.bones.size()) ? want.bones[b]
                                                                                      : tb::BoneAnimDescription{};
      BoneAnimRecord record = ReadBoneAnim(model_, anim, b);
      std::string what = want.name + " bone " + std::to_string(b);
      EXPECT_EQ(record.animFlags, wantBone.flags) << what;
      if (wantBone.flags & tb::kPositionCodedFlag) {
        for (int j = 0; j < 3; ++j)
          ExpectAxis(record, record.positionStreams[j], wantBone, j, what + " position " + std::to_string(j));
      } else {
        ExpectVec(record.rawPosition, wantBone.rawPosition, what);
      }
      if (wantBone.flags & tb::kRotationCodedFlag) {
        for (int j = 0; j < 3; ++j)
          ExpectAxis(record, record.rotationStreams[j], wantBone, 3 + j, what + " rotation " + std::to_string(j));
      } else {
        EXPECT_EQ(record.rawQuaternion.x, wantBone.rawQuaternion.x) << what;
        EXPECT_EQ(record.rawQuaternion.y, wantBone.rawQuaternion.y) << what;
        EXPECT_EQ(record.rawQuaternion.z, wantBone.rawQuaternion.z) << what;
        EXPECT_EQ(record.rawQuaternion.w, wantBone.rawQuaternion.w) << what;
      }
    }
  }
}

TEST_P(BuiltImageReading, Geometry) {
  const bool split = built_.family == tb::Family::Mode28To30;
  ASSERT_EQ(header_.bodyPartCount, 2);
  for (int i = 0; i < 2; ++i) {
    BodyPartRecord part = ReadBodyPart(model_, header_, i);
    const tb::BodyPartDescription& wantPart = desc_.bodyParts[i];
    EXPECT_EQ(NameAt(model_, part.at, part.nameOffset, "body part"), wantPart.name);
    ASSERT_EQ(part.modelCount, static_cast<int32_t>(wantPart.subModels.size()));
    for (int j = 0; j < part.modelCount; ++j) {
      ModelRecord sub = ReadSubModel(model_, part, j);
      const tb::SubModelDescription& want = wantPart.subModels[j];
      EXPECT_EQ(sub.at, static_cast<int64_t>(tb::SubModelAt(built_, i, j)));
      EXPECT_EQ(SubModelName(model_, sub), want.name);
      ASSERT_EQ(sub.meshCount, static_cast<int32_t>(want.meshes.size()));
      ASSERT_EQ(sub.vertexCount, static_cast<int32_t>(want.vertices.size()));
      for (int m = 0; m < sub.meshCount; ++m) {
        MeshRecord mesh = ReadMesh(model_, sub, m);
        const tb::MeshDescription& wantMesh = want.meshes[m];
        EXPECT_EQ(mesh.material, wantMesh.material);
        EXPECT_EQ(mesh.vertexBase, wantMesh.vertexBase);
        int ownerPart = wantMesh.ownerBodyPart < 0 ? i : wantMesh.ownerBodyPart;
        int ownerSub = wantMesh.ownerSubModel < 0 ? j : wantMesh.ownerSubModel;
        EXPECT_EQ(mesh.at + mesh.modelOffset, static_cast<int64_t>(tb::SubModelAt(built_, ownerPart, ownerSub)));
      }
      for (int n = 0; n < sub.vertexCount; ++n) {
        Vertex v = ReadVertex(model_, sub, n);
        const tb::VertexDescription& wantVertex = want.vertices[n];
        std::string what = want.name + " vertex " + std::to_string(n);
        EXPECT_EQ(v.bone, split ? 0 : wantVertex.bone) << what;
        ExpectVec(v.position, wantVertex.position, what);
        ExpectVec(v.normal, wantVertex.normal, what);
        EXPECT_EQ(v.u, wantVertex.u) << what;
        EXPECT_EQ(v.v, wantVertex.v) << what;
      }
    }
  }
}

TEST_P(BuiltImageReading, StripFile) {
  for (int i = 0; i < 2; ++i) {
    StripBodyPart part = ReadStripBodyPart(strip_, i);
    const tb::BodyPartDescription& wantPart = desc_.bodyParts[i];
    for (int j = 0; j < static_cast<int>(wantPart.subModels.size()); ++j) {
      StripModel sub = ReadStripModel(strip_, part, j);
      const tb::SubModelDescription& want = wantPart.subModels[j];
      EXPECT_EQ(sub.lodCount, CountOr(want.lodCount, want.lods.size()));
      for (int k = 0; k < static_cast<int>(want.lods.size()); ++k) {
        StripLod lod = ReadStripLod(strip_, sub, k);
        EXPECT_EQ(lod.at, static_cast<int64_t>(tb::StripLodAt(built_, i, j, k)));
        EXPECT_EQ(lod.switchDistance, want.lods[k].switchDistance);
        for (int m = 0; m < static_cast<int>(want.lods[k].meshes.size()); ++m) {
          StripMesh mesh = ReadStripMesh(strip_, lod, m);
          const tb::StripMeshDescription& wantMesh = want.lods[k].meshes[m];
          EXPECT_EQ(mesh.groupCount, CountOr(wantMesh.groupCount, wantMesh.groups.size()));
          for (int g = 0; g < static_cast<int>(wantMesh.groups.size()); ++g) {
            StripGroup group = ReadStripGroup(strip_, mesh, g);
            const tb::StripGroupDescription& wantGroup = wantMesh.groups[g];
            std::string what = tb::StripGroupKey(i, j, k, m, g);
            EXPECT_EQ(group.at, static_cast<int64_t>(tb::StripGroupAt(built_, i, j, k, m, g))) << what;
            ASSERT_EQ(group.stripCount, static_cast<int32_t>(wantGroup.strips.size())) << what;
            for (int s = 0; s < group.stripCount; ++s) {
              Strip strip = ReadStrip(strip_, group, s);
              EXPECT_EQ(strip.indexCount, wantGroup.strips[s].indexCount) << what;
              EXPECT_EQ(strip.firstIndex, wantGroup.strips[s].firstIndex) << what;
            }
            for (size_t t = 0; t < wantGroup.indices.size(); ++t)
              EXPECT_EQ(ReadStripIndex(strip_, group, t), wantGroup.indices[t]) << what;
            for (size_t v = 0; v < wantGroup.vertices.size(); ++v)
              EXPECT_EQ(ReadStripVertexIndex(strip_, group, v), wantGroup.vertices[v]) << what;
          }
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(FamiliesAndPlacements, BuiltImageReading, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return "v" + std::to_string(info.param.version) + "_" + info.param.placement.name;
                         });

}  // namespace
