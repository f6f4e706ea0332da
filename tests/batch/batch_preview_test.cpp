// A batch with -preview: a picture in the folder of every model that has
// something to draw, and the counts the index shows in the report.
#include <gtest/gtest.h>

#include "tests/batch/batch_support.h"
#include "tests/tool_runner/tool_runner.h"
#include "tools/sample_model.h"

namespace {

TEST(BatchPreview, EveryConvertedModelGetsAPictureAndItsCounts) {
  ScratchDir dir;
  PutModel(dir.path / "in/a", SampleModel(37));
  PutModel(dir.path / "in/sub/b", SampleModel(29));
  PutModel(dir.path / "in/c", tb::BoxModel(31));
  tb::ModelDescription bones = SampleModel(33);
  bones.bodyParts.clear();
  PutModel(dir.path / "in/bones", bones);
  tb::ModelDescription nothing = bones;
  nothing.bones.clear();
  nothing.animations.clear();
  nothing.sequences.clear();
  PutModel(dir.path / "in/nothing", nothing);
  tb::ModelDescription unsupported = SampleModel(37);
  unsupported.version = 40;
  PutModel(dir.path / "in/new", unsupported);

  ToolRun run = RunTool(dir.path, {"-batch", "in", "-out", "out", "-preview", "-jobs", "2"});
  EXPECT_EQ(run.status, 2) << run.console;
  const nlohmann::json report = ReadReport(dir.path / "out");
  int pictures = 0;
  for (const nlohmann::json& model : report["models"]) {
    const bool converted = model["status"] == "converted" && model["input"] != "in/nothing.mdl";
    const fs::path picture = dir.path / "out" / model["output"].get<std::string>() / "preview.png";
    EXPECT_EQ(fs::exists(picture), converted) << model["input"];
    bool listed = false;
    for (const nlohmann::json& file : model["files"]) listed = listed || file["name"] == "preview.png";
    EXPECT_EQ(listed, converted) << model["input"];
    pictures += converted ? 1 : 0;
  }
  EXPECT_EQ(pictures, 4);
  // A model with nothing to draw says so in its log, and its card too.
  const std::string nothingSaid = "preview.png: nothing to draw: the model has no triangles and no bones\n";
  EXPECT_NE(ReadFileText(dir.path / "out/nothing/streams.log").find(nothingSaid), std::string::npos);
  EXPECT_NE(ReadFileText(dir.path / "out/index.html")
                .find("<div class=n>no picture: nothing to draw: the model has no triangles and no bones</div>"),
            std::string::npos);

  const nlohmann::json sample = ModelEntry(report, "in/a.mdl")["counts"];
  EXPECT_EQ(sample, (nlohmann::json{{"bones", 3}, {"subModels", 3}, {"lodZeroTriangles", 24}, {"animations", 2}}));
  EXPECT_EQ(ModelEntry(report, "in/sub/b.mdl")["counts"], sample);
  EXPECT_EQ(ModelEntry(report, "in/c.mdl")["counts"]["lodZeroTriangles"], 12);
  EXPECT_EQ(ModelEntry(report, "in/bones.mdl")["counts"]["lodZeroTriangles"], 0);
  EXPECT_EQ(ModelEntry(report, "in/bones.mdl")["counts"]["subModels"], 0);
  EXPECT_TRUE(ModelEntry(report, "in/new.mdl")["counts"]["bones"].is_null());

  // Without -preview the counts are there and the pictures are not.
  run = RunTool(dir.path, {"-batch", "in", "-out", "plain"});
  const nlohmann::json plain = ReadReport(dir.path / "plain");
  EXPECT_EQ(ModelEntry(plain, "in/a.mdl")["counts"], sample);
  EXPECT_FALSE(fs::exists(dir.path / "plain/a/preview.png"));
}

TEST(BatchPreview, APreviewSizeOutOfRangeIsAWrongCommandLine) {
  ScratchDir dir;
  ToolRun run = RunTool(dir.path, {"-batch", "in", "-out", "out", "-preview-size", "9999"});
  EXPECT_EQ(run.status, 64);
  EXPECT_NE(run.errors.find("-preview-size takes a whole number from 16 to 4096, not \"9999\""), std::string::npos)
      << run.errors;
}

}  // namespace
