// Runs that are interrupted, and runs that share their output folder with
// another: a signal removes the run's temporary files, says "Interrupted" on
// standard error and ends the run with 128 + the signal; two runs writing the
// same names leave whole files, each one run's; someone else's
// temporary-looking file is never touched.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/hostile/hostile_support.h"

namespace fs = std::filesystem;

namespace {

// One animation "long" of `frames` frames over `bones` bones, all with raw
// poses that differ by `seed`, plus the box mesh.
tb::BuiltModel BigAnimation(int bones, int32_t frames, float seed) {
  tb::ModelDescription d = tb::BoxModel(37);
  d.bones = tb::BoneChain(bones);
  tb::AnimationDescription anim;
  anim.name = "long";
  anim.frameCount = frames;
  for (int b = 0; b < bones; ++b) anim.bones.push_back(tb::RawBoneAnim({seed, float(b), 0.5f}));
  d.animations = {anim};
  d.bodyParts[0].subModels[0].vertices[0].position.x = seed;
  return tb::BuildModel(d);
}

void WriteInputs(const fs::path& folder, const std::string& base, const tb::BuiltModel& built) {
  tb::WriteFileBytes((folder / (base + ".mdl")).string(), built.model.bytes);
  tb::WriteFileBytes((folder / (base + ".dx80.vtx")).string(), built.strip.bytes);
}

// Waits (up to 20 s) until a temporary file below `folder` holds more than
// 1 MB: the run is in the middle of its animation.
bool WaitForLargeTemporaryFile(const fs::path& folder) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < end) {
    for (const std::string& name : TemporaryFilesIn(folder)) {
      std::error_code error;
      if (fs::file_size(folder / name, error) > (1u << 20) && !error) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

TEST(Interruption, ASignalRemovesTheTemporaryFilesAndEndsWith128PlusIt) {
  // About 4 GB of animation if it were let run.
  const tb::BuiltModel built = BigAnimation(50, 1000000, 1);
  ScratchDir scratch;
  fs::create_directories(scratch.path / "in");
  WriteInputs(scratch.path / "in", "m", built);
  // Someone else's file with a name like the tool's temporaries.
  const fs::path foreign = scratch.path / "out" / ".tamberlo-0123456789abcdef.part";
  struct Case {
    int signal;
    const char* jobs;
  };
  for (const Case& c : {Case{SIGTERM, "1"}, Case{SIGTERM, "3"}, Case{SIGINT, "2"}, Case{SIGHUP, "1"}}) {
    SCOPED_TRACE(c.signal);
    fs::remove_all(scratch.path / "out");
    fs::create_directories(scratch.path / "out");
    tb::WriteFileBytes(foreign.string(), {'m', 'i', 'n', 'e'});
    const StartedTool tool = StartTool(scratch.path / "out", {"-file", "../in/m", "-jobs", c.jobs},
                                       scratch.path / "console.txt");
    ASSERT_GT(tool.pid, 0);
    const bool running = WaitForLargeTemporaryFile(scratch.path / "out");
    ::kill(tool.pid, c.signal);
    ASSERT_TRUE(running);
    const ToolRun run = WaitForTool(tool);
    EXPECT_EQ(run.status, 128 + c.signal) << run.console;
    EXPECT_EQ(run.errors, "Interrupted\n");
    EXPECT_EQ(TemporaryFilesIn(scratch.path / "out"), std::vector<std::string>{foreign.filename().string()});
    EXPECT_FALSE(fs::exists(scratch.path / "out" / "long.smd"));
    EXPECT_EQ(ReadFileText(foreign), "mine");
  }
}

TEST(Interruption, TwoRunsIntoOneFolderLeaveWholeFilesOfOneRunEach) {
  // Two models whose outputs have the same names and different bytes.
  const tb::BuiltModel first = BigAnimation(40, 3000, 1);
  const tb::BuiltModel second = BigAnimation(40, 3000, 2);
  ScratchDir scratch;
  fs::create_directories(scratch.path / "in");
  WriteInputs(scratch.path / "in", "first", first);
  WriteInputs(scratch.path / "in", "second", second);
  const std::vector<std::string> names = {"box.smd", "long.smd"};

  // What each writes alone.
  std::map<std::string, std::string> alone[2];
  for (int i = 0; i < 2; ++i) {
    const fs::path folder = scratch.path / ("alone" + std::to_string(i));
    fs::create_directories(folder);
    ASSERT_EQ(RunTool(folder, {"-file", i == 0 ? "../in/first" : "../in/second"}).status, 1);
    for (const std::string& name : names) alone[i][name] = ReadFileText(folder / name);
  }
  for (const std::string& name : names) ASSERT_NE(alone[0][name], alone[1][name]) << "the models must differ";

  const fs::path shared = scratch.path / "shared";
  fs::create_directories(shared);
  for (int round = 0; round < 3; ++round) {
    const StartedTool a = StartTool(shared, {"-file", "../in/first"}, scratch.path / "a.txt");
    const StartedTool b = StartTool(shared, {"-file", "../in/second", "-jobs", "1"}, scratch.path / "b.txt");
    EXPECT_EQ(WaitForTool(a).status, 1);
    EXPECT_EQ(WaitForTool(b).status, 1);
    for (const std::string& name : names) {
      const std::string text = ReadFileText(shared / name);
      EXPECT_TRUE(text == alone[0][name] || text == alone[1][name]) << name << " is neither run's whole file";
    }
    EXPECT_TRUE(TemporaryFilesIn(shared).empty());
  }
}

}  // namespace
