// The test builder's own promises: placement options really produce negative
// offsets, odd addresses and garbage; count overrides and stream quirks are
// written as asked; the shortcuts describe what they claim. The readers serve
// as the independent check wherever they can.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include <unistd.h>

#include "tests/formats/single_record_readers.h"
#include "formats/layout.h"
#include "formats/model_records.h"
#include "formats/strip_records.h"
#include "builder/format_tables.h"
#include "builder/image_assembler.h"
#include "builder/model_builder.h"

namespace {

struct Views {
  ModelFile model;
  StripFile strip;
  ModelHeader header;
};

Views ViewsOf(const tb::BuiltModel& built, int32_t version) {
  Views v;
  v.model.bytes = {built.model.bytes.data(), static_cast<int64_t>(built.model.bytes.size()), "test.mdl"};
  v.model.layout = LayoutForVersion(version);
  v.strip.bytes = {built.strip.bytes.data(), static_cast<int64_t>(built.strip.bytes.size()), "test.dx80.vtx"};
  v.header = ReadModelHeader(v.model);
  return v;
}

tb::ModelDescription AnimatedBox(int32_t version) {
  tb::ModelDescription m = tb::BoxModel(version);
  m.animations[0].bones = {
      tb::CodedBoneAnim({tb::ConstantStream(1, 2), tb::AxisStream{}, tb::AxisStream{}},
                        {tb::AxisStream{}, tb::ConstantStream(2, 2), tb::AxisStream{}})};
  return m;
}

// Every record-relative offset of the model and strip file, read through the readers.
std::vector<std::pair<const char*, std::function<int32_t(const Views&)>>> RelativeOffsets() {
  auto subModel = [](const Views& v) { return ReadSubModel(v.model, ReadBodyPart(v.model, v.header, 0), 0); };
  auto lod = [](const Views& v) {
    return ReadStripLod(v.strip, ReadStripModel(v.strip, ReadStripBodyPart(v.strip, 0), 0), 0);
  };
  auto group = [lod](const Views& v) { return ReadStripGroup(v.strip, ReadStripMesh(v.strip, lod(v), 0), 0); };
  return {
      {"bone name", [](const Views& v) { return ReadBone(v.model, v.header, 0).nameOffset; }},
      {"per-bone records", [](const Views& v) { return ReadAnimDesc(v.model, v.header, 0).boneAnimOffset; }},
      {"position stream",
       [](const Views& v) { return ReadBoneAnim(v.model, ReadAnimDesc(v.model, v.header, 0), 0).positionStreams[0]; }},
      {"sequence label", [](const Views& v) { return ReadSequence(v.model, v.header, 0).labelOffset; }},
      {"texture name", [](const Views& v) { return ReadTexture(v.model, v.header, 0).nameOffset; }},
      {"sub-models", [](const Views& v) { return ReadBodyPart(v.model, v.header, 0).modelOffset; }},
      {"meshes", [subModel](const Views& v) { return subModel(v).meshOffset; }},
      {"vertices", [subModel](const Views& v) { return subModel(v).vertexOffset; }},
      {"strip models", [](const Views& v) { return ReadStripBodyPart(v.strip, 0).modelOffset; }},
      {"strip lods",
       [](const Views& v) { return ReadStripModel(v.strip, ReadStripBodyPart(v.strip, 0), 0).lodOffset; }},
      {"strip meshes", [lod](const Views& v) { return lod(v).meshOffset; }},
      {"strip groups", [lod](const Views& v) { return ReadStripMesh(v.strip, lod(v), 0).groupOffset; }},
      {"strip vertices", [group](const Views& v) { return group(v).vertexOffset; }},
      {"strip indices", [group](const Views& v) { return group(v).indexOffset; }},
      {"strips", [group](const Views& v) { return group(v).stripOffset; }},
  };
}

TEST(ModelBuilderPlacement, BeforeBaseMakesEveryRecordRelativeOffsetNegative) {
  tb::BuildOptions before;
  before.beforeBase = {"*"};
  tb::BuiltModel plain = tb::BuildModel(AnimatedBox(37));
  tb::BuiltModel moved = tb::BuildModel(AnimatedBox(37), before);
  Views p = ViewsOf(plain, 37), m = ViewsOf(moved, 37);
  for (const auto& [what, offset] : RelativeOffsets()) {
    EXPECT_GT(offset(p), 0) << what;
    EXPECT_LT(offset(m), 0) << what;
  }
  // Tables reached from the file start can not lie before it.
  EXPECT_GT(m.header.boneOffset, 0);
  EXPECT_GT(m.header.bodyPartOffset, 0);
}

TEST(ModelBuilderPlacement, BeforeBaseFollowsThePattern) {
  tb::BuildOptions options;
  options.beforeBase = {"strip.*.lods"};
  tb::BuiltModel built = tb::BuildModel(AnimatedBox(37), options);
  Views v = ViewsOf(built, 37);
  for (const auto& [what, offset] : RelativeOffsets()) {
    if (std::string(what) == "strip lods")
      EXPECT_LT(offset(v), 0) << what;
    else
      EXPECT_GT(offset(v), 0) << what;
  }
}

TEST(ModelBuilderPlacement, OddBlocksStartAtOddAddresses) {
  tb::BuildOptions odd;
  odd.oddBlocks = {"*"};
  for (int32_t version : {37, 29}) {
    tb::BuiltModel built = tb::BuildModel(AnimatedBox(version), odd);
    std::vector<std::string> modelBlocks = {"bones", "bones.names", "anim0.boneAnims", "anim0.streams",
                                            "sequences", "bodyParts", "bodyPart0.subModels",
                                            tb::SubModelKey(0, 0) + ".meshes", "surfaceProp"};
    modelBlocks.push_back(tb::SubModelKey(0, 0) + (version == 29 ? ".positions" : ".vertices"));
    for (const std::string& name : modelBlocks) EXPECT_EQ(tb::At(built.model, name) % 2, 1u) << name;
    for (const std::string& name :
         {std::string("strip.bodyParts"), tb::StripSubModelKey(0, 0) + ".lods", tb::StripLodKey(0, 0, 0) + ".meshes",
          tb::StripMeshKey(0, 0, 0, 0) + ".groups", tb::StripGroupKey(0, 0, 0, 0, 0) + ".indices"})
      EXPECT_EQ(tb::At(built.strip, name) % 2, 1u) << name;
  }
  // Without the option the model file's tables keep 4-byte alignment.
  tb::BuiltModel plain = tb::BuildModel(AnimatedBox(37));
  for (const char* name : {"bones", "anim0.boneAnims", "bodyPart0.subModels"})
    EXPECT_EQ(tb::At(plain.model, name) % 4, 0u) << name;
}

TEST(ModelBuilderPlacement, GarbageFillsUnreadBytesAndGaps) {
  tb::BuiltModel built = tb::BuildModel(AnimatedBox(37), tb::GarbageEverywhere(5));
  const std::vector<uint8_t>& mdl = built.model.bytes;
  auto allNonZero = [](const std::vector<uint8_t>& bytes, size_t from, size_t to) {
    for (size_t k = from; k < to; ++k)
      if (bytes[k] == 0) return false;
    return true;
  };
  EXPECT_TRUE(allNonZero(mdl, 0, 4));
  EXPECT_TRUE(allNonZero(mdl, 8, 12));
  EXPECT_EQ(mdl[12 + 7], 0);  // "box.mdl" ends at 19, the rest of the room is garbage
  EXPECT_TRUE(allNonZero(mdl, 20, 80));
  EXPECT_TRUE(allNonZero(mdl, 104, 156));
  EXPECT_TRUE(allNonZero(mdl, 188, 204));
  size_t bone = tb::BoneAt(built, 0);
  EXPECT_TRUE(allNonZero(mdl, bone + 8, bone + 32));
  EXPECT_TRUE(allNonZero(mdl, bone + 80, bone + 196));
  EXPECT_TRUE(allNonZero(mdl, tb::At(built.model, "bones") - 8, tb::At(built.model, "bones")));
  EXPECT_TRUE(allNonZero(mdl, mdl.size() - 8, mdl.size()));
  size_t vertex = tb::VertexAt(built, 0, 0, 0);
  EXPECT_TRUE(allNonZero(mdl, vertex, vertex + 16));
  size_t boneAnim = tb::BoneAnimAt(built, 0, 0);
  EXPECT_TRUE(allNonZero(mdl, boneAnim + 28, boneAnim + 32));  // unused when the rotation is coded
  const std::vector<uint8_t>& vtx = built.strip.bytes;
  EXPECT_TRUE(allNonZero(vtx, 0, 32));
  EXPECT_NE(vtx[tb::StripMeshAt(built, 0, 0, 0, 0) + 8], 0);
  EXPECT_NE(vtx[tb::StripGroupAt(built, 0, 0, 0, 0, 0) + 24], 0);
  size_t stripVertex = tb::RecordAt(built.strip, tb::StripGroupKey(0, 0, 0, 0, 0) + ".vertices", 0);
  EXPECT_TRUE(allNonZero(vtx, stripVertex, stripVertex + 12));
  size_t strip = tb::StripAt(built, 0, 0, 0, 0, 0, 0);
  EXPECT_TRUE(allNonZero(vtx, strip + 8, strip + 27));

  // Without garbage the same bytes are zero and there are no gaps.
  tb::BuiltModel clean = tb::BuildModel(AnimatedBox(37));
  EXPECT_EQ(tb::GetI32(clean.model.bytes, 0), 0);
  EXPECT_EQ(tb::At(clean.model, "bones"), 328u);
}

TEST(ModelBuilderLayout, FamilyDecidesHeaderFieldsAndStrides) {
  struct Row {
    int32_t version;
    tb::Family family;
    size_t sequenceCountAt, surfacePropAt, subModelStride, sequenceStride;
  };
  const Row rows[] = {
      {37, tb::Family::Mode37, 204, 324, 120, 188},     {36, tb::Family::Mode31To36, 188, 308, 120, 4284},
      {31, tb::Family::Mode31To36, 188, 308, 120, 4284}, {30, tb::Family::Mode28To30, 188, 308, 116, 4284},
      {28, tb::Family::Mode28To30, 188, 308, 116, 4284}, {38, tb::Family::Mode37, 204, 324, 120, 188},
      {27, tb::Family::Mode37, 204, 324, 120, 188},     {-1, tb::Family::Mode37, 204, 324, 120, 188},
  };
  for (const Row& row : rows) {
    tb::ModelDescription m = tb::BoxModel(row.version);
    m.bodyParts[0].subModels.push_back(tb::BoxSubModel("second"));
    m.sequences.push_back({"again", "", 0});
    tb::BuiltModel built = tb::BuildModel(m);
    EXPECT_EQ(built.family, row.family) << row.version;
    EXPECT_EQ(tb::GetI32(built.model.bytes, 4), row.version);
    EXPECT_EQ(tb::At(built.model, "header.sequenceCount"), row.sequenceCountAt) << row.version;
    EXPECT_EQ(tb::At(built.model, "header.surfacePropOffset"), row.surfacePropAt) << row.version;
    EXPECT_EQ(tb::SubModelAt(built, 0, 1) - tb::SubModelAt(built, 0, 0), row.subModelStride) << row.version;
    EXPECT_EQ(tb::SequenceAt(built, 1) - tb::SequenceAt(built, 0), row.sequenceStride) << row.version;
  }
  // The family can be chosen apart from the version, for refused versions.
  tb::ModelDescription m = tb::BoxModel(99);
  m.family = tb::Family::Mode28To30;
  tb::BuiltModel built = tb::BuildModel(m);
  EXPECT_EQ(built.model.blocks.at("bodyPart0.subModels").recordSize, 116u);
  EXPECT_EQ(built.model.blocks.count(tb::SubModelKey(0, 0) + ".vertices"), 0u);
}

TEST(ModelBuilderContent, CountOverridesDisagreeWithTheArraysWritten) {
  tb::ModelDescription m = tb::BoxModel(33);
  m.counts.bones = -3;
  m.counts.textures = 0;
  m.bodyParts[0].modelCount = 7;
  tb::SubModelDescription& box = m.bodyParts[0].subModels[0];
  box.vertexCount = 0;
  box.meshCount = -1;
  box.lodCount = 2;
  box.lods[0].meshes[0].groupCount = 6;
  box.lods[0].meshes[0].groups[0].stripCount = -2;
  tb::BuiltModel built = tb::BuildModel(m);
  Views v = ViewsOf(built, 33);
  EXPECT_EQ(v.header.boneCount, -3);
  EXPECT_EQ(v.header.textureCount, 0);
  EXPECT_EQ(BoneName(v.model, ReadBone(v.model, v.header, 0)), "root");  // the table is still there
  BodyPartRecord part = ReadBodyPart(v.model, v.header, 0);
  EXPECT_EQ(part.modelCount, 7);
  ModelRecord sub = ReadSubModel(v.model, part, 0);
  EXPECT_EQ(sub.vertexCount, 0);
  EXPECT_EQ(sub.meshCount, -1);
  EXPECT_EQ(ReadVertex(v.model, sub, 23).position.x, m.bodyParts[0].subModels[0].vertices[23].position.x);
  StripModel stripModel = ReadStripModel(v.strip, ReadStripBodyPart(v.strip, 0), 0);
  EXPECT_EQ(stripModel.lodCount, 2);
  StripMesh mesh = ReadStripMesh(v.strip, ReadStripLod(v.strip, stripModel, 0), 0);
  EXPECT_EQ(mesh.groupCount, 6);
  EXPECT_EQ(ReadStripGroup(v.strip, mesh, 0).stripCount, -2);
  // One group of 25 bytes was written, so its arrays follow it directly.
  EXPECT_EQ(built.strip.blocks.at(tb::StripMeshKey(0, 0, 0, 0) + ".groups").size, 25u);
}

TEST(ModelBuilderContent, StreamsAreWrittenAsGiven) {
  tb::ModelDescription m = tb::BoxModel(37);
  tb::BoneAnimDescription anim;
  anim.flags = tb::kPositionCodedFlag | tb::kRotationCodedFlag;
  // storedCount disagreeing with the values, and a run length above 255.
  anim.position[0] = tb::RunsStream({{{-2, 300}, 256, 3}, {{7}, 1, std::nullopt}});
  anim.position[2].sameAs = 0;
  anim.rotation[1].sameAs = 0;
  anim.rotation[2] = tb::ConstantStream(9, 4);
  m.animations[0].bones = {anim};
  tb::BuiltModel built = tb::BuildModel(m);
  Views v = ViewsOf(built, 37);
  BoneAnimRecord record = ReadBoneAnim(v.model, ReadAnimDesc(v.model, v.header, 0), 0);
  ASSERT_NE(record.positionStreams[0], 0);
  EXPECT_EQ(record.positionStreams[1], 0);
  EXPECT_EQ(record.positionStreams[2], record.positionStreams[0]);
  EXPECT_EQ(record.rotationStreams[0], 0);
  EXPECT_EQ(record.rotationStreams[1], record.positionStreams[0]);  // both count from the record start
  EXPECT_EQ(record.at + record.positionStreams[0], static_cast<int64_t>(tb::At(built.model, "anim0.bone0.position0")));
  const std::vector<uint8_t> expected = {3, 0, 0xFE, 0xFF, 0x2C, 0x01, 1, 1, 7, 0};
  size_t at = tb::At(built.model, "anim0.bone0.position0");
  EXPECT_EQ(std::vector<uint8_t>(built.model.bytes.begin() + at, built.model.bytes.begin() + at + expected.size()),
            expected);
  EXPECT_EQ(built.model.blocks.count("anim0.bone0.position2"), 0u);  // shared, not written twice
  EXPECT_EQ(tb::GetI16(built.model.bytes, record.at + record.rotationStreams[2] + 2), 9);
}

TEST(ModelBuilderContent, DescriptionsThatCanNotBeEncodedAreRefused) {
  tb::ModelDescription m = tb::BoxModel(37);
  m.animations[0].bones[0].flags = tb::kPositionCodedFlag;
  m.animations[0].bones[0].position[1].sameAs = 2;  // axis 2 has no stream
  EXPECT_THROW(tb::BuildModel(m), std::invalid_argument);
  m = tb::BoxModel(37);
  m.bodyParts[0].subModels[0].meshes[0].ownerSubModel = 1;
  EXPECT_THROW(tb::BuildModel(m), std::invalid_argument);
}

TEST(ModelBuilderContent, InlineNamesFillTheirRoomWithoutTerminator) {
  tb::ModelDescription m = tb::BoxModel(37);
  m.name = std::string(70, 'n');
  m.bodyParts[0].subModels[0].name = std::string(72, 's');
  m.eyePosition = {1.1f, 1, 1};  // no zero byte at 80
  tb::BuiltModel built = tb::BuildModel(m);
  const std::vector<uint8_t>& b = built.model.bytes;
  EXPECT_EQ(std::string(b.begin() + 12, b.begin() + 80), std::string(68, 'n'));
  EXPECT_NE(b[80], 0);  // the eye position follows directly
  size_t sub = tb::SubModelAt(built, 0, 0);
  EXPECT_EQ(std::string(b.begin() + sub, b.begin() + sub + 72), std::string(72, 's'));
  EXPECT_EQ(tb::GetI32(b, sub + 72), 1);  // meshCount right after the name
}

TEST(ModelBuilderShortcuts, BoxModelHasTwelveFlatTriangles) {
  tb::BuiltModel built = tb::BuildModel(tb::BoxModel(37));
  Views v = ViewsOf(built, 37);
  ModelRecord sub = ReadSubModel(v.model, ReadBodyPart(v.model, v.header, 0), 0);
  StripGroup group = ReadStripGroup(
      v.strip,
      ReadStripMesh(v.strip,
                    ReadStripLod(v.strip, ReadStripModel(v.strip, ReadStripBodyPart(v.strip, 0), 0), 0), 0),
      0);
  Strip strip = ReadStrip(v.strip, group, 0);
  ASSERT_EQ(strip.indexCount, 36);
  for (int t = 0; t < 12; ++t) {
    Vertex corner[3];
    for (int c = 0; c < 3; ++c)
      corner[c] = ReadVertex(v.model, sub, ReadStripVertexIndex(v.strip, group, ReadStripIndex(v.strip, group, 3 * t + c)));
    for (int c = 1; c < 3; ++c) {
      EXPECT_EQ(corner[c].normal.x, corner[0].normal.x) << "triangle " << t;
      EXPECT_EQ(corner[c].normal.y, corner[0].normal.y) << "triangle " << t;
      EXPECT_EQ(corner[c].normal.z, corner[0].normal.z) << "triangle " << t;
    }
    // Every corner lies on the face its normal names.
    for (const Vertex& p : corner)
      EXPECT_EQ(p.position.x * p.normal.x + p.position.y * p.normal.y + p.position.z * p.normal.z, 1.0f);
  }
}

TEST(ModelBuilderShortcuts, StreamsSplitIntoRunsOfAtMost255Frames) {
  std::vector<int16_t> values(300);
  for (int i = 0; i < 300; ++i) values[i] = static_cast<int16_t>(i);
  tb::AxisStream perFrame = tb::PerFrameStream(values);
  ASSERT_EQ(perFrame.runs.size(), 2u);
  EXPECT_EQ(perFrame.runs[0].runLength, 255);
  EXPECT_EQ(perFrame.runs[1].values.front(), 255);
  EXPECT_EQ(perFrame.runs[1].runLength, 45);
  tb::AxisStream constant = tb::ConstantStream(5, 600);
  ASSERT_EQ(constant.runs.size(), 3u);
  EXPECT_EQ(constant.runs[2].runLength, 90);
  EXPECT_EQ(constant.runs[2].values, std::vector<int16_t>{5});
}

TEST(ModelBuilderPatching, StoresAndLookupsRefuseToLeaveTheImage) {
  tb::BuiltModel built = tb::BuildModel(tb::BoxModel(37));
  std::vector<uint8_t>& b = built.model.bytes;
  tb::PutI32(b, tb::At(built.model, "header.boneOffset"), -196);
  EXPECT_EQ(tb::GetI32(b, 160), -196);
  EXPECT_THROW(tb::PutI32(b, b.size() - 3, 1), std::out_of_range);
  EXPECT_THROW(tb::PutU8(b, b.size(), 1), std::out_of_range);
  EXPECT_THROW(tb::At(built.model, "no.such.block"), std::out_of_range);
  EXPECT_THROW(tb::StripLodAt(built, 0, 1, 0), std::out_of_range);
}

TEST(ModelBuilderPatching, PatternsMatchWholeNames) {
  struct Row {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Row rows[] = {{"*", "bones", true},          {"bones", "bones.names", false}, {"*.names", "bones.names", true},
                      {"strip.*", "strip.header", true}, {"strip.*", "bones", false},   {"a*b*c", "aXbYbc", true},
                      {"a*b*c", "aXbYc", true},          {"a*b*c", "aXcYb", false},     {"", "", true}};
  for (const Row& row : rows) EXPECT_EQ(tb::MatchesPattern(row.pattern, row.name), row.match) << row.pattern;
}

TEST(ModelBuilderFiles, WritesBothImagesUnderTheBaseName) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("tamberlo_builder_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  tb::BuiltModel built = tb::BuildModel(tb::BoxModel(29));
  std::string base = tb::WriteModelFiles(built, dir.string(), "box");
  EXPECT_EQ(base, (dir / "box").string());
  auto slurp = [](const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(slurp(dir / "box.mdl"), built.model.bytes);
  EXPECT_EQ(slurp(dir / "box.dx80.vtx"), built.strip.bytes);
  EXPECT_THROW(tb::WriteModelFiles(built, (dir / "missing").string(), "box"), std::runtime_error);
  fs::remove_all(dir);
}

}  // namespace
