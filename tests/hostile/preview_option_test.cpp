// -preview adds preview.png to a -file run and changes nothing else; damaged
// geometry gives no picture and a message.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "builder/model_builder.h"
#include "tests/tool_runner/tool_runner.h"
#include "tools/sample_model.h"

namespace fs = std::filesystem;

namespace {

void WriteModel(const fs::path& base, const tb::BuiltModel& built) {
  fs::create_directories(base.parent_path());
  tb::WriteFileBytes(base.string() + ".mdl", built.model.bytes);
  tb::WriteFileBytes(base.string() + ".dx80.vtx", built.strip.bytes);
}

std::set<std::string> FilesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// The width and height in a PNG file's header chunk.
std::pair<uint32_t, uint32_t> PngSize(const std::string& png) {
  auto big = [&png](size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(png[at]) << 24 |
                                 static_cast<unsigned char>(png[at + 1]) << 16 |
                                 static_cast<unsigned char>(png[at + 2]) << 8 | static_cast<unsigned char>(png[at + 3]));
  };
  if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || png.compare(12, 4, "IHDR") != 0) return {0, 0};
  return {big(16), big(20)};
}

TEST(PreviewOption, AddsOnlyThePictureInEveryFamily) {
  ScratchDir dir;
  for (int32_t version : {37, 31, 28}) {
    const std::string v = std::to_string(version);
    WriteModel(dir.path / v / "arm", tb::BuildModel(SampleModel(version)));
    ToolRun plain = RunTool(dir.path, {"-file", v + "/arm", "-out", "plain" + v});
    ToolRun shown = RunTool(dir.path, {"-file", v + "/arm", "-out", "shown" + v, "-preview", "-jobs", "2"});
    ToolRun sized = RunTool(dir.path, {"-file", v + "/arm", "-out", "sized" + v, "-PREVIEW-SIZE", "40"});
    EXPECT_EQ(plain.status, 1);
    EXPECT_EQ(shown.status, 1) << shown.console;
    EXPECT_EQ(sized.status, 1) << sized.console;
    EXPECT_EQ(shown.console, plain.console);

    std::set<std::string> expected = FilesIn(dir.path / ("plain" + v));
    EXPECT_FALSE(expected.count("preview.png"));
    expected.insert("preview.png");
    EXPECT_EQ(FilesIn(dir.path / ("shown" + v)), expected);
    for (const std::string& name : FilesIn(dir.path / ("plain" + v))) {
      if (name == "dec.qc") continue;  // its $cd names the folder
      EXPECT_EQ(ReadFileText(dir.path / ("shown" + v) / name), ReadFileText(dir.path / ("plain" + v) / name)) << name;
    }
    EXPECT_EQ(PngSize(ReadFileText(dir.path / ("shown" + v) / "preview.png")), std::make_pair(256u, 256u));
    EXPECT_EQ(PngSize(ReadFileText(dir.path / ("sized" + v) / "preview.png")), std::make_pair(40u, 40u));
    // Without the mesh files the scene is read by a walk of its own: the same picture.
    ToolRun gltf = RunTool(dir.path, {"-file", v + "/arm", "-out", "gltf" + v, "-preview", "-format", "gltf"});
    EXPECT_EQ(gltf.status, 1) << gltf.console;
    EXPECT_EQ(ReadFileText(dir.path / ("gltf" + v) / "preview.png"),
              ReadFileText(dir.path / ("shown" + v) / "preview.png"));
  }
}

TEST(PreviewOption, DamagedGeometryGivesNoPictureAndAMessage) {
  ScratchDir dir;
  tb::BuiltModel built = tb::BuildModel(SampleModel(37));
  tb::PutI32(built.strip.bytes, tb::At(built.strip, tb::StripMeshKey(1, 0, 0, 0) + ".groups") + 12, 0x7fffff00);
  WriteModel(dir.path / "in" / "m", built);
  ToolRun run = RunTool(dir.path, {"-file", "in/m", "-preview", "-format", "all"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.console.find("Bad data: preview.png: "), std::string::npos) << run.console;
  EXPECT_FALSE(fs::exists(dir.path / "preview.png"));
  // The undamaged sub-model is still written.
  EXPECT_TRUE(fs::exists(dir.path / "arm_box.smd"));
}

TEST(PreviewOption, ASkeletonAloneIsDrawnAndAModelWithNothingIsNot) {
  ScratchDir dir;
  tb::ModelDescription bones = SampleModel(37);
  bones.bodyParts.clear();
  WriteModel(dir.path / "bones", tb::BuildModel(bones));
  tb::ModelDescription nothing = bones;
  nothing.bones.clear();
  nothing.animations.clear();
  nothing.sequences.clear();
  nothing.hitboxSets.clear();
  nothing.attachments.clear();
  WriteModel(dir.path / "nothing", tb::BuildModel(nothing));

  ToolRun skeleton = RunTool(dir.path, {"-file", "bones", "-out", "b", "-preview"});
  ToolRun empty = RunTool(dir.path, {"-file", "nothing", "-out", "n", "-preview"});
  EXPECT_EQ(skeleton.status, 1) << skeleton.console;
  EXPECT_EQ(empty.status, 1) << empty.console;
  EXPECT_EQ(PngSize(ReadFileText(dir.path / "b" / "preview.png")), std::make_pair(256u, 256u));
  EXPECT_FALSE(fs::exists(dir.path / "n" / "preview.png"));
}

TEST(PreviewOption, ASizeOutOfRangeIsAWrongCommandLine) {
  ScratchDir dir;
  for (const char* size : {"15", "4097", "64px", ""}) {
    ToolRun run = RunTool(dir.path, {"-file", "m", "-preview-size", size});
    EXPECT_EQ(run.status, 64) << size;
    EXPECT_EQ(run.console, std::string("-preview-size takes a whole number from 16 to 4096, not \"") + size + "\"\n");
  }
}

}  // namespace
