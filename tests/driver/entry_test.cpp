// The whole tool run as a process: options, loading, version dispatch, exit
// statuses and the log.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/tool_runner/tool_runner.h"

namespace fs = std::filesystem;

namespace {

// A model image with every count 0 and the given version: the writers run on
// empty tables. 340 bytes cover the header of either layout.
std::vector<unsigned char> EmptyModel(int32_t version) {
  std::vector<unsigned char> bytes(340, 0);
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<unsigned char>(static_cast<uint32_t>(version) >> (8 * i));
  return bytes;
}

void WriteModelPair(const fs::path& base, int32_t version) {
  WriteFileBytes(base.string() + ".mdl", EmptyModel(version));
  WriteFileBytes(base.string() + ".dx80.vtx", std::vector<unsigned char>(64, 0));
}

// Runs the tool and measures how long it took.
ToolRun TimedRun(const fs::path& dir, const std::vector<std::string>& args, double& seconds) {
  const auto start = std::chrono::steady_clock::now();
  ToolRun run = RunTool(dir, args);
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
}

}  // namespace

TEST(Entry, WithoutFileOptionPrintsUsageAndLogsIt) {
  ScratchDir dir;
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"-model", "x"}}) {
    ToolRun run = RunTool(dir.path, args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.console, "Use: Tamberlo.exe -file <Model Name>\n");
  }
  EXPECT_EQ(ReadFileText(dir.path / "streams.log"),
            "Use: Tamberlo.exe -file <Model Name>\nUse: Tamberlo.exe -file <Model Name>\n");
}

TEST(Entry, OptionIsMatchedWithoutCaseAndLastOptionGivesEmptyName) {
  ScratchDir dir;
  WriteModelPair(dir.path / "m", 37);
  EXPECT_EQ(RunTool(dir.path, {"-FILE", "m"}).status, 1);
  EXPECT_EQ(RunTool(dir.path, {"x", "-File", "m.mdl"}).status, 1);
  ToolRun last = RunTool(dir.path, {"-file"});
  EXPECT_EQ(last.status, 0);
  EXPECT_EQ(last.console, "Can't open: .mdl\n");
}

TEST(Entry, BackslashesAndExtensionsGiveTheBaseName) {
  ScratchDir dir;
  fs::create_directories(dir.path / "dir" / "sub");
  WriteModelPair(dir.path / "dir" / "sub" / "model", 37);
  WriteModelPair(dir.path / "model", 31);
  ToolRun run = RunTool(dir.path, {"-file", "dir\\sub\\model.mdl"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.console, "Decompiled 37 mode\n");
  // The dot of "./" belongs to a folder part and is kept.
  EXPECT_EQ(RunTool(dir.path, {"-file", "./model"}).console, "Decompiled 31-36 mode\n");
  // Only the last extension goes: model.dx80.vtx names the base model.dx80.
  EXPECT_EQ(RunTool(dir.path, {"-file", "model.dx80.vtx"}).console, "Can't open: model.dx80.mdl\n");
}

TEST(Entry, VersionSelectsTheFamilyOrIsRefused) {
  struct Case {
    int32_t version;
    const char* line;
  };
  const Case cases[] = {
      {27, "Version 27 is not supported\n"}, {28, "Decompiled 28-30 mode\n"}, {29, "Decompiled 28-30 mode\n"},
      {30, "Decompiled 28-30 mode\n"},       {31, "Decompiled 31-36 mode\n"}, {36, "Decompiled 31-36 mode\n"},
      {37, "Decompiled 37 mode\n"},          {38, "Version 38 is not supported\n"},
      {-5, "Version -5 is not supported\n"},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    WriteModelPair(dir.path / "m", c.version);
    ToolRun run = RunTool(dir.path, {"-file", "m"});
    EXPECT_EQ(run.status, 1) << c.version;
    EXPECT_EQ(run.console, c.line) << c.version;
    bool refused = c.version < 28 || c.version > 37;
    EXPECT_EQ(fs::exists(dir.path / "dec.qc"), !refused) << c.version;
  }
}

TEST(Entry, MissingOrEmptyFilesEndWithStatusZero) {
  ScratchDir dir;
  ToolRun missing = RunTool(dir.path, {"-file", "nothing"});
  EXPECT_EQ(missing.status, 0);
  EXPECT_EQ(missing.console, "Can't open: nothing.mdl\n");

  WriteFileBytes(dir.path / "empty.mdl", {});
  WriteFileBytes(dir.path / "empty.dx80.vtx", std::vector<unsigned char>(64, 0));
  EXPECT_EQ(RunTool(dir.path, {"-file", "empty"}).console, "Can't open: empty.mdl\n");

  // Refused version, but the strip file is missing: the load fails first.
  WriteFileBytes(dir.path / "old.mdl", EmptyModel(27));
  ToolRun noStrip = RunTool(dir.path, {"-file", "old"});
  EXPECT_EQ(noStrip.status, 0);
  EXPECT_EQ(noStrip.console, "Can't open: old.dx80.vtx\n");
  EXPECT_FALSE(fs::exists(dir.path / "dec.qc"));
}

TEST(Entry, ModelShorterThanAVersionIsRefusedAsDamaged) {
  ScratchDir dir;
  WriteFileBytes(dir.path / "short.mdl", {1, 2, 3, 4, 5, 6, 7});
  WriteFileBytes(dir.path / "short.dx80.vtx", {0});
  ToolRun run = RunTool(dir.path, {"-file", "short"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.console, "Model file too short to hold a version (7 bytes): short.mdl\n");
}

TEST(Entry, NameTooLongForThePathBuffersIsRefused) {
  ScratchDir dir;
  std::string fits(246, 'a');  // "<246>.dx80.vtx" is 255 characters
  std::string tooLong(247, 'a');
  EXPECT_EQ(RunTool(dir.path, {"-file", fits}).console, "Can't open: " + fits + ".mdl\n");
  ToolRun run = RunTool(dir.path, {"-file", tooLong});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.console, "Model name too long (at most 246 characters): " + tooLong + "\n");
}

TEST(Entry, NamesReachConsoleAndLogLiterally) {
  ScratchDir dir;
  const std::string name = "a%d%s%%\xe4\xf6\xfc";  // percent signs and bytes outside ASCII
  ToolRun run = RunTool(dir.path, {"-file", name});
  std::string expected = "Can't open: " + name + ".mdl\n";
  EXPECT_EQ(run.console, expected);
  EXPECT_EQ(ReadFileText(dir.path / "streams.log"), expected);
}

// An input that is a FIFO (nobody writing: a read would wait for ever), a
// device (/dev/zero would never end), a folder or a link to one of those is
// refused at once as not loadable, never read.
TEST(Entry, InputsThatAreNotRegularFilesAreRefusedAtOnce) {
  ScratchDir dir;
  struct Case {
    const char* what;
    const char* file;  // the input replaced: "m.mdl" or "m.dx80.vtx"
  };
  const Case cases[] = {{"fifo", "m.mdl"},        {"fifo", "m.dx80.vtx"},   {"/dev/null", "m.mdl"},
                        {"/dev/zero", "m.dx80.vtx"}, {"folder", "m.mdl"},      {"folder", "m.dx80.vtx"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.what) + " as " + c.file);
    fs::remove_all(dir.path);
    fs::create_directories(dir.path);
    WriteModelPair(dir.path / "m", 37);
    fs::remove(dir.path / c.file);
    const std::string what = c.what;
    if (what == "fifo") {
      ASSERT_EQ(::mkfifo((dir.path / c.file).c_str(), 0644), 0);
    } else if (what == "folder") {
      fs::create_directory(dir.path / c.file);
    } else {
      fs::create_symlink(what, dir.path / c.file);
    }
    double seconds = 0;
    const ToolRun run = TimedRun(dir.path, {"-file", "m"}, seconds);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.console, std::string("Can't open: ") + c.file + "\n");
    EXPECT_LT(seconds, 1.0);
    EXPECT_FALSE(fs::exists(dir.path / "dec.qc"));
  }
}

TEST(Entry, MaxOutputTakesASizeOrEndsWithAWrongCommandLine) {
  ScratchDir dir;
  WriteModelPair(dir.path / "m", 37);
  for (const char* good : {"0", "4G", "4g", "512k", "3M", "17179869184"})
    EXPECT_EQ(RunTool(dir.path, {"-file", "m", "-max-output", good}).status, 1) << good;
  for (const char* bad : {"", "-1", "1.5M", "4GB", "K", "4 G", "0x10", "18446744073709551616", "17179869184G"}) {
    const ToolRun run = RunTool(dir.path, {"-file", "m", "-max-output", bad});
    EXPECT_EQ(run.status, 64) << bad;
    EXPECT_EQ(run.console, std::string("-max-output takes a size in bytes with an optional K, M or G (0: no limit), not \"") +
                               bad + "\"\n");
  }
  // As the last argument it has no value.
  EXPECT_EQ(RunTool(dir.path, {"-file", "m", "-max-output"}).status, 64);
}

// A log that is a folder, a link or a FIFO is never written to, never waited
// on, and said once on the console; the run ends with errors.
TEST(Entry, LogThatIsNotARegularFileIsRefusedOnce) {
  ScratchDir dir;
  fs::create_directory(dir.path / "outside");
  const std::string refused = "Log file streams.log refused: it is a link or not a regular file\n";
  for (int kind = 0; kind < 3; ++kind) {
    fs::remove_all(dir.path / "streams.log");
    if (kind == 0) fs::create_directory(dir.path / "streams.log");
    if (kind == 1) fs::create_symlink("outside/target.log", dir.path / "streams.log");
    if (kind == 2) {
      ASSERT_EQ(::mkfifo((dir.path / "streams.log").c_str(), 0644), 0);
    }
    WriteModelPair(dir.path / "m", 37);
    double seconds = 0;
    ToolRun run = TimedRun(dir.path, {"-file", "m"}, seconds);
    EXPECT_LT(seconds, 1.0) << kind;
    EXPECT_EQ(run.status, 2) << kind;
    EXPECT_EQ(run.console.rfind("Decompiled 37 mode\n" + refused, 0), 0u) << kind << run.console;
    EXPECT_EQ(run.console.find(refused, 1), run.console.find(refused)) << "said once";
    EXPECT_FALSE(fs::exists(dir.path / "outside" / "target.log"));
    EXPECT_TRUE(fs::exists(dir.path / "dec.qc")) << "the conversion goes on";
  }
}

TEST(Entry, LogIsAppendedAcrossRuns) {
  ScratchDir dir;
  WriteModelPair(dir.path / "m", 30);
  RunTool(dir.path, {"-file", "m"});
  RunTool(dir.path, {"-file", "m"});
  std::string log = ReadFileText(dir.path / "streams.log");
  EXPECT_EQ(log.find("Decompiled 28-30 mode\n"), 0u);
  EXPECT_NE(log.rfind("Decompiled 28-30 mode\n"), 0u);
  EXPECT_EQ(log.find('\r'), std::string::npos);
}

// An option neither first-version line knows is named on standard error;
// standard output, the files and the status are those of the line without it.
TEST(Entry, UnknownOptionsAreNamedOnStandardErrorOnly) {
  ScratchDir plain, odd;
  for (const fs::path& dir : {plain.path, odd.path}) WriteModelPair(dir / "m", 37);
  const ToolRun without = RunTool(plain.path, {"-file", "m", "-out", "o"});
  const ToolRun with = RunTool(odd.path, {"-file", "m", "--out", "x", "-out", "o", "-bogus"});
  EXPECT_EQ(with.status, without.status);
  EXPECT_EQ(with.console, without.console);
  EXPECT_EQ(without.errors, "");
  EXPECT_EQ(with.errors,
            "tamberlo: unknown option ignored: --out (did you mean -out?)\n"
            "tamberlo: unknown option ignored: -bogus\n");
  EXPECT_EQ(ReadFileText(odd.path / "o/dec.qc").size(), ReadFileText(plain.path / "o/dec.qc").size());
  EXPECT_FALSE(fs::exists(odd.path / "x"));

  const ToolRun batch = RunTool(odd.path, {"-batch", "m", "-out", "b", "-quite"});
  EXPECT_EQ(batch.status, 0);
  EXPECT_EQ(batch.errors, "tamberlo: unknown option ignored: -quite (did you mean -quiet?)\n");
  EXPECT_EQ(batch.console.find("tamberlo: 1 models: 1 converted"), 0u) << batch.console;
}
