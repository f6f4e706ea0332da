// The command line: help, version, the batch options and the exit statuses,
// a full output, and an interrupted batch.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "driver/version.h"
#include "tests/batch/batch_support.h"
#include "tests/tool_runner/tool_runner.h"
#include "tools/sample_model.h"

namespace {

// A box whose one animation has `frames` frames: one large output file.
tb::ModelDescription LongBox(int frames) {
  tb::ModelDescription model = tb::BoxModel(37);
  model.animations[0].frameCount = frames;
  return model;
}

// Runs the tool under `bash -c` with a file size limit in KiB.
int RunWithFileLimit(const fs::path& dir, int kib, const std::string& args) {
  std::string command = "cd '" + dir.string() + "' && ulimit -f " + std::to_string(kib) + " && exec '" +
                        ToolPath() + "' " + args + " >/dev/null 2>&1";
  int status = std::system(("bash -c \"" + command + "\"").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(BatchCommand, HelpPointsOnAndItsFirstVersionTopicNamesEveryOption) {
  ScratchDir dir;
  const std::string screen = RunTool(dir.path, {"help"}).console;
  for (const char* option : {"-h", "-help", "--help", "-HELP"}) {
    ToolRun run = RunTool(dir.path, {option});
    EXPECT_EQ(run.status, 0) << option;
    EXPECT_EQ(run.console, screen) << option;
  }
  ToolRun first = RunTool(dir.path, {"help", "file"});
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(first.console.rfind("Use: Tamberlo.exe -file <Model Name>\n", 0), 0u);
  for (const char* named : {"-file", "-out", "-jobs", "-batch", "-quiet", "-follow-links", "-format", "-max-output",
                            "-preview", "-preview-size", "report.json", "130", "64"})
    EXPECT_NE(first.console.find(named), std::string::npos) << named;
  // Help is not a conversion: nothing is logged.
  EXPECT_FALSE(fs::exists(dir.path / "streams.log"));
  // As the value of -file it is a model name.
  ToolRun named = RunTool(dir.path, {"-file", "-h"});
  EXPECT_EQ(named.status, 0);
  EXPECT_EQ(named.console, "Can't open: -h.mdl\n");

  ToolRun version = RunTool(dir.path, {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.console, std::string("tamberlo ") + kToolVersion + "\n");
  EXPECT_NE(std::string(kToolVersion).find('.'), std::string::npos);
}

TEST(BatchCommand, ExitStatusIsZeroTwoOrSixtyFour) {
  ScratchDir dir;
  PutModel(dir.path / "good/a", SampleModel(37));
  PutModel(dir.path / "good/sub/b", SampleModel(29));
  PutModel(dir.path / "bad/c", SampleModel(37));
  fs::remove(dir.path / "bad/c.dx80.vtx");
  ToolRun good = RunTool(dir.path, {"-BATCH", "good", "-Out", "out-good", "-Jobs", "2", "-Quiet"});
  EXPECT_EQ(good.status, 0);
  EXPECT_EQ(good.console.find("tamberlo: 2 models: 2 converted, 0 with errors, 0 not started;"), 0u)
      << good.console;
  EXPECT_EQ(RunTool(dir.path, {"-batch", "good", "bad", "-out", "out-bad"}).status, 2);
  // A PATH that names nothing is a model that cannot be read.
  ToolRun missing = RunTool(dir.path, {"-batch", "nothing", "-out", "out-missing"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(ModelEntry(ReadReport(dir.path / "out-missing"), "nothing.mdl")["status"], "unreadable");

  const std::vector<std::vector<std::string>> wrong = {
      {"-batch", "good"},
      {"-batch", "good", "-out"},
      {"-batch", "-out", "out-x"},
      {"-batch", "good", "-out", "out-x", "-jobs", "0"},
      {"-batch", "good", "-out", "out-x", "-jobs", "two"},
      {"-batch", "good", "-out", "out-x", "-jobs", "1025"},
      {"-batch", "good", "-out", "out-x", "-file", "good/a"},
      {"-batch", "", "-out", "out-x"},
  };
  for (const std::vector<std::string>& args : wrong) {
    ToolRun run = RunTool(dir.path, args);
    EXPECT_EQ(run.status, 64) << args.size();
    EXPECT_EQ(run.console, "");
    EXPECT_EQ(run.errors.rfind("tamberlo: ", 0), 0u) << run.errors;
    EXPECT_NE(run.errors.find("Use: tamberlo -batch PATH... -out DIR"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(dir.path / "out-x"));
  // An output root that cannot be made.
  WriteFileBytes(dir.path / "plain", {'x'});
  EXPECT_EQ(RunTool(dir.path, {"-batch", "good", "-out", "plain/out"}).status, 64);
}

TEST(BatchCommand, AFileThatCannotBeWrittenFailsItsModelAndTheBatch) {
  ScratchDir dir;
  PutModel(dir.path / "in/long", LongBox(3000));  // its animation file is far above 64 KiB
  PutModel(dir.path / "in/short", tb::BoxModel(37));
  EXPECT_EQ(RunWithFileLimit(dir.path, 64, "-batch in -out out -jobs 2"), 2);
  nlohmann::json report = ReadReport(dir.path / "out");
  ASSERT_TRUE(report.is_object());
  nlohmann::json longEntry = ModelEntry(report, "in/long.mdl");
  EXPECT_EQ(longEntry["status"], "write failed");
  EXPECT_EQ(longEntry["exitStatus"], 2);
  EXPECT_EQ(longEntry["messages"].back(), "Write failed: idle.smd (File too large)");
  for (const nlohmann::json& file : longEntry["files"]) EXPECT_NE(file["name"], "idle.smd");
  EXPECT_EQ(ModelEntry(report, "in/short.mdl")["status"], "converted");
  EXPECT_FALSE(fs::exists(dir.path / "out/long/idle.smd"));
}

TEST(BatchCommand, InterruptFinishesTheModelsInProgressAndWritesTheReport) {
  // SIGHUP (the terminal went away) is one more way to ask the same.
  for (int signal : {SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    ScratchDir dir;
    for (int i = 0; i < 50; ++i) {
      const std::string number = std::to_string(i);  // "m" + a temporary: GCC 12 -Wrestrict at -O3
      PutModel(dir.path / "in" / ("m" + number), LongBox(30000));
    }
    const StartedTool tool =
        StartTool(dir.path, {"-batch", "in", "-out", "out", "-jobs", "1"}, dir.path / ".console.txt");
    ASSERT_GT(tool.pid, 0);
    // The first report is written once the models are found, with the handler in place.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(dir.path / "out/report.json") && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ::kill(tool.pid, signal);
    ToolRun run = WaitForTool(tool);
    EXPECT_EQ(run.status, 128 + signal);
    nlohmann::json report = ReadReport(dir.path / "out");
    ASSERT_TRUE(report.is_object());
    EXPECT_EQ(report["summary"]["interrupted"], true);
    EXPECT_EQ(report["summary"]["exitStatus"], 128 + signal);
    EXPECT_GT(report["summary"]["notStarted"], 0);
    EXPECT_EQ(report["summary"]["converted"].get<int>() + report["summary"]["notStarted"].get<int>(), 50);
    for (const nlohmann::json& entry : report["models"]) {
      if (entry["status"] == "not started") {
        EXPECT_TRUE(entry["exitStatus"].is_null());
        EXPECT_FALSE(fs::exists(dir.path / "out" / entry["output"].get<std::string>()));
      } else {
        EXPECT_EQ(entry["status"], "converted");  // finished whole
      }
    }
    EXPECT_NE(run.console.find(", interrupted; report out/report.json"), std::string::npos) << run.console;
    // Nothing half-written is left: no temporary output file, no temporary report.
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir.path / "out")) {
      std::string name = entry.path().filename().string();
      EXPECT_EQ(name.find(".tamberlo-"), std::string::npos) << name;
      EXPECT_EQ(name.find(".report.json"), std::string::npos) << name;
    }
  }
}

TEST(BatchCommand, AFullDiskEndsTheModelsInProgressAndStartsNoMore) {
  ScratchDir dir;
  fs::create_directory(dir.path / "small");
  // A small file system of its own: needs the right to mount, as root has.
  if (std::system(("mount -t tmpfs -o size=256k tmpfs '" + (dir.path / "small").string() + "' 2>/dev/null").c_str()) !=
      0)
    GTEST_SKIP() << "cannot mount a small file system here";
  for (int i = 0; i < 20; ++i) {
    const std::string number = std::to_string(i);  // "m" + a temporary: GCC 12 -Wrestrict at -O3
    PutModel(dir.path / "in" / ("m" + number), LongBox(20000));
  }
  ToolRun run = RunTool(dir.path, {"-batch", "in", "-out", "small/out", "-jobs", "2"});
  std::system(("umount '" + (dir.path / "small").string() + "'").c_str());
  EXPECT_EQ(run.status, 2);
  size_t failed = 0;
  for (size_t at = 0; (at = run.console.find("tamberlo: write failed: in/m", at)) != std::string::npos; ++at) ++failed;
  EXPECT_GE(failed, 1u) << run.console;
  EXPECT_LE(failed, 2u) << run.console;  // only the models in progress
  EXPECT_NE(run.console.find(" 0 converted, " + std::to_string(failed) + " with errors, " +
                             std::to_string(20 - failed) + " not started;"),
            std::string::npos)
      << run.console;
}

namespace {

// -format and -max-output hold for every model of a batch, each model with a
// limit of its own.
TEST(BatchCommand, FormatAndOutputLimitApplyToEachModel) {
  ScratchDir dir;
  PutModel(dir.path / "in/a", SampleModel(37));
  PutModel(dir.path / "in/sub/b", SampleModel(29));
  ToolRun run = RunTool(dir.path, {"-batch", "in", "-out", "out", "-format", "all", "-jobs", "2"});
  EXPECT_EQ(run.status, 0) << run.console;
  for (const char* glb : {"out/a/a.glb", "out/sub/b/b.glb"}) EXPECT_TRUE(fs::exists(dir.path / glb)) << glb;
  EXPECT_TRUE(fs::exists(dir.path / "out/a/dec.qc"));

  run = RunTool(dir.path, {"-batch", "in", "-out", "small", "-max-output", "1K"});
  EXPECT_EQ(run.status, 2);
  for (const char* log : {"small/a/streams.log", "small/sub/b/streams.log"})
    EXPECT_NE(ReadFileText(dir.path / log).find("Output limit reached (1K): "), std::string::npos) << log;

  EXPECT_EQ(RunTool(dir.path, {"-batch", "in", "-out", "x", "-format", "obj"}).status, 64);
}

}  // namespace
