// Whole mesh files: names, levels of detail, messages, the three families, and
// what damaged input leaves behind.
#include <algorithm>
#include <climits>
#include <filesystem>
#include <functional>

#include "smd/mesh_export.h"
#include "builder/format_tables.h"
#include "tests/smd/mesh_test_support.h"

namespace {

using Lines = std::vector<std::string>;

class ExportTest : public MeshTest {
 protected:
  void Export(const LoadedModel& loaded) { EXPECT_EQ(ExportMeshes(Conv(loaded)), 1); }
};

// ---- a whole file, written out by hand --------------------------------------

tb::ModelDescription HandModel(int32_t version) {
  tb::ModelDescription model;
  model.version = version;
  model.bones = {{"root", -1, {0, 0, 1.5f}, {0, 0, -1.5f}}, {"child", 0, {2, 0, 0}, {0.25f, 0, 0}}};
  model.textures = {"skin", "t1", "t2", "metal"};
  tb::SubModelDescription shape;
  shape.name = "shape.mdl";
  shape.vertices = {
      {0, {1, 2, 3}, {0, 0, 1}, 0, 0},
      {1, {-1, 0.5f, 0}, {0, -1, 0}, 1, 0.25f},
      {-1, {0, 0, -2.5f}, {1, 0, 0}, 0.5f, 1},
      {1, {4, 4, 4}, {0.6f, 0.8f, 0}, 0.75f, -0.5f},
  };
  shape.meshes = {{3, 0}, {0, 2}};  // {material, vertexBase}
  // Mesh 1 starts at vertex 2; its strip vertices reach vertices 2, 3 and 0.
  tb::StripGroupDescription second{{0, 1, -2}, {0, 1, 2, 2, 1, 0, 1}, {{7, 0}}, std::nullopt};
  shape.lods = {tb::LodDescription{
      0, {tb::StripMeshDescription{{tb::TriangleGroup({0, 1, 2})}, std::nullopt},
          tb::StripMeshDescription{{second}, std::nullopt}}}};
  model.bodyParts = {{"torso", {shape}, std::nullopt}};
  return model;
}

constexpr const char* kHandSkeleton =
    "version 1\n"
    "nodes\n"
    "  0 \"root\" -1\n"
    "  1 \"child\" 0\n"
    "end\n"
    "skeleton\n"
    "time 0\n"
    "  0 0.000000 0.000000 1.500000 0.000000 0.000000 -1.500000\n"
    "  1 2.000000 0.000000 0.000000 0.250000 0.000000 0.000000\n"
    "end\n";

// Interleaved families: each vertex's own bone, corners 0, 2, 1.
constexpr const char* kHandTrianglesInterleaved =
    "triangles\n"
    "metal.bmp\n"
    "0 1.000000 2.000000 3.000000 0.000000 0.000000 1.000000 0.000000 0.000000\n"
    "-1 0.000000 0.000000 -2.500000 1.000000 0.000000 0.000000 0.500000 -1.000000\n"
    "1 -1.000000 0.500000 0.000000 0.000000 -1.000000 0.000000 1.000000 -0.250000\n"
    "skin.bmp\n"
    "-1 0.000000 0.000000 -2.500000 1.000000 0.000000 0.000000 0.500000 -1.000000\n"
    "0 1.000000 2.000000 3.000000 0.000000 0.000000 1.000000 0.000000 0.000000\n"
    "1 4.000000 4.000000 4.000000 0.600000 0.800000 0.000000 0.750000 0.500000\n"
    "skin.bmp\n"
    "0 1.000000 2.000000 3.000000 0.000000 0.000000 1.000000 0.000000 0.000000\n"
    "-1 0.000000 0.000000 -2.500000 1.000000 0.000000 0.000000 0.500000 -1.000000\n"
    "1 4.000000 4.000000 4.000000 0.600000 0.800000 0.000000 0.750000 0.500000\n"
    "end\n";

// Split arrays: bone 0 everywhere, corners 0, 1, 2.
constexpr const char* kHandTrianglesSplit =
    "triangles\n"
    "metal.bmp\n"
    "0 1.000000 2.000000 3.000000 0.000000 0.000000 1.000000 0.000000 0.000000\n"
    "0 -1.000000 0.500000 0.000000 0.000000 -1.000000 0.000000 1.000000 -0.250000\n"
    "0 0.000000 0.000000 -2.500000 1.000000 0.000000 0.000000 0.500000 -1.000000\n"
    "skin.bmp\n"
    "0 0.000000 0.000000 -2.500000 1.000000 0.000000 0.000000 0.500000 -1.000000\n"
    "0 4.000000 4.000000 4.000000 0.600000 0.800000 0.000000 0.750000 0.500000\n"
    "0 1.000000 2.000000 3.000000 0.000000 0.000000 1.000000 0.000000 0.000000\n"
    "skin.bmp\n"
    "0 1.000000 2.000000 3.000000 0.000000 0.000000 1.000000 0.000000 0.000000\n"
    "0 4.000000 4.000000 4.000000 0.600000 0.800000 0.000000 0.750000 0.500000\n"
    "0 0.000000 0.000000 -2.500000 1.000000 0.000000 0.000000 0.500000 -1.000000\n"
    "end\n";

TEST_F(ExportTest, WholeFileOfEachFamilyMatchesTheHandWrittenText) {
  tb::BuildOptions plain;
  // Unread bytes full of garbage, packed strip records at odd addresses and
  // blocks before the records that point at them (negative offsets).
  tb::BuildOptions hostile = tb::GarbageEverywhere(7);
  hostile.oddBlocks = {"strip.*"};
  hostile.beforeBase = {"*"};
  for (int32_t version : {37, 36, 31, 30, 28}) {
    for (const tb::BuildOptions* options : {&plain, &hostile}) {
      std::filesystem::remove(scratch_ / "shape.smd");
      std::filesystem::remove(scratch_ / "streams.log");
      LoadedModel loaded(tb::BuildModel(HandModel(version), *options));
      Export(loaded);
      std::string expected =
          std::string(kHandSkeleton) + (version <= 30 ? kHandTrianglesSplit : kHandTrianglesInterleaved);
      EXPECT_EQ(Text("shape.smd"), expected) << "version " << version;
      EXPECT_EQ(LogLines(),
                (Lines{"Extracted body: torso\n", "Extracted model: shape.mdl\n", "Extracted lod: 0, distance: 0\n"}));
      EXPECT_EQ(Files(), Lines{"shape.smd"});
    }
  }
  EXPECT_FALSE(HadErrors());
}

// ---- names, levels and messages ----------------------------------------------

TEST_F(ExportTest, EachLevelOfDetailGetsItsOwnFileAndMessage) {
  tb::SubModelDescription body = SubModelWith("body", 4, {{0, 1, 2}, {1, 2, 3}, {2, 3, 0}});
  body.lods[0].switchDistance = 0.0f;
  body.lods[1].switchDistance = 12.5f;
  body.lods[2].switchDistance = 0.4f;
  LoadedModel loaded(tb::BuildModel(ModelWith(37, {body})));
  Export(loaded);

  EXPECT_EQ(LogLines(), (Lines{"Extracted body: body\n", "Extracted model: body\n", "Extracted lod: 0, distance: 0\n",
                               "Extracted lod: 1, distance: 13\n", "Extracted lod: 2, distance: 0\n"}));
  EXPECT_EQ(Files(), (Lines{"body.smd", "lod1_body.smd", "lod2_body.smd"}));
  const char* names[] = {"body.smd", "lod1_body.smd", "lod2_body.smd"};
  for (int k = 0; k < 3; ++k) {
    std::string text = Text(names[k]);
    EXPECT_EQ(text.rfind("version 1\nnodes\n  0 \"root\" -1\n  1 \"child\" 0\nend\nskeleton\n", 0), 0u) << names[k];
    // Level k draws a triangle starting at vertex k (bone k - 1, x = k).
    std::string firstCorner = "triangles\nskin.bmp\n" + std::to_string(k - 1) + " " + std::to_string(k) + ".000000 ";
    EXPECT_NE(text.find(firstCorner), std::string::npos) << names[k];
    EXPECT_EQ(text.substr(text.size() - 4), "end\n");
  }
}

TEST_F(ExportTest, SubModelsWithoutGeometryLevelsOrMeshes) {
  tb::SubModelDescription noVertices = SubModelWith("novertices", 0, {{0, 1, 2}});
  tb::SubModelDescription negativeVertices = SubModelWith("negative", 3, {{0, 1, 2}});
  negativeVertices.vertexCount = -1;
  tb::SubModelDescription noLevels = SubModelWith("nolevels", 3, {});
  tb::SubModelDescription negativeLevels = SubModelWith("negativelevels", 3, {{0, 1, 2}});
  negativeLevels.lodCount = -2;
  tb::SubModelDescription noMeshes = SubModelWith("nomeshes", 3, {{}});
  noMeshes.meshes.clear();
  noMeshes.lods[0].meshes.clear();

  tb::ModelDescription description = ModelWith(31, {});
  description.bodyParts = {{"empty", {noVertices, negativeVertices}, std::nullopt},
                           {"partial", {noLevels, negativeLevels, noMeshes}, std::nullopt},
                           {"none", {}, std::nullopt}};
  LoadedModel loaded(tb::BuildModel(description));
  Export(loaded);

  EXPECT_EQ(LogLines(), (Lines{"Extracted body: empty\n", "Extracted body: partial\n", "Extracted model: nolevels\n",
                               "Extracted model: negativelevels\n", "Extracted model: nomeshes\n",
                               "Extracted lod: 0, distance: 0\n", "Extracted body: none\n"}));
  EXPECT_EQ(Files(), Lines{"nomeshes.smd"});
  EXPECT_EQ(Text("nomeshes.smd"),
            "version 1\nnodes\n  0 \"root\" -1\n  1 \"child\" 0\nend\nskeleton\ntime 0\n"
            "  0 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000\n"
            "  1 0.000000 0.000000 10.000000 0.000000 0.000000 0.000000\nend\ntriangles\nend\n");
}

TEST_F(ExportTest, FolderPartOfASubModelNameIsKept) {
  auto describe = [] {
    return ModelWith(37, {SubModelWith("parts\\arm.smd", 3, {{0, 1, 2}, {2, 1, 0}}),
                          SubModelWith("after", 3, {{0, 1, 2}})});
  };
  {
    // Without the folders: both files of the first sub-model fail, the next one is written.
    LoadedModel loaded(tb::BuildModel(describe()));
    Export(loaded);
    EXPECT_EQ(Files(), Lines{"after.smd"});
    Lines log = LogLines();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Can't open: parts/arm.smd\n"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Can't open: lod1_parts/arm.smd\n"), 1);
    EXPECT_FALSE(HadErrors());
  }
  scratch.ResetStatus();
  std::filesystem::create_directory(scratch_ / "parts");
  std::filesystem::create_directory(scratch_ / "lod1_parts");
  std::filesystem::remove(scratch_ / "streams.log");
  LoadedModel loaded(tb::BuildModel(describe()));
  Export(loaded);
  EXPECT_EQ(Files(), (Lines{"after.smd", "lod1_parts/arm.smd", "parts/arm.smd"}));
  EXPECT_EQ(LogLines()[1], "Extracted model: parts\\arm.smd\n");
  EXPECT_FALSE(HadErrors());
}

TEST_F(ExportTest, ALaterSubModelWithTheSameBaseNameGetsAFileOfItsOwn) {
  LoadedModel loaded(tb::BuildModel(ModelWith(37, {SubModelWith("same.mdl", 4, {{0, 1, 2}, {0, 1, 2}}),
                                                   SubModelWith("same", 4, {{3, 2, 1}})})));
  Export(loaded);
  EXPECT_EQ(Files(), (Lines{"lod1_same.smd", "same.smd", "same_2.smd"}));
  // The first sub-model keeps its names; the second one's only triangle
  // starts at vertex 3 (bone 2).
  EXPECT_NE(Text("same.smd").find("skin.bmp\n-1 0.000000 "), std::string::npos);
  EXPECT_NE(Text("lod1_same.smd").find("skin.bmp\n-1 0.000000 "), std::string::npos);
  EXPECT_NE(Text("same_2.smd").find("skin.bmp\n2 3.000000 "), std::string::npos);
  const Lines log = LogLines();
  EXPECT_EQ(std::count(log.begin(), log.end(),
                       "File name taken: same.smd (body part 0, sub-model 1, LOD 0) is written as same_2.smd\n"),
            1);
  EXPECT_FALSE(HadErrors());
}

TEST_F(ExportTest, SubModelsFollowEachOtherByTheFamilyRecordSize) {
  for (int32_t version : {28, 31, 37}) {
    ClearScratch();
    LoadedModel loaded(tb::BuildModel(
        ModelWith(version, {SubModelWith("first", 4, {{0, 1, 2}}), SubModelWith("second", 4, {{3, 1, 2}})})));
    Export(loaded);
    EXPECT_EQ(Files(), (Lines{"first.smd", "second.smd"})) << "version " << version;
    EXPECT_NE(Text("second.smd").find("skin.bmp\n" + std::string(version == 28 ? "0" : "2") + " 3.000000 "),
              std::string::npos)
        << "version " << version;
    EXPECT_FALSE(HadErrors()) << "version " << version;
  }
}

// ---- damaged input -------------------------------------------------------------

struct BadCase {
  const char* what;
  int32_t version;
  std::function<void(tb::BuiltModel&)> damage;
  Lines files;             // what is left afterwards
  int badLines;            // "Bad data" messages
  const char* firstWhere;  // the start of the first one
};

// Sub-model "body" with two levels of detail, then sub-model "other".
tb::ModelDescription DamageModel(int32_t version) {
  return ModelWith(version,
                   {SubModelWith("body", 4, {{0, 1, 2, 1, 2, 3}, {0, 1, 2}}), SubModelWith("other", 4, {{0, 1, 2}})});
}

std::string GroupKey() { return tb::StripGroupKey(0, 0, 0, 0, 0); }

TEST_F(ExportTest, DamagedReferencesAbandonOnlyTheFilesThatUseThem) {
  const char* kLod0Mesh0 = "Bad data: mesh file \"body.smd\" (body part 0, sub-model 0, LOD 0, mesh 0): strip group 0: ";
  const Lines kLod0Lost = {"lod1_body.smd", "other.smd"};
  const Lines kBodyLost = {"other.smd"};
  const BadCase cases[] = {
      {"index entry past the strip vertex array", 37,
       [](tb::BuiltModel& b) { tb::PutU16(b.strip.bytes, tb::At(b.strip, GroupKey() + ".indices") + 2, 65535); },
       kLod0Lost, 1, kLod0Mesh0},
      {"vertex number beyond the file", 37,
       [](tb::BuiltModel& b) {
         tb::PutI16(b.strip.bytes, tb::At(b.strip, GroupKey() + ".vertices") + tb::kStripVertexMeshVertexIndex,
                    32767);
       },
       kLod0Lost, 1, kLod0Mesh0},
      {"vertex number beyond the file, split arrays", 28,
       [](tb::BuiltModel& b) {
         tb::PutI16(b.strip.bytes,
                    tb::At(b.strip, GroupKey() + ".vertices") + tb::kStripVertexRecordSize +
                        tb::kStripVertexMeshVertexIndex,
                    32767);
       },
       kLod0Lost, 1, kLod0Mesh0},
      {"index range past the end of the strip file", 33,
       [](tb::BuiltModel& b) {
         tb::PutI32(b.strip.bytes, tb::StripAt(b, 0, 0, 0, 0, 0, 0) + tb::kStripFirstIndex, INT32_MAX - 1);
       },
       kLod0Lost, 1, kLod0Mesh0},
      {"index count larger than the file", 37,
       [](tb::BuiltModel& b) {
         tb::PutI32(b.strip.bytes, tb::StripAt(b, 0, 0, 0, 0, 0, 0) + tb::kStripIndexCount, INT32_MAX);
       },
       kLod0Lost, 1, kLod0Mesh0},
      {"strip count larger than the file", 37,
       [](tb::BuiltModel& b) {
         tb::PutI32(b.strip.bytes, tb::StripGroupAt(b, 0, 0, 0, 0, 0) + tb::kStripGroupStripCount, INT32_MAX);
       },
       kLod0Lost, 1, kLod0Mesh0},
      {"strip groups before the file", 37,
       [](tb::BuiltModel& b) {
         tb::PutI32(b.strip.bytes, tb::StripMeshAt(b, 0, 0, 0, 0) + tb::kStripMeshGroupOffset, -(1 << 30));
       },
       kLod0Lost, 1, kLod0Mesh0},
      // The mesh record serves every level of detail of its sub-model.
      {"vertex base at the top of the int32 range", 37,
       [](tb::BuiltModel& b) { tb::PutI32(b.model.bytes, tb::MeshAt(b, 0, 0, 0) + tb::kMeshVertexBase, INT32_MAX); },
       kBodyLost, 2, "Bad data: mesh file \"body.smd\""},
      {"vertex base at the bottom of the int32 range", 37,
       [](tb::BuiltModel& b) { tb::PutI32(b.model.bytes, tb::MeshAt(b, 0, 0, 0) + tb::kMeshVertexBase, INT32_MIN); },
       kBodyLost, 2, "Bad data: mesh file \"body.smd\""},
      {"material beyond the texture table", 37,
       [](tb::BuiltModel& b) { tb::PutI32(b.model.bytes, tb::MeshAt(b, 0, 0, 0) + tb::kMeshMaterial, 1 << 28); },
       kBodyLost, 2, "Bad data: mesh file \"body.smd\""},
      {"texture coordinates outside, split arrays", 29,
       [](tb::BuiltModel& b) {
         tb::PutI32(b.model.bytes, tb::SubModelAt(b, 0, 0) + tb::kSubModelTexCoordOffset, 1 << 30);
       },
       kBodyLost, 2, "Bad data: mesh file \"body.smd\""},
      {"level-of-detail table larger than the file", 37,
       [](tb::BuiltModel& b) {
         tb::PutI32(b.strip.bytes, tb::StripModelAt(b, 0, 0) + tb::kStripModelLodCount, 1 << 28);
       },
       kBodyLost, 1, "Bad data: body part 0, sub-model 0 levels of detail: "},
      {"bone name outside the file", 37,
       [](tb::BuiltModel& b) { tb::PutI32(b.model.bytes, tb::BoneAt(b, 1) + tb::kBoneName, -(1 << 30)); },
       {}, 3, "Bad data: mesh file \"body.smd\" (body part 0, sub-model 0, LOD 0, skeleton): "},
  };
  for (const BadCase& c : cases) {
    ClearScratch();
    scratch.ResetStatus();
    tb::BuiltModel built = tb::BuildModel(DamageModel(c.version));
    c.damage(built);
    LoadedModel loaded(std::move(built));
    Export(loaded);

    EXPECT_EQ(Files(), c.files) << c.what;
    Lines bad;
    for (const std::string& line : LogLines())
      if (line.rfind("Bad data: ", 0) == 0) bad.push_back(line);
    ASSERT_EQ(static_cast<int>(bad.size()), c.badLines) << c.what;
    EXPECT_EQ(bad[0].rfind(c.firstWhere, 0), 0u) << c.what << ": " << bad[0];
    EXPECT_TRUE(HadErrors()) << c.what;
    // The walk went on to the last sub-model.
    Lines log = LogLines();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Extracted model: other\n"), 1) << c.what;
  }
}

TEST_F(ExportTest, BrokenBodyPartAndSubModelRecordsAreSkipped) {
  tb::ModelDescription description = DamageModel(37);
  description.bodyParts.push_back({"second", {SubModelWith("later", 3, {{0, 1, 2}})}, std::nullopt});
  tb::BuiltModel built = tb::BuildModel(description);
  // Body part 0's name leaves the file; body part 1's StripModel lies outside the strip file.
  tb::PutI32(built.model.bytes, tb::BodyPartAt(built, 0) + tb::kBodyPartName, 1 << 30);
  tb::PutI32(built.strip.bytes, tb::StripBodyPartAt(built, 1) + tb::kStripBodyPartModelOffset, 1 << 30);
  LoadedModel loaded(std::move(built));
  Export(loaded);
  Lines log = LogLines();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0].rfind("Bad data: body part 0: ", 0), 0u) << log[0];
  EXPECT_EQ(log[1], "Extracted body: second\n");
  EXPECT_EQ(log[2], "Extracted model: later\n");
  EXPECT_EQ(log[3].rfind("Bad data: body part 1, sub-model 0 levels of detail: ", 0), 0u) << log[3];
  EXPECT_EQ(Files(), Lines{});
}

TEST_F(ExportTest, NamesTooLongForTheNameBuffersAreSkipped) {
  // The sub-model's inline name is made to run on past its record into the
  // gap behind it. Its count fields then hold non-zero bytes: a negative mesh
  // count and a positive vertex count.
  for (size_t length : {255u, 256u}) {
    ClearScratch();
    scratch.ResetStatus();
    tb::ModelDescription description = ModelWith(37, {SubModelWith("x", 3, {{0, 1, 2}, {0, 1, 2}})});
    description.bodyParts.push_back({"tail", {SubModelWith("ok", 3, {{0, 1, 2}})}, std::nullopt});
    tb::BuildOptions options;
    options.gapBytes = 200;
    tb::BuiltModel built = tb::BuildModel(description, options);
    size_t at = tb::SubModelAt(built, 0, 0);
    std::string name(length, 'd');
    name.replace(0, 72, 72, 'a');
    name.replace(72, 16, "\x81\x81\x81\x81\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01", 16);
    name.replace(88, 32, 32, 'c');
    for (size_t i = 0; i < name.size(); ++i) tb::PutU8(built.model.bytes, at + i, static_cast<uint8_t>(name[i]));
    tb::PutU8(built.model.bytes, at + name.size(), 0);
    LoadedModel loaded(std::move(built));
    Export(loaded);

    // The count fields' bytes 0x01 are shown as \x01 and written as '_'.
    std::string shown = name, written = name;
    shown.replace(76, 12, std::string(12 * 4, ' '));
    for (int i = 0; i < 12; ++i) shown.replace(76 + 4 * i, 4, "\\x01");
    written.replace(76, 12, 12, '_');
    Lines expected = {"Extracted body: body\n", "Extracted model: " + shown + "\n"};
    if (length > 255) {
      expected.push_back("Skipped body part 0, sub-model 0: its name is longer than 255 bytes\n");
    } else {
      expected.push_back("Name changed: \"" + shown + "\" -> \"" + written + "\"\n");
      expected.push_back("Extracted lod: 0, distance: 0\n");
      expected.push_back("Skipped file with a name longer than 255 bytes: " + written + ".smd\n");
      expected.push_back("Extracted lod: 1, distance: 1\n");
      expected.push_back("Skipped file with a name longer than 255 bytes: lod1_" + written + ".smd\n");
    }
    for (const char* line : {"Extracted body: tail\n", "Extracted model: ok\n", "Extracted lod: 0, distance: 0\n"})
      expected.push_back(line);
    EXPECT_EQ(LogLines(), expected) << length;
    EXPECT_EQ(Files(), Lines{"ok.smd"});
    EXPECT_TRUE(HadErrors());
  }
}

}  // namespace
