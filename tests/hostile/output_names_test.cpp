// Names from the model that would write outside the current folder, names
// into folders that do not exist, and files that cannot be written whole.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/hostile/hostile_support.h"

namespace fs = std::filesystem;

namespace {

// The box model with its animation and its sub-model renamed.
tb::BuiltModel Renamed(const std::string& animation, const std::string& subModel) {
  tb::ModelDescription description = tb::BoxModel(37);
  description.animations[0].name = animation;
  description.bodyParts[0].subModels[0].name = subModel;
  return tb::BuildModel(description);
}

TEST(OutputNames, NamesLeavingTheFolderAreRefused) {
  HostileFolders folders;
  // An absolute name that points into the parent folder, which must stay
  // empty apart from the work folder.
  const std::string absolute = (folders.parent.path / "abs").string();
  ASSERT_LT(absolute.size(), 68u) << "the sub-model's inline name holds 71 characters";
  struct Case {
    std::string name;
    std::string animationFile;  // as refused: the name and ".smd"
    std::string meshFile;       // the base name: backslashes turned into slashes
  };
  const Case cases[] = {
      {"../x", "../x.smd", "../x.smd"},
      {absolute, absolute + ".smd", absolute + ".smd"},
      {"C:x", "C:x.smd", "C:x.smd"},
      {"a\\..\\..\\x", "a\\..\\..\\x.smd", "a/../../x.smd"},
      {"ok/../../x", "ok/../../x.smd", "ok/../../x.smd"},
  };
  for (const Case& c : cases) {
    fs::remove_all(folders.work);
    fs::create_directories(folders.work / "in");
    fs::create_directories(folders.work / "ok");
    const tb::BuiltModel built = Renamed(c.name, c.name);
    const HostileRun run = RunToolIn(folders, built.model.bytes, built.strip.bytes);
    ExpectContained(run, c.name);
    EXPECT_EQ(run.status, 2) << c.name;
    EXPECT_NE(run.console.find("Refused output name outside the current folder: " + c.animationFile + "\n"),
              std::string::npos)
        << run.console;
    EXPECT_NE(run.console.find("Refused output name outside the current folder: " + c.meshFile + "\n"),
              std::string::npos)
        << run.console;
    // The script is written; the refused files are nowhere.
    EXPECT_EQ(OutputNames(run), std::set<std::string>{"dec.qc"}) << c.name;
    EXPECT_FALSE(fs::exists(folders.parent.path / "x.smd"));
  }
}

TEST(OutputNames, FolderPartsStayInsideTheFolderAndNoneIsCreated) {
  HostileFolders folders;
  fs::create_directories(folders.work / "parts");
  const tb::BuiltModel built = Renamed("parts/walk", "missing\\arm.mdl");
  const HostileRun run = RunToolIn(folders, built.model.bytes, built.strip.bytes);
  ExpectContained(run, "folder parts");
  // The existing folder takes the animation; the missing one is not created.
  EXPECT_EQ(OutputNames(run), (std::set<std::string>{"dec.qc", "parts/walk.smd"}));
  EXPECT_NE(run.console.find("Can't open: missing/arm.smd\n"), std::string::npos) << run.console;
  EXPECT_FALSE(fs::exists(folders.work / "missing"));
  // A file that cannot be created is not damaged input: the run keeps status 1.
  EXPECT_EQ(run.status, 1);
}

TEST(OutputNames, FileSizeLimitBecomesAReportedWriteFailure) {
  // At most 512 bytes per file: the box's mesh file (about 3 KB) cannot be
  // written, while dec.qc and the two-frame animation fit.
  HostileFolders folders;
  const tb::BuiltModel built = tb::BuildModel(tb::BoxModel(37));
  const HostileRun run = RunToolIn(folders, built.model.bytes, built.strip.bytes, 512);
  ExpectContained(run, "file size limit");
  EXPECT_EQ(run.status, 2) << run.console;
  EXPECT_NE(run.console.find("Write failed: box.smd ("), std::string::npos) << run.console;
  EXPECT_EQ(OutputNames(run), (std::set<std::string>{"dec.qc", "idle.smd"}));

  // Without the limit the same model is written whole.
  const HostileRun whole = RunToolOnImages(built.model.bytes, built.strip.bytes);
  EXPECT_EQ(whole.status, 1);
  EXPECT_GT(whole.outputs.at("box.smd").size(), 512u);
  EXPECT_EQ(whole.outputs.at("dec.qc"), run.outputs.at("dec.qc"));
}

TEST(OutputNames, AnEarlierGoodFileSurvivesADamagedRewrite) {
  HostileFolders folders;
  tb::BuiltModel built = tb::BuildModel(tb::BoxModel(37));
  const HostileRun good = RunToolIn(folders, built.model.bytes, built.strip.bytes);
  ASSERT_EQ(good.status, 1);
  // The same model with the animation's per-bone records moved out of the
  // file: its second run must leave the first run's idle.smd as it was.
  tb::PutI32(built.model.bytes, tb::AnimDescAt(built, 0) + 48, 1 << 30);
  const HostileRun damaged = RunToolIn(folders, built.model.bytes, built.strip.bytes);
  ExpectContained(damaged, "rewrite");
  EXPECT_EQ(damaged.status, 2);
  EXPECT_EQ(damaged.outputs.at("idle.smd"), good.outputs.at("idle.smd"));
}

}  // namespace

namespace {

TEST(OutputNames, ALogThatCannotBeWrittenWholeIsSaidOnceAndEndsWithErrors) {
  // The log already holds as much as a file may: every line appended fails.
  HostileFolders folders;
  const std::string before(4096, 'x');
  tb::WriteFileBytes((folders.work / "streams.log").string(), std::vector<uint8_t>(before.begin(), before.end()));
  const tb::BuiltModel built = tb::BuildModel(tb::BoxModel(37));
  const HostileRun run = RunToolIn(folders, built.model.bytes, built.strip.bytes, before.size());
  ExpectContained(run, "log not written");
  EXPECT_EQ(run.status, 2) << run.console;
  const std::string failure = "Log file streams.log not written completely: File too large\n";
  EXPECT_EQ(run.console.find(failure), std::string("Decompiled 37 mode\n").size()) << run.console;
  EXPECT_EQ(run.console.find(failure), run.console.rfind(failure));
  EXPECT_EQ(ReadFileText(folders.work / "streams.log"), before);
  // The conversion itself goes on.
  EXPECT_EQ(OutputNames(run), (std::set<std::string>{"dec.qc", "box.smd", "idle.smd"}));
}

}  // namespace
