// Items whose names reduce to one file name each keep a file of their own,
// and every output judges the same values alike.
#include <gtest/gtest.h>

#include <string>

#include "builder/format_tables.h"
#include "tests/hostile/hostile_support.h"
#include "tools/sample_model.h"

namespace {

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(FileNamePlan, CollidingNamesGetFilesOfTheirOwnAndTheScriptNamesThem) {
  // The plate's sub-model reduces to the box's file name; the first animation
  // and its sequence share the name of a later sub-model.
  tb::ModelDescription description = SampleModel(37);
  description.bodyParts[1].subModels[0].name = "arm_box.x";
  tb::SubModelDescription wave = tb::BoxSubModel("wave", 0, 1);
  description.bodyParts.push_back(tb::BodyPartDescription{"extra", {wave}, std::nullopt});
  const HostileRun run = RunOnBuilt(tb::BuildModel(description));
  EXPECT_EQ(run.status, 1) << run.console;
  EXPECT_EQ(OutputNames(run), (std::set<std::string>{"dec.qc", "arm_box.smd", "lod1_arm_box.smd", "arm_box_2.smd",
                                                      "wave.smd", "wave_2.smd", "idle.smd"}));
  // Each file keeps what its item holds: the animation starts with its node
  // list and its frames, the meshes with theirs.
  EXPECT_NE(run.outputs.at("wave_2.smd").find("time 5\n"), std::string::npos);
  EXPECT_NE(run.outputs.at("wave.smd").find("triangles\n"), std::string::npos);
  EXPECT_NE(run.outputs.at("arm_box_2.smd").find("triangles\n"), std::string::npos);
  EXPECT_EQ(Count(run.console,
                  "File name taken: arm_box.smd (body part 1, sub-model 0, LOD 0) is written as arm_box_2.smd\n"),
            1u)
      << run.console;
  EXPECT_EQ(Count(run.console, "File name taken: wave.smd (animation 0) is written as wave_2.smd\n"), 1u)
      << run.console;
  const std::string& script = run.outputs.at("dec.qc");
  EXPECT_NE(script.find("$model \"plate\" \"arm_box_2\"\n"), std::string::npos) << script;
  EXPECT_NE(script.find("$model \"extra\" \"wave\"\n"), std::string::npos) << script;
  EXPECT_NE(script.find("$sequence wave \"wave_2\" "), std::string::npos) << script;
  EXPECT_NE(script.find("$sequence idle \"idle\" "), std::string::npos) << script;
}

TEST(FileNamePlan, RenamedSubModelsKeepTheirLevelsTogetherAndLeaveLaterNamesFree) {
  // "gun." and "gun" both give gun.smd; a third sub-model asks for gun_2.smd
  // itself, so the second takes gun_3 for both its levels.
  tb::ModelDescription description = SampleModel(37);
  description.bodyParts[0].subModels[0].name = "gun";
  description.bodyParts[0].subModels[1] = description.bodyParts[0].subModels[0];
  description.bodyParts[0].subModels[1].name = "gun.";
  description.bodyParts[1].subModels[0].name = "gun_2";
  const HostileRun run = RunOnBuilt(tb::BuildModel(description));
  EXPECT_EQ(run.status, 1) << run.console;
  EXPECT_EQ(OutputNames(run), (std::set<std::string>{"dec.qc", "gun.smd", "lod1_gun.smd", "gun_3.smd",
                                                      "lod1_gun_3.smd", "gun_2.smd", "wave.smd", "idle.smd"}));
  const std::string& script = run.outputs.at("dec.qc");
  EXPECT_NE(script.find("\tstudio \"gun\"\n\tstudio \"gun_3\"\n"), std::string::npos) << script;
  EXPECT_NE(script.find("replacemodel \"gun_3\" \"lod1_gun_3\""), std::string::npos) << script;
  EXPECT_NE(script.find("replacemodel \"gun\" \"lod1_gun\""), std::string::npos) << script;
}

// A parent that is not an earlier bone and a vertex bone outside the bone
// table are carried as stored by the SMD files; the .glb repairs them and
// says so, and the status does not depend on the format.
TEST(FileNamePlan, ValuesGltfCannotHoldAreNotedAlikeInEveryFormat) {
  tb::ModelDescription description = SampleModel(37);
  description.bones[2].parent = 5;
  description.bodyParts[1].subModels[0].vertices[0].bone = -1;
  const tb::BuiltModel built = tb::BuildModel(description);
  for (const char* format : {"smd", "gltf", "all"}) {
    const HostileRun run = RunOnBuilt(built, {"-format", format});
    EXPECT_EQ(run.status, 1) << format << "\n" << run.console;
    EXPECT_TRUE(BadDataLines(run.console).empty()) << format << "\n" << run.console;
    if (std::string(format) == "smd") continue;
    EXPECT_EQ(run.outputs.count("m.glb"), 1u) << format;
    EXPECT_EQ(run.outputs.count("m_lod1.glb"), 1u) << format;
    EXPECT_NE(run.console.find("which glTF cannot hold; they hang on the model's root node\n"), std::string::npos)
        << run.console;
    EXPECT_NE(run.console.find("which glTF cannot hold; they are weighted to bone 0\n"), std::string::npos)
        << run.console;
  }
}

// Bad data is bad data for every output: a body part name outside the file
// costs the script, that body part's meshes, the .glb and the picture alike.
TEST(FileNamePlan, BadDataIsBadDataInEveryFormat) {
  tb::BuiltModel built = tb::BuildModel(SampleModel(37));
  const size_t bodyPart = tb::RecordAt(built.model, "bodyParts", 1);
  tb::PutI32(built.model.bytes, bodyPart + tb::kBodyPartName, 0x7fffff00);
  for (const char* format : {"smd", "gltf", "all"}) {
    const HostileRun run = RunOnBuilt(built, {"-format", format, "-preview"});
    EXPECT_EQ(run.status, 2) << format << "\n" << run.console;
    EXPECT_EQ(run.outputs.count("m.glb"), 0u) << format;
    EXPECT_EQ(run.outputs.count("m_lod1.glb"), 0u) << format;  // the main file takes the others with it
    EXPECT_EQ(run.outputs.count("preview.png"), 0u) << format;
    EXPECT_EQ(run.outputs.count("plate.smd"), 0u) << format;
  }
}

}  // namespace
