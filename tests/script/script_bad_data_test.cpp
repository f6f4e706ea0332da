// Damaged models: one "Bad data" line naming the item, no dec.qc left behind,
// and no read outside the images.
#include "tests/script/script_fixture.h"

namespace {

using Patch = void (*)(tb::BuiltModel&);

struct BadCase {
  const char* title;
  Patch patch;
  const char* place;  // what the logged line must name
};

tb::ModelDescription Complete() {
  tb::ModelDescription m = tb::BoxModel(37);
  m.bones = tb::BoneChain(2);
  m.hitboxSets = {{"set", {{1, 0, {}, {}}}, std::nullopt}};
  m.attachments = {{"tip", 1, tb::kIdentityMatrix}};
  m.sequences.push_back({"second", "ACT_X", 1});
  m.bodyParts[0].subModels[0].lods.push_back(tb::LodDescription{10, {}});
  return m;
}

void Put(std::vector<uint8_t>& bytes, size_t at, int32_t value) { tb::PutI32(bytes, at, value); }

class BadData : public ScriptTest, public ::testing::WithParamInterface<BadCase> {};

TEST_P(BadData, AbandonsTheScriptWithOneLine) {
  tb::BuiltModel built = tb::BuildModel(Complete());
  GetParam().patch(built);
  ScriptRun run = Run(built);
  EXPECT_EQ(run.result, 0);
  EXPECT_FALSE(run.script.has_value());
  // Nothing is left behind: neither dec.qc nor its temporary file.
  for (const auto& entry : std::filesystem::directory_iterator(scratch_.path))
    EXPECT_EQ(entry.path().filename(), "streams.log");
  EXPECT_TRUE(HadErrors());
  EXPECT_EQ(run.log.rfind("Bad data: ", 0), 0u) << run.log;
  EXPECT_EQ(std::count(run.log.begin(), run.log.end(), '\n'), 1) << run.log;
  EXPECT_NE(run.log.find(GetParam().place), std::string::npos) << run.log;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadData,
    ::testing::Values(
        BadCase{"HitboxSetNameOutsideFile",
                [](tb::BuiltModel& b) { Put(b.model.bytes, At(b.model, "hitboxSets"), 1 << 24); },
                "dec.qc hitbox set 0: "},
        BadCase{"HitboxBoneBeyondBoneCountInsideFile",
                [](tb::BuiltModel& b) { Put(b.model.bytes, At(b.model, "hitboxSet0.hitboxes"), 2); },
                "dec.qc hitbox set 0 hitbox 0: "},
        BadCase{"NegativeAttachmentBone",
                [](tb::BuiltModel& b) { Put(b.model.bytes, At(b.model, "attachments") + 8, -1); },
                "dec.qc attachment 0: "},
        BadCase{"SequenceCountTheFileCannotHold",
                [](tb::BuiltModel& b) { Put(b.model.bytes, At(b.model, "header.sequenceCount"), 0x7fffffff); },
                "dec.qc sequence table: "},
        BadCase{"AnimationOfSequenceOutsideFile",
                [](tb::BuiltModel& b) { Put(b.model.bytes, At(b.model, "header.animDescOffset"), -100000); },
                "dec.qc sequence 0 animation description 0: "},
        BadCase{"StripLodTableOutsideStripFile",
                [](tb::BuiltModel& b) { Put(b.strip.bytes, tb::StripModelAt(b, 0, 0) + 4, 1 << 28); },
                "dec.qc level of detail, body part 0 sub-model 0: "},
        BadCase{"StripFileEmpty", [](tb::BuiltModel& b) { b.strip.bytes.clear(); },
                "dec.qc level of detail, body part 0 sub-model 0: "},
        BadCase{"ModelCutInsideHeader", [](tb::BuiltModel& b) { b.model.bytes.resize(100); },
                "dec.qc model header: "}),
    [](const auto& info) { return std::string(info.param.title); });

TEST_F(ScriptTest, StripRecordsAreNotNeededForSubModelsWithoutGeometry) {
  tb::ModelDescription model;
  model.bodyParts = {{"ghost", {SubModel("ghost_ref", 0)}, std::nullopt}};
  tb::BuiltModel built = tb::BuildModel(model);
  built.strip.bytes.clear();
  ScriptRun run = Run(built);
  EXPECT_EQ(run.result, 1);
  EXPECT_TRUE(run.script.has_value());
  EXPECT_EQ(run.log, "");
}

TEST_F(ScriptTest, ScriptThatCannotBeCreatedIsReported) {
  // The output folder is removed while the conversion holds it: no file can
  // be created there. The message is taken from the console, since the log
  // file cannot be created either.
  std::filesystem::remove_all(scratch_.path);
  scratch_.channel.toLogFile = false;
  ScriptRun run = Run(tb::BuildModel(tb::BoxModel(37)));
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(scratch_.console, "Can't open: dec.qc\n");
  EXPECT_FALSE(HadErrors());
}

}  // namespace
