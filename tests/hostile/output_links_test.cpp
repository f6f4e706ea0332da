// Links inside the output folder never lead a write outside it: a folder part
// that is a link is refused like a name leaving the folder, with or without
// -out, and with -out the folders that names ask for are made inside it.
#include <gtest/gtest.h>

#include <filesystem>

#include "builder/model_builder.h"
#include "tests/tool_runner/tool_runner.h"

namespace fs = std::filesystem;

namespace {

void WriteBoxModel(const fs::path& base, const std::string& subModel, const std::string& animation) {
  tb::ModelDescription description = tb::BoxModel(37);
  description.bodyParts[0].subModels[0].name = subModel;
  description.animations[0].name = animation;
  const tb::BuiltModel built = tb::BuildModel(description);
  tb::WriteFileBytes(base.string() + ".mdl", built.model.bytes);
  tb::WriteFileBytes(base.string() + ".dx80.vtx", built.strip.bytes);
}

bool IsEmptyFolder(const fs::path& path) { return fs::is_directory(path) && fs::is_empty(path); }

TEST(OutputLinks, AFolderPartThatIsALinkIsRefused) {
  ScratchDir root;
  fs::create_directories(root.path / "work" / "in");
  fs::create_directories(root.path / "outside");
  fs::create_directory_symlink("../outside", root.path / "work" / "parts");
  WriteBoxModel(root.path / "work" / "in" / "m", "parts/arm", "parts/walk");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-file", "in/m"}, {"-file", "in/m", "-out", "."}}) {
    ToolRun run = RunTool(root.path / "work", args);
    EXPECT_EQ(run.status, 2) << run.console;
    EXPECT_NE(run.console.find("Refused output name outside the current folder: parts/arm.smd\n"), std::string::npos)
        << run.console;
    EXPECT_NE(run.console.find("Refused output name outside the current folder: parts/walk.smd\n"), std::string::npos)
        << run.console;
    EXPECT_TRUE(IsEmptyFolder(root.path / "outside"));
    EXPECT_TRUE(fs::exists(root.path / "work" / "dec.qc"));
  }
}

TEST(OutputLinks, OutCreatesTheFolderAndTheSubFoldersNamesAskFor) {
  ScratchDir root;
  fs::create_directories(root.path / "in");
  fs::create_directories(root.path / "outside");
  WriteBoxModel(root.path / "in" / "m", "parts/arm", "moves/walk");
  ToolRun run = RunTool(root.path, {"-OUT", "result/deep", "-file", "in/m"});
  EXPECT_EQ(run.status, 1) << run.console;
  const fs::path out = root.path / "result" / "deep";
  EXPECT_TRUE(fs::exists(out / "parts" / "arm.smd"));
  EXPECT_TRUE(fs::exists(out / "moves" / "walk.smd"));
  EXPECT_TRUE(fs::exists(out / "streams.log"));
  EXPECT_FALSE(fs::exists(root.path / "streams.log"));
  // "$cd" names the output folder.
  const std::string script = ReadFileText(out / "dec.qc");
  EXPECT_EQ(script.substr(0, script.find('\n')), "$cd \"" + fs::canonical(out).string() + "\"");

  // A link placed where a sub-folder would go is still refused.
  fs::remove_all(out / "parts");
  fs::create_directory_symlink(root.path / "outside", out / "parts");
  run = RunTool(root.path, {"-file", "in/m", "-out", "result/deep"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(IsEmptyFolder(root.path / "outside"));
}

TEST(OutputLinks, AFileLinkAtTheFinalNameIsReplacedNotFollowed) {
  ScratchDir root;
  fs::create_directories(root.path / "in");
  tb::WriteFileBytes((root.path / "victim").string(), {'k', 'e', 'e', 'p'});
  fs::create_symlink(root.path / "victim", root.path / "box.smd");
  WriteBoxModel(root.path / "in" / "m", "box", "idle");
  ToolRun run = RunTool(root.path, {"-file", "in/m"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadFileText(root.path / "victim"), "keep");
  EXPECT_FALSE(fs::is_symlink(root.path / "box.smd"));
}

TEST(OutputLinks, BadJobCountsAndUncreatableOutputFoldersAreWrongCommandLines) {
  ScratchDir root;
  tb::WriteFileBytes((root.path / "file").string(), {'x'});
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-file", "m", "-jobs", "0"},
                                               {"-file", "m", "-jobs", "two"},
                                               {"-file", "m", "-out", "file/sub"}}) {
    ToolRun run = RunTool(root.path, args);
    EXPECT_EQ(run.status, 64) << args.back();
    EXPECT_FALSE(run.console.empty());
  }
}

}  // namespace
