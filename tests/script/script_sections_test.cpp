// One section of dec.qc at a time, on models holding only that section.
#include <cmath>

#include "tests/script/script_fixture.h"

namespace {

struct BodyCase {
  const char* title;
  int32_t version;
  std::vector<tb::BodyPartDescription> bodyParts;
  const char* expected;
};

class BodyPartSection : public ScriptTest, public ::testing::WithParamInterface<BodyCase> {};

TEST_P(BodyPartSection, WritesModelLinesAndBodyGroups) {
  tb::ModelDescription model;
  model.version = GetParam().version;
  model.bodyParts = GetParam().bodyParts;
  EXPECT_EQ(Written(model), GetParam().expected);
}

tb::BodyPartDescription Part(const std::string& name, std::vector<tb::SubModelDescription> subs) {
  return {name, std::move(subs), std::nullopt};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BodyPartSection,
    ::testing::Values(
        BodyCase{"OnlyModelLines", 37, {Part("head", {SubModel("head_ref", 3)}), Part("legs", {SubModel("legs_ref", 1)})},
                 "$model \"head\" \"head_ref\"\n$model \"legs\" \"legs_ref\"\n"},
        BodyCase{"BlankInGroup", 37, {Part("hats", {SubModel("hat_a", 2), SubModel("hat_none", 0)})},
                 "$bodygroup (hats)\n{\n\tstudio \"hat_a\"\n\tblank\n}\n\n"},
        BodyCase{"SingleEmptySubModel", 37, {Part("ghost", {SubModel("ghost_ref", 0, {10})})}, ""},
        BodyCase{"NoSubModels", 37, {Part("nothing", {})}, ""},
        // The split-array family steps sub-models by 116 bytes, the others by 120.
        BodyCase{"Mode28Stride", 29, {Part("arms", {SubModel("arm_a", 2), SubModel("arm_b", 0), SubModel("arm_c", 1)})},
                 "$bodygroup (arms)\n{\n\tstudio \"arm_a\"\n\tblank\n\tstudio \"arm_c\"\n}\n\n"}),
    [](const auto& info) { return std::string(info.param.title); });

TEST_F(ScriptTest, NegativeBodyPartModelCountWritesNothing) {
  tb::ModelDescription model;
  model.bodyParts = {Part("odd", {SubModel("odd_ref", 4)})};
  model.bodyParts[0].modelCount = -2;
  EXPECT_EQ(Written(model), "");
}

struct PoseCase {
  int32_t flags;
  float start, end, loop;
  const char* expected;
};

TEST_F(ScriptTest, PoseParameterForms) {
  const PoseCase cases[] = {
      {1, 0, 1, 5, "$poseparameter p 0.00 1.00 wrap\n"},
      {1, -180, 180, 360, "$poseparameter p -180.00 180.00 loop 360.00\n"},
      {3, 0, 3, 0, "$poseparameter p 0.00 3.00 wrap\n"},
      {2, 0, 2, 7, "$poseparameter p 0.00 2.00 7.00\n"},
      {0, -1, 1, 0.5f, "$poseparameter p -1.00 1.00 0.50\n"},
      {1, 0, 2, 0.25f, "$poseparameter p 0.00 2.00 loop 0.25\n"},
      // flags is signed: -1 equals the range 1 - 2.
      {-1, 2, 1, 0, "$poseparameter p 2.00 1.00 wrap\n"},
      // 3.1f - 0.1f is 2.9999999 in double but 3 once rounded to float: the
      // difference must not be rounded.
      {3, 0.1f, 3.1f, 1, "$poseparameter p 0.10 3.10 loop 1.00\n"},
      {1, 0, std::nanf(""), 1, "$poseparameter p 0.00 nan loop 1.00\n"},
  };
  for (const PoseCase& c : cases) {
    tb::ModelDescription model;
    model.poseParams = {{"p", c.flags, c.start, c.end, c.loop}};
    EXPECT_EQ(Written(model), c.expected) << "flags " << c.flags << " start " << c.start << " end " << c.end;
  }
}

TEST_F(ScriptTest, SequenceForms) {
  tb::ModelDescription model;
  model.animations = {{"walk_anim", 24, 1, {}}, {"run_anim", 12.5f, 1, {}}, {"look_anim", 7, 1, {}}};
  model.sequences = {{"walk", "ACT_WALK", 0}, {"run", "ACT_RUN", 2}, {"look", "ACT_LOOK", -1}, {"spare", "", 0}};
  // The rate comes from the animation description of the same index; a
  // sequence without one is written with 30 frames per second.
  EXPECT_EQ(Written(model),
            "$sequence walk \"walk\" fps 24.00\n"
            "$sequence run \"run\" ACT_RUN 2 fps 12.50\n"
            "$sequence look \"look\" ACT_LOOK -1 fps 7.00\n"
            "$sequence spare \"spare\" fps 30.00\n");
}

TEST_F(ScriptTest, HitboxSetsAndMaterialFolders) {
  tb::ModelDescription model;
  model.bones = tb::BoneChain(3);
  model.hitboxSets = {{"main", {{2, 7, {-1.5f, -2, -3.25f}, {1, 2, 0.0625f}}}, std::nullopt},
                      {"none", {}, std::nullopt}};
  model.materialFolders = {"models\\props\\"};
  EXPECT_EQ(Written(model),
            "$cdmaterials \"models\\props\\\"\n"
            "$hboxset \"main\"\n"
            "$hbox 7 \"bone2\" -1.500  -2.000  -3.250  1.000  2.000  0.063\n"
            "$hboxset \"none\"\n");
}

TEST_F(ScriptTest, EmptyTablesWriteNoLines) {
  tb::ModelDescription model;
  model.counts.hitboxSets = -1;
  model.counts.materialFolders = 0;
  model.counts.poseParams = -5;
  EXPECT_EQ(Written(model), "");
}

TEST_F(ScriptTest, AttachmentRotationsInDegreeOrder) {
  tb::ModelDescription model;
  model.bones = tb::BoneChain(2);
  model.attachments = {
      {"ident", 0, {{{1, 0, 0, 1}, {0, 1, 0, -2.5f}, {0, 0, 1, 3}}}},
      {"yaw", 1, {{{0, -1, 0, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}}}},
      // 90 degrees about X: the third angle.
      {"roll", 1, {{{1, 0, 0, 0}, {0, 0, -1, 0}, {0, 1, 0, 0}}}},
  };
  EXPECT_EQ(Written(model),
            "$attachment \"ident\" \"bone0\" 1.00 -2.50 3.00 rotate 0.00 0.00 0.00\n"
            "$attachment \"yaw\" \"bone1\" 0.00 0.00 0.00 rotate 0.00 90.00 0.00\n"
            "$attachment \"roll\" \"bone1\" 0.00 0.00 0.00 rotate 0.00 0.00 90.00\n");
}

TEST_F(ScriptTest, LevelsOfDetail) {
  tb::ModelDescription model;
  model.bodyParts = {
      Part("body", {SubModel("body_ref", 3, {0, 10, 25.4f})}),
      Part("parts", {SubModel("models\\car\\wheel.smd", 1, {5, -0.0f}), SubModel("hidden", 0, {8})}),
  };
  EXPECT_EQ(Written(model),
            "$model \"body\" \"body_ref\"\n"
            "$bodygroup (parts)\n{\n\tstudio \"models\\car\\wheel.smd\"\n\tblank\n}\n\n"
            "$lod 10\n {\n  replacemodel \"body_ref\" \"lod1_body_ref\"\n}\n"
            "$lod 25\n {\n  replacemodel \"body_ref\" \"lod2_body_ref\"\n}\n"
            "$lod 5\n {\n  replacemodel \"models/car/wheel\" \"lod0_models/car/wheel\"\n}\n");
}

}  // namespace
