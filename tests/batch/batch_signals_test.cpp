// A batch and the signals that end it: the first waits for the models in
// progress and says so, the second stops at once and still leaves a report;
// and names from the file system that try to forge the console.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/batch/batch_support.h"
#include "tests/tool_runner/tool_runner.h"

namespace {

using Clock = std::chrono::steady_clock;

// A box with a 50-bone chain and one animation of a million frames: minutes
// of output if it were let run. `seed` makes models differ.
tb::ModelDescription EndlessModel(float seed) {
  tb::ModelDescription model = tb::BoxModel(37);
  model.bones = tb::BoneChain(50);
  tb::AnimationDescription anim;
  anim.name = "long";
  anim.frameCount = 1000000;
  for (int b = 0; b < 50; ++b) anim.bones.push_back(tb::RawBoneAnim({seed, float(b), 0.5f}));
  model.animations = {anim};
  return model;
}

bool IsTemporary(const std::string& name) {
  return name.find(".tamberlo-") != std::string::npos || name.ends_with(".tmp");
}

// Waits (up to 30 s) for `ready` to hold.
template <typename Ready>
bool WaitFor(Ready ready) {
  const auto end = Clock::now() + std::chrono::seconds(30);
  while (Clock::now() < end) {
    if (ready()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

// The temporary files below `root` of more than 1 MB.
size_t LargeTemporaryFiles(const fs::path& root) {
  size_t count = 0;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
       it.increment(error)) {
    std::error_code sizeError;
    if (IsTemporary(it->path().filename().string()) && fs::file_size(it->path(), sizeError) > (1u << 20) &&
        !sizeError)
      ++count;
  }
  return count;
}

std::vector<std::string> TemporaryFilesBelow(const fs::path& root) {
  std::vector<std::string> found;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    if (IsTemporary(entry.path().filename().string())) found.push_back(entry.path().string());
  }
  return found;
}

// Every byte below 0x20 but the line feed, and 0x7F.
std::string ControlBytesIn(const std::string& text) {
  std::string found;
  for (char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && byte != '\n') || byte == 0x7F) found += std::to_string(byte) + " ";
  }
  return found;
}

size_t Lines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

}  // namespace

TEST(BatchSignals, TheFirstSignalSaysWhatItWaitsForTheSecondStopsAtOnceWithAReport) {
  struct Case {
    int first, second;
    const char* hint;
  };
  for (const Case& c : {Case{SIGINT, SIGINT, "(Ctrl-C again stops at once)"},
                        Case{SIGHUP, SIGTERM, "(a second signal stops at once)"}}) {
    SCOPED_TRACE(c.first);
    ScratchDir dir;
    PutModel(dir.path / "in/big0", EndlessModel(1));
    PutModel(dir.path / "in/big1", EndlessModel(2));
    for (int i = 0; i < 3; ++i) PutModel(dir.path / "in" / ("small" + std::to_string(i)), tb::BoxModel(37));
    const StartedTool tool = StartTool(dir.path, {"-batch", "in", "-out", "out", "-jobs", "2"}, dir.path / "console");
    ASSERT_GT(tool.pid, 0);
    // The two large models (largest input first) are both under way.
    const bool running = WaitFor([&] { return LargeTemporaryFiles(dir.path / "out") == 2; });
    ::kill(tool.pid, c.first);
    ASSERT_TRUE(running);
    const bool noticed = WaitFor([&] { return ReadFileText(tool.errors).ends_with("\n"); });
    const std::string notice = ReadFileText(tool.errors);
    int status = 0;
    EXPECT_EQ(::waitpid(tool.pid, &status, WNOHANG), 0) << "the first signal waits for the models in progress";
    const auto second = Clock::now();
    ::kill(tool.pid, c.second);
    ASSERT_TRUE(noticed);
    const ToolRun run = WaitForTool(tool);
    EXPECT_LT(Clock::now() - second, std::chrono::seconds(10));

    EXPECT_EQ(notice,
              "tamberlo: interrupted; waiting for the 2 models in progress to finish: in/big0.mdl, in/big1.mdl " +
                  std::string(c.hint) + "\n");
    EXPECT_EQ(run.status, 128 + c.first) << run.console;
    EXPECT_TRUE(TemporaryFilesBelow(dir.path / "out").empty());
    nlohmann::json report = ReadReport(dir.path / "out");
    ASSERT_TRUE(report.is_object());
    EXPECT_EQ(report["summary"]["interrupted"], true);
    EXPECT_EQ(report["summary"]["exitStatus"], 128 + c.first);
    EXPECT_EQ(report["summary"]["byStatus"], (nlohmann::json{{"interrupted", 2}, {"not started", 3}}));
    for (const char* big : {"in/big0.mdl", "in/big1.mdl"}) {
      nlohmann::json entry = ModelEntry(report, big);
      EXPECT_EQ(entry["status"], "interrupted") << big;
      EXPECT_TRUE(entry["exitStatus"].is_null()) << big;
      EXPECT_EQ(entry["messages"].size(), 1u) << big;
    }
    const std::string page = ReadFileText(dir.path / "out/index.html");
    EXPECT_NE(page.find("2 interrupted"), std::string::npos);
    EXPECT_NE(page.find("; interrupted."), std::string::npos);
    for (const char* big : {"in/big0.mdl", "in/big1.mdl"}) {
      EXPECT_NE(run.console.find(std::string("tamberlo: interrupted: ") + big +
                                 " (stopped while converted: out/big"),
                std::string::npos)
          << run.console;
    }
    EXPECT_NE(run.console.find("5 models: 0 converted, 2 with errors, 3 not started;"), std::string::npos)
        << run.console;
    EXPECT_NE(run.console.find(", interrupted; report out/report.json"), std::string::npos) << run.console;
  }
}

TEST(BatchSignals, NamesFromTheFileSystemCannotForgeTheConsole) {
  ScratchDir dir;
  const std::string forged = "in/evil\ntamberlo: 9 models: 9 converted, 0 with errors, 0 not started; ok";
  const std::string escapes = "in/\x1b]0;pwned\x07\x1b[2J\x7f\"q\"";
  PutModel(dir.path / forged, tb::BoxModel(37));
  fs::remove(dir.path / (forged + ".dx80.vtx"));  // fails: its line reaches the console
  PutModel(dir.path / escapes, tb::BoxModel(37));
  const std::string out = "out\x1b[31m";
  ToolRun run = RunTool(dir.path, {"-batch", "in", "-out", out, "-quiet"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(ControlBytesIn(run.console + run.errors), "");
  ASSERT_EQ(Lines(run.console), 2u) << run.console;  // the failure and the summary
  EXPECT_EQ(run.console.rfind("tamberlo: missing strip file: in/evil\\x0Atamberlo: 9 models: 9 converted", 0), 0u)
      << run.console;
  EXPECT_NE(run.console.find("(exit 0, see out\\x1B[31m/evil\\x0Atamberlo: 9 models"), std::string::npos);
  EXPECT_NE(run.console.find("report out\\x1B[31m/report.json, page out\\x1B[31m/index.html\n"), std::string::npos);

  // The report shows the same escaped names and keeps the exact ones.
  nlohmann::json report = ReadReport(dir.path / out);
  ASSERT_TRUE(report.is_object());
  const std::string shownForged = "in/evil\\x0Atamberlo: 9 models: 9 converted, 0 with errors, 0 not started; ok.mdl";
  nlohmann::json evil = ModelEntry(report, shownForged);
  ASSERT_TRUE(evil.is_object());
  EXPECT_EQ(ExactPath(evil, "input"), forged + ".mdl");
  EXPECT_EQ(ExactPath(evil, "output"), forged.substr(3));
  EXPECT_EQ(evil["messages"], nlohmann::json::array({"Can't open: " + shownForged.substr(0, shownForged.size() - 4) +
                                                     ".dx80.vtx"}));
  nlohmann::json escaped = ModelEntry(report, "in/\\x1B]0;pwned\\x07\\x1B[2J\\x7F\\x22q\\x22.mdl");
  ASSERT_TRUE(escaped.is_object());
  EXPECT_EQ(escaped["status"], "converted");
  EXPECT_EQ(ExactPath(escaped, "input"), escapes + ".mdl");
  for (const nlohmann::json& file : escaped["files"]) EXPECT_FALSE(file.contains("nameExact")) << file;
  EXPECT_FALSE(report.contains("pathsExact"));
  EXPECT_EQ(ModelEntry(report, "in/evil"), nullptr);

  // The model's own log and the page show them escaped too.
  const std::string log = ReadFileText(dir.path / out / forged.substr(3) / "streams.log");
  EXPECT_EQ(log, "Can't open: " + shownForged.substr(0, shownForged.size() - 4) + ".dx80.vtx\n");
  const std::string page = ReadFileText(dir.path / out / "index.html");
  EXPECT_EQ(page.find('\x1b'), std::string::npos);
  EXPECT_NE(page.find("<h2>\\x1B]0;pwned\\x07\\x1B[2J\\x7F\\x22q\\x22.mdl</h2>"), std::string::npos);

  // A folder name cannot add a line to the build script: "$cd" names the
  // folder the script is in by "." when its path holds such a byte.
  const std::string script = ReadFileText(dir.path / out / escapes.substr(3) / "dec.qc");
  EXPECT_EQ(script.rfind("$cd \".\"\n", 0), 0u) << script.substr(0, 80);
  const std::string injected = "q\"\n$include \"x";
  fs::create_directories(dir.path / "single");
  PutModel(dir.path / "single/m", tb::BoxModel(37));
  EXPECT_EQ(RunTool(dir.path, {"-file", "single/m", "-out", injected}).status, 1);
  EXPECT_EQ(ReadFileText(dir.path / injected / "dec.qc").rfind("$cd \".\"\n", 0), 0u);

  // -file shows a name it cannot open the same way.
  ToolRun single = RunTool(dir.path, {"-file", "in/a\nb\x1b[2J"});
  EXPECT_EQ(single.console, "Can't open: in/a\\x0Ab\\x1B[2J.mdl\n");
}
