// `tamberlo convert` as a process: where models go, the exit statuses,
// problems on standard error only, nothing written for a wrong command line,
// folders as batches, the help, the man page and the completion.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "driver/option_table.h"
#include "tests/batch/batch_support.h"
#include "tests/tool_runner/tool_runner.h"
#include "tools/sample_model.h"
#include "tests/support/text_lines.h"

namespace {

// Every entry below `dir`, by relative path.
std::vector<std::string> Entries(const fs::path& dir) {
  std::vector<std::string> entries;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir))
    entries.push_back(fs::relative(entry.path(), dir).string());
  std::sort(entries.begin(), entries.end());
  return entries;
}

// A box whose one animation has `frames` frames.
tb::ModelDescription LongBox(int frames) {
  tb::ModelDescription model = tb::BoxModel(37);
  model.animations[0].frameCount = frames;
  return model;
}

}  // namespace

TEST(ConvertCommand, EachModelGoesIntoAFolderNamedAfterIt) {
  ScratchDir dir;
  PutModel(dir.path / "in/car", SampleModel(37));
  fs::create_directory(dir.path / "here");
  const ToolRun run = RunTool(dir.path / "here", {"convert", "../in/car.mdl"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(run.console.rfind("Decompiled 37 mode\n", 0), 0u) << run.console;
  EXPECT_EQ(Entries(dir.path / "here").front(), "car");
  EXPECT_EQ(run.console, ReadFileText(dir.path / "here/car/streams.log"));
  const auto files = TreeFiles(dir.path / "here/car");
  EXPECT_TRUE(files.count("dec.qc"));

  // --out=DIR and --out DIR, named by either file of the pair or none: the
  // same files, below DIR; -q keeps the console empty.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"convert", "--out=o1", "in/car"}, {"convert", "--out", "o2", "in/car.dx80.vtx"},
        {"convert", "-q", "-o", "o3", "in/car.mdl"}}) {
    const ToolRun named = RunTool(dir.path, args);
    EXPECT_EQ(named.status, 0) << args[2];
    EXPECT_EQ(named.errors, "");
    EXPECT_EQ(named.console.empty(), args[1] == "-q") << args[1];
  }
  for (const char* out : {"o1", "o2", "o3"}) {
    const fs::path folder = dir.path / out / "car";
    EXPECT_EQ(Entries(dir.path / out).front(), "car");
    EXPECT_EQ(ReadFileText(folder / "idle.smd"), files.at("idle.smd")) << out;
  }
  EXPECT_FALSE(fs::exists(dir.path / "dec.qc"));
  EXPECT_FALSE(fs::exists(dir.path / "streams.log"));
}

TEST(ConvertCommand, ExitStatusSaysWhetherEveryModelWasConverted) {
  ScratchDir dir;
  PutModel(dir.path / "good", SampleModel(37));
  PutModel(dir.path / "new", SampleModel(38));
  PutModel(dir.path / "nostrip", SampleModel(37));
  fs::remove(dir.path / "nostrip.dx80.vtx");
  PutModel(dir.path / "cut", SampleModel(37));
  const std::string model = ReadFileText(dir.path / "cut.mdl");
  WriteFileBytes(dir.path / "cut.mdl", std::vector<unsigned char>(model.begin(), model.begin() + 400));
  WriteFileBytes(dir.path / "plain", {'x'});
  PutModel(dir.path / "sub/good", SampleModel(37));
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string errors;  // standard error, whole
  };
  const Case cases[] = {
      {{"convert", "good"}, 0, ""},
      // The folder "good" made by that run does not hide the model "good".
      {{"convert", "good"}, 0, ""},
      {{"convert", "missing"}, 1, "tamberlo: cannot read: missing.mdl: No such file or directory\n"},
      {{"convert", "nostrip.mdl"}, 1, "tamberlo: cannot read: nostrip.dx80.vtx: No such file or directory\n"},
      {{"convert", "new"}, 1, "tamberlo: unsupported version: new.mdl: 38 (28 to 37 are read)\n"},
      {{"convert", "cut"}, 1, "tamberlo: converted with errors: cut.mdl: see cut/streams.log\n"},
      {{"convert", "--max-output", "1K", "-o", "small", "good"}, 1,
       "tamberlo: converted with errors: good.mdl: see small/good/streams.log\n"},
      // One failure among good models; two models cannot share a folder.
      {{"convert", "good", "missing", "-o", "both"}, 1,
       "tamberlo: cannot read: missing.mdl: No such file or directory\n"},
      {{"convert", "good", "--", "sub/good.mdl"}, 1,
       "tamberlo: not converted: sub/good.mdl: its output folder good is also the one of good.mdl\n"},
      {{"convert", "-o", "plain/out", "good"}, 1,
       "tamberlo: cannot create the output folder: plain/out: Not a directory\n"},
      {{"convert", "--jobs", "x", "good"}, 64, "tamberlo: --jobs takes a whole number from 1 to 1024, not \"x\"\n"},
  };
  for (const Case& c : cases) {
    const ToolRun run = RunTool(dir.path, c.args);
    EXPECT_EQ(run.status, c.status) << c.args[1];
    EXPECT_EQ(run.errors, c.errors) << c.args[1];
    // Problems are never on standard output.
    EXPECT_EQ(run.console.find("tamberlo:"), std::string::npos) << run.console;
  }
  // A model that cannot be read leaves no folder behind.
  EXPECT_FALSE(fs::exists(dir.path / "missing"));
  EXPECT_TRUE(fs::exists(dir.path / "both/good/dec.qc"));
  EXPECT_NE(ReadFileText(dir.path / "small/good/streams.log").find("Output limit reached (1K)"), std::string::npos);
}

TEST(ConvertCommand, AWrongCommandLineWritesNothing) {
  ScratchDir dir;
  PutModel(dir.path / "in/car", SampleModel(37));
  const std::vector<std::string> before = Entries(dir.path);
  const std::vector<std::vector<std::string>> wrong = {
      {"convert", "--outt", "o", "in/car"}, {"convert", "-out", "o", "in/car"}, {"convert", "in/car", "--out"},
      {"convert", "--bogus", "in"},         {"convert"},                        {"convert", "-j", "0", "in"},
      {"convert", "--format=obj", "in"},    {"convert", "--preview=9", "in"},   {"convert", "--quiet=1", "in"},
      {"convert", ""},                      {"convert", "in", "-o", "in"},      {"help", "nothing"},
  };
  for (const std::vector<std::string>& args : wrong) {
    const ToolRun run = RunTool(dir.path, args);
    EXPECT_EQ(run.status, 64) << args.back();
    EXPECT_EQ(run.console, "") << args.back();
    ASSERT_EQ(Lines(run.errors).size(), 1u) << run.errors;
    EXPECT_EQ(run.errors.rfind("tamberlo: ", 0), 0u) << run.errors;
    EXPECT_EQ(Entries(dir.path), before) << args.back();
  }
  EXPECT_EQ(RunTool(dir.path, {"convert", "--outt", "o", "in/car"}).errors,
            "tamberlo: unknown option --outt; did you mean --out?\n");
}

TEST(ConvertCommand, AFolderIsConvertedAsABatch) {
  ScratchDir dir;
  PutModel(dir.path / "in/a", SampleModel(37));
  PutModel(dir.path / "in/sub/b", SampleModel(29));
  PutModel(dir.path / "in/sub/new", SampleModel(38));
  const ToolRun run = RunTool(dir.path, {"convert", "-j", "2", "--format", "all", "in", "--out", "out"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.console, "");
  EXPECT_NE(run.errors.find("tamberlo: unsupported version: in/sub/new.mdl"), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("tamberlo: 3 models: 2 converted"), std::string::npos) << run.errors;
  for (const char* file : {"out/a/dec.qc", "out/a/a.glb", "out/sub/b/b.glb", "out/report.json", "out/index.html"})
    EXPECT_TRUE(fs::exists(dir.path / file)) << file;
  EXPECT_EQ(ModelEntry(ReadReport(dir.path / "out"), "in/a.mdl")["status"], "converted");

  fs::remove_all(dir.path / "in/sub");
  const ToolRun good = RunTool(dir.path / "in", {"convert", ".", "-o", "../out2", "-q"});
  EXPECT_EQ(good.status, 0) << good.errors;
  EXPECT_TRUE(fs::exists(dir.path / "out2/a/dec.qc"));
  // The folder that would be its own output gives nothing: refused.
  const ToolRun itself = RunTool(dir.path / "in", {"convert", "."});
  EXPECT_EQ(itself.status, 64);
  EXPECT_FALSE(fs::exists(dir.path / "in/report.json"));
}

TEST(ConvertCommand, AnInterruptedBatchEndsWithTheSignal) {
  ScratchDir dir;
  for (int i = 0; i < 30; ++i) {
    const std::string number = std::to_string(i);  // "m" + a temporary: GCC 12 -Wrestrict at -O3
    PutModel(dir.path / "in" / ("m" + number), LongBox(30000));
  }
  const StartedTool tool =
      StartTool(dir.path, {"convert", "in", "--out", "out", "--jobs", "1"}, dir.path / ".console.txt");
  ASSERT_GT(tool.pid, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!fs::exists(dir.path / "out/report.json") && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ::kill(tool.pid, SIGINT);
  const ToolRun run = WaitForTool(tool);
  EXPECT_EQ(run.status, 130);
  EXPECT_EQ(run.console, "");
}

TEST(ConvertCommand, HelpAndVersion) {
  ScratchDir dir;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"-h"}, {"help"}, {"-file", "x", "-HELP"}}) {
    const ToolRun run = RunTool(dir.path, args);
    EXPECT_EQ(run.status, 0);
    EXPECT_LE(Lines(run.console).size(), 24u);
    EXPECT_NE(run.console.find("tamberlo help convert"), std::string::npos);
  }
  const ToolRun full = RunTool(dir.path, {"help", "convert"});
  EXPECT_EQ(full.console, RunTool(dir.path, {"convert", "--help", "x"}).console);
  EXPECT_NE(full.console.find("--max-output SIZE"), std::string::npos);
  EXPECT_EQ(RunTool(dir.path, {"convert", "--version"}).console, RunTool(dir.path, {"--version"}).console);
  const ToolRun first = RunTool(dir.path, {"help", "file"});
  EXPECT_EQ(first.console.rfind("Use: Tamberlo.exe -file <Model Name>\n", 0), 0u);
  EXPECT_TRUE(Entries(dir.path).empty()) << "help writes nothing";
}

namespace {

std::string SourceFile(const char* name) { return std::string(TAMBERLO_SOURCE_DIR) + "/" + name; }

// Standard output of a shell command.
std::string ShellOutput(const std::string& command) {
  std::string text;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    ::pclose(pipe);
  }
  return text;
}

}  // namespace

TEST(ConvertCommand, ManPageRendersAndNamesEveryOption) {
  if (std::system("command -v man >/dev/null 2>&1") != 0) GTEST_SKIP() << "man is not installed";
  const std::string page =
      ShellOutput("MANWIDTH=80 man -l '" + SourceFile("docs/tamberlo.1") + "' 2>&1 | col -b 2>/dev/null");
  ASSERT_NE(page.find("tamberlo convert"), std::string::npos) << page;
  EXPECT_EQ(page.find("warning"), std::string::npos) << page;
  for (const OptionRow& row : Options()) {
    if (row.longName != nullptr) {
      EXPECT_NE(page.find(std::string("--") + row.longName), std::string::npos) << row.longName;
    }
    for (const char* name : row.firstNames) EXPECT_NE(page.find(name), std::string::npos) << name;
  }
  for (const char* status : {"128", "64"}) EXPECT_NE(page.find(status), std::string::npos);
}

TEST(ConvertCommand, CompletionOffersEveryOption) {
  const std::string words = ShellOutput(
      "bash -c 'source \"" + SourceFile("completion/tamberlo") +
      "\" && COMP_WORDS=(tamberlo convert --) COMP_CWORD=2 && _tamberlo && printf \"%s\\n\" \"${COMPREPLY[@]}\"'");
  for (const OptionRow& row : Options()) {
    if (row.longName != nullptr) {
      EXPECT_NE(words.find(std::string("--") + row.longName + "\n"), std::string::npos) << row.longName << words;
    }
  }
  const std::string formats = ShellOutput(
      "bash -c 'source \"" + SourceFile("completion/tamberlo") +
      "\" && COMP_WORDS=(tamberlo convert --format \"\") COMP_CWORD=3 && _tamberlo && echo \"${COMPREPLY[@]}\"'");
  EXPECT_EQ(formats, "smd gltf all\n");
}
