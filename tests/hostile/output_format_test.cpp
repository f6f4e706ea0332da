// -format chooses the files: the SMD files and dec.qc, one .glb named after
// the model file, or both; the SMD files are the same whichever is chosen.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "builder/model_builder.h"
#include "tests/tool_runner/tool_runner.h"
#include "tools/sample_model.h"

namespace fs = std::filesystem;

namespace {

std::set<std::string> FilesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) names.insert(fs::relative(entry.path(), folder).string());
  return names;
}

TEST(OutputFormat, GltfAllAndSmdWriteTheirFilesAndTheSameSmd) {
  ScratchDir dir;
  fs::create_directories(dir.path / "in" / "models");
  const tb::BuiltModel built = tb::BuildModel(SampleModel(37));
  tb::WriteFileBytes((dir.path / "in" / "models" / "arm.mdl").string(), built.model.bytes);
  tb::WriteFileBytes((dir.path / "in" / "models" / "arm.dx80.vtx").string(), built.strip.bytes);

  ToolRun smd = RunTool(dir.path, {"-file", "in\\models\\arm.mdl", "-out", "smd"});
  ToolRun gltf = RunTool(dir.path, {"-FORMAT", "GLTF", "-file", "in/models/arm", "-out", "gltf"});
  ToolRun all = RunTool(dir.path, {"-file", "in/models/arm", "-out", "all", "-format", "all", "-jobs", "2"});
  EXPECT_EQ(smd.status, 1) << smd.console;
  EXPECT_EQ(gltf.status, 1) << gltf.console;
  EXPECT_EQ(all.status, 1) << all.console;
  EXPECT_EQ(gltf.console, "Decompiled 37 mode\n");
  // Level 1 of the arm has a file of its own.
  EXPECT_EQ(FilesIn(dir.path / "gltf"), (std::set<std::string>{"arm.glb", "arm_lod1.glb", "streams.log"}));

  std::set<std::string> expected = FilesIn(dir.path / "smd");
  expected.insert("arm.glb");
  expected.insert("arm_lod1.glb");
  EXPECT_EQ(FilesIn(dir.path / "all"), expected);
  for (const std::string& name : FilesIn(dir.path / "smd")) {
    if (name == "dec.qc" || name == "streams.log") continue;
    EXPECT_EQ(ReadFileText(dir.path / "all" / name), ReadFileText(dir.path / "smd" / name)) << name;
  }
  EXPECT_EQ(ReadFileText(dir.path / "all" / "arm.glb"), ReadFileText(dir.path / "gltf" / "arm.glb"));
  EXPECT_EQ(ReadFileText(dir.path / "all" / "arm_lod1.glb"), ReadFileText(dir.path / "gltf" / "arm_lod1.glb"));
  EXPECT_EQ(ReadFileText(dir.path / "all" / "arm.glb").substr(0, 4), "glTF");
}

TEST(OutputFormat, TheGlbCountsAgainstTheOutputLimit) {
  ScratchDir dir;
  fs::create_directories(dir.path / "in");
  const tb::BuiltModel built = tb::BuildModel(SampleModel(31));
  tb::WriteFileBytes((dir.path / "in" / "m.mdl").string(), built.model.bytes);
  tb::WriteFileBytes((dir.path / "in" / "m.dx80.vtx").string(), built.strip.bytes);
  ToolRun run = RunTool(dir.path, {"-file", "in/m", "-format", "gltf", "-max-output", "100"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.console.find("Output limit reached (100): m.glb; -max-output raises it\n"), std::string::npos)
      << run.console;
  EXPECT_FALSE(fs::exists(dir.path / "m.glb"));
  EXPECT_FALSE(fs::exists(dir.path / "m_lod1.glb"));
}

TEST(OutputFormat, AnUnknownFormatIsAWrongCommandLine) {
  ScratchDir dir;
  ToolRun run = RunTool(dir.path, {"-file", "m", "-format", "obj"});
  EXPECT_EQ(run.status, 64);
  EXPECT_EQ(run.console, "-format takes smd, gltf or all, not \"obj\"\n");
}

}  // namespace

namespace {

// The .glb carries names as the SMD files do: each byte no output may carry
// becomes '_', said once per name whichever files carry it.
TEST(OutputFormat, TheGlbCarriesChangedNamesAndSaysSoOnce) {
  ScratchDir dir;
  fs::create_directories(dir.path / "in");
  tb::ModelDescription description = SampleModel(37);
  description.bones[1].name = "el\nbow";
  const tb::BuiltModel built = tb::BuildModel(description);
  tb::WriteFileBytes((dir.path / "in" / "m.mdl").string(), built.model.bytes);
  tb::WriteFileBytes((dir.path / "in" / "m.dx80.vtx").string(), built.strip.bytes);
  for (const char* format : {"gltf", "all"}) {
    ToolRun run = RunTool(dir.path, {"-file", "in/m", "-format", format, "-out", format});
    EXPECT_EQ(run.status, 2) << format;
    const std::string said = "Name changed: \"el\\x0Abow\" -> \"el_bow\"\n";
    EXPECT_NE(run.console.find(said), std::string::npos) << run.console;
    EXPECT_EQ(run.console.find(said), run.console.rfind(said)) << "said once";
    const std::string glb = ReadFileText(dir.path / format / "m.glb");
    EXPECT_NE(glb.find("\"el_bow\""), std::string::npos) << format;
    EXPECT_EQ(glb.find("el\\nbow"), std::string::npos) << format;
  }
}

}  // namespace
