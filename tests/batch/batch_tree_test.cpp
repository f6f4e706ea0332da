// The batch run as a process on generated trees: what it finds, what each
// model's report entry says, and that every folder is what a -file run writes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/batch/batch_support.h"
#include "tests/tool_runner/tool_runner.h"
#include "tools/sample_model.h"

namespace {

// Models of the three families, a damaged one, one without its strip file,
// an unsupported version, two output-folder collisions (letter case; a second
// PATH with the same layout), a FIFO and a folder link back to the top.
void MakeMixedTree(const fs::path& dir) {
  PutModel(dir / "in/v37/Crate", SampleModel(37));
  PutModel(dir / "in/v37/crate", tb::BoxModel(37));
  PutModel(dir / "in/v31/props/barrel", SampleModel(33));
  PutModel(dir / "in/v28/box", tb::BoxModel(29));
  fs::rename(dir / "in/v28/box.mdl", dir / "in/v28/box.MDL");
  PutModel(dir / "copy/v28/box", tb::BoxModel(29));

  tb::BuiltModel broken = tb::BuildModel(SampleModel(37));
  broken.model.bytes.resize(500);
  tb::WriteModelFiles(broken, (dir / "in").string(), "broken");
  PutModel(dir / "in/nostrip", tb::BoxModel(37));
  fs::remove(dir / "in/nostrip.dx80.vtx");
  PutModel(dir / "in/v40", tb::BoxModel(40));
  ASSERT_EQ(::mkfifo((dir / "in/pipe.mdl").c_str(), 0644), 0);
  fs::create_directory_symlink("..", dir / "in/v37/up");
}

struct Expected {
  const char* input;
  const char* output;
  const char* status;
  nlohmann::json exitStatus;
  nlohmann::json version;
  nlohmann::json family;
};

}  // namespace

TEST(BatchTree, EveryKindOfEntryGetsItsReportEntryAndFoldersMatchSingleRuns) {
  ScratchDir dir;
  MakeMixedTree(dir.path);
  ToolRun run = RunTool(dir.path, {"-batch", "in", "copy", "-out", "out", "-jobs", "2", "-follow-links"});
  EXPECT_EQ(run.status, 2);
  nlohmann::json report = ReadReport(dir.path / "out");
  ASSERT_TRUE(report.is_object()) << ReadFileText(dir.path / "out/report.json");

  const Expected expected[] = {
      {"in/broken.mdl", "broken", "bad data", 2, 37, "37"},
      {"in/nostrip.mdl", "nostrip", "missing strip file", 0, nullptr, nullptr},
      {"in/v28/box.MDL", "v28/box", "converted", 1, 29, "28-30"},
      {"in/v31/props/barrel.mdl", "v31/props/barrel", "converted", 1, 33, "31-36"},
      {"in/v37/Crate.mdl", "v37/Crate", "converted", 1, 37, "37"},
      {"in/v37/crate.mdl", "v37/crate", "output-folder collision", nullptr, nullptr, nullptr},
      {"in/v40.mdl", "v40", "unsupported version", 1, 40, nullptr},
      {"copy/v28/box.mdl", "v28/box", "output-folder collision", nullptr, nullptr, nullptr},
  };
  ASSERT_EQ(report["models"].size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    const nlohmann::json& entry = report["models"][i];
    const Expected& e = expected[i];
    EXPECT_EQ(entry["input"], e.input) << i;
    EXPECT_EQ(entry["output"], e.output) << e.input;
    EXPECT_EQ(entry["status"], e.status) << e.input;
    EXPECT_EQ(entry["exitStatus"], e.exitStatus) << e.input;
    EXPECT_EQ(entry["version"], e.version) << e.input;
    EXPECT_EQ(entry["family"], e.family) << e.input;
  }
  EXPECT_EQ(ModelEntry(report, "in/v37/crate.mdl")["collidesWith"], "in/v37/Crate.mdl");
  EXPECT_EQ(ModelEntry(report, "copy/v28/box.mdl")["collidesWith"], "in/v28/box.MDL");
  EXPECT_EQ(ModelEntry(report, "in/nostrip.mdl")["messages"], nlohmann::json({"Can't open: in/nostrip.dx80.vtx"}));

  nlohmann::json skipped = report["skipped"];
  ASSERT_EQ(skipped.size(), 2u) << skipped.dump();
  EXPECT_EQ(skipped[0]["path"], "in/pipe.mdl");
  EXPECT_EQ(skipped[0]["reason"], "not a regular file");
  EXPECT_EQ(skipped[1]["path"], "in/v37/up");
  EXPECT_EQ(skipped[1]["reason"], "folder link loop");

  const nlohmann::json& summary = report["summary"];
  EXPECT_EQ(summary["models"], 8);
  EXPECT_EQ(summary["converted"], 3);
  EXPECT_EQ(summary["withErrors"], 5);
  EXPECT_EQ(summary["notStarted"], 0);
  EXPECT_EQ(summary["exitStatus"], 2);
  EXPECT_EQ(summary["interrupted"], false);

  // Every file listed is on disk with that size, and every file on disk is listed.
  for (const nlohmann::json& entry : report["models"]) {
    std::map<std::string, std::string> onDisk;
    if (entry["exitStatus"].is_number()) onDisk = TreeFiles(dir.path / "out" / entry["output"].get<std::string>());
    if (entry["status"] == "output-folder collision") continue;  // its folder is the first model's
    std::map<std::string, std::string> listed;
    for (const nlohmann::json& file : entry["files"]) {
      std::string name = file["name"];
      ASSERT_TRUE(onDisk.count(name)) << entry["input"] << " " << name;
      EXPECT_EQ(file["bytes"], onDisk[name].size()) << name;
      listed[name] = onDisk[name];
    }
    EXPECT_EQ(listed, onDisk) << entry["input"];
  }
  // The console: one line per model with errors, then the summary.
  EXPECT_NE(run.console.find("tamberlo: bad data: in/broken.mdl (exit 2, see out/broken/streams.log)\n"),
            std::string::npos)
      << run.console;
  EXPECT_NE(run.console.find("tamberlo: output-folder collision: copy/v28/box.mdl (the same output folder as "
                             "in/v28/box.MDL)\n"),
            std::string::npos);
  EXPECT_NE(run.console.find("tamberlo: 8 models: 3 converted, 5 with errors, 0 not started;"), std::string::npos);
  EXPECT_EQ(run.errors, "");  // no progress line without a terminal

  // Every folder is a -file run's, also the first of two colliding models'.
  // A -file run cannot name box.MDL (it asks for box.mdl), so that model is
  // converted alone under the lower-case name to compare.
  fs::rename(dir.path / "in/v28/box.MDL", dir.path / "in/v28/box.mdl");
  EXPECT_EQ(CompareWithSingleRuns(dir.path, "out"), "");
}

TEST(BatchTree, OneOrTwoJobsGiveTheSameFoldersAndReport) {
  ScratchDir dir;
  MakeMixedTree(dir.path);
  for (int i = 0; i < 12; ++i) {
    const std::string number = std::to_string(i);  // "m" + a temporary: GCC 12 -Wrestrict at -O3
    PutModel(dir.path / "in/many" / ("m" + number), SampleModel(28 + i % 10));
  }
  ToolRun one = RunTool(dir.path, {"-batch", "in", "copy", "-out", "out", "-jobs", "1"});
  EXPECT_EQ(one.status, 2);
  nlohmann::json oneReport = WithoutSeconds(ReadReport(dir.path / "out"));
  std::map<std::string, std::string> oneFiles = TreeFiles(dir.path / "out");
  // The same output path, so that "$cd" lines agree.
  fs::rename(dir.path / "out", dir.path / "out-1");
  ToolRun two = RunTool(dir.path, {"-batch", "in", "copy", "-out", "out", "-jobs", "2"});
  EXPECT_EQ(two.status, 2);
  EXPECT_EQ(WithoutSeconds(ReadReport(dir.path / "out")), oneReport);
  std::map<std::string, std::string> twoFiles = TreeFiles(dir.path / "out");
  oneFiles.erase("report.json");
  twoFiles.erase("report.json");
  EXPECT_EQ(oneFiles, twoFiles);
  EXPECT_EQ(oneReport["summary"]["models"], 20);
  // Failure lines come in the order models end, which differs; their set does not.
  auto sortedLines = [](const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      std::string line = text.substr(start, end - start);
      if (line.find(" models: ") == std::string::npos) lines.push_back(line);  // the summary holds a time
    }
    std::sort(lines.begin(), lines.end());
    return lines;
  };
  EXPECT_EQ(sortedLines(one.console), sortedLines(two.console));
}

TEST(BatchTree, LinksAreNotFollowedUnlessAsked) {
  ScratchDir dir;
  PutModel(dir.path / "elsewhere/far", tb::BoxModel(37));
  PutModel(dir.path / "in/near", tb::BoxModel(37));
  fs::create_directory_symlink("../elsewhere", dir.path / "in/linked");
  fs::create_symlink("../elsewhere/far.mdl", dir.path / "in/filelink.mdl");
  fs::create_symlink("missing.mdl", dir.path / "in/dangling.mdl");

  ToolRun plain = RunTool(dir.path, {"-batch", "in", "-out", "out"});
  nlohmann::json report = ReadReport(dir.path / "out");
  // A link to a model file is a model; a folder link is passed over.
  EXPECT_EQ(ModelEntry(report, "in/filelink.mdl")["status"], "missing strip file");
  EXPECT_EQ(ModelEntry(report, "in/near.mdl")["status"], "converted");
  EXPECT_TRUE(ModelEntry(report, "in/linked/far.mdl").is_null());
  nlohmann::json skipped = report["skipped"];
  ASSERT_EQ(skipped.size(), 2u) << skipped.dump();
  EXPECT_EQ(skipped[0]["path"], "in/dangling.mdl");
  EXPECT_EQ(skipped[0]["reason"], "link to nothing");
  EXPECT_EQ(skipped[1]["path"], "in/linked");
  EXPECT_EQ(skipped[1]["reason"], "folder link not followed");
  EXPECT_EQ(plain.status, 2);  // filelink has no strip file beside it

  ToolRun followed = RunTool(dir.path, {"-batch", "in", "-out", "out2", "-FOLLOW-LINKS"});
  EXPECT_EQ(ModelEntry(ReadReport(dir.path / "out2"), "in/linked/far.mdl")["status"], "converted");
  EXPECT_EQ(followed.status, 2);
}

TEST(BatchTree, NamedModelsAndTheOutputFolderInsideTheInput) {
  ScratchDir dir;
  PutModel(dir.path / "in/a/crate", SampleModel(37));
  PutModel(dir.path / "in/b/barrel", SampleModel(30));
  // A model inside the output folder is never searched, where the output
  // folder lies inside an input folder.
  PutModel(dir.path / "in/out/stale", SampleModel(37));
  ToolRun run = RunTool(dir.path, {"-batch", "in/a/crate.mdl", "in/b/barrel", "in", "-out", "in/out"});
  nlohmann::json report = ReadReport(dir.path / "in/out");
  std::vector<std::string> got;
  for (const nlohmann::json& entry : report["models"])
    got.push_back(entry["input"].get<std::string>() + " -> " + entry["output"].get<std::string>() + " " +
                  entry["status"].get<std::string>());
  EXPECT_EQ(got, (std::vector<std::string>{"in/a/crate.mdl -> crate converted",
                                           "in/b/barrel.mdl -> barrel converted",
                                           "in/a/crate.mdl -> a/crate converted",
                                           "in/b/barrel.mdl -> b/barrel converted"}));
  ASSERT_EQ(report["skipped"].size(), 1u);
  EXPECT_EQ(report["skipped"][0]["path"], "in/out");
  EXPECT_EQ(report["skipped"][0]["reason"], "the output folder");
  EXPECT_EQ(run.status, 0);
}

TEST(BatchTree, RunningAgainReplacesEveryFileWhole) {
  ScratchDir dir;
  PutModel(dir.path / "in/crate", SampleModel(37));
  ASSERT_EQ(RunTool(dir.path, {"-batch", "in", "-out", "out"}).status, 0);
  std::map<std::string, std::string> first = TreeFiles(dir.path / "out");
  // A file left over from elsewhere is replaced, never appended to.
  WriteFileBytes(dir.path / "out/crate/dec.qc", std::vector<unsigned char>(10000, 'x'));
  ASSERT_EQ(RunTool(dir.path, {"-batch", "in", "-out", "out"}).status, 0);
  std::map<std::string, std::string> second = TreeFiles(dir.path / "out");
  // streams.log is appended to, as by -file; every other file is the same.
  EXPECT_EQ(second["crate/streams.log"], first["crate/streams.log"] + first["crate/streams.log"]);
  for (const char* name : {"crate/streams.log", "report.json"}) {
    first.erase(name);
    second.erase(name);
  }
  EXPECT_EQ(first, second);
  for (const auto& entry : fs::directory_iterator(dir.path / "out/crate"))
    EXPECT_EQ(entry.path().filename().string().find(".tamberlo-"), std::string::npos);  // no temporary left
}

TEST(BatchTree, ModelFilesNamedDotAndDotDotAreNotModels) {
  // "..mdl" and "...mdl" would have the output root or its parent as their
  // output folder.
  ScratchDir dir;
  PutModel(dir.path / "in/good", tb::BoxModel(37));
  fs::create_directories(dir.path / "in/sub");
  tb::WriteModelFiles(tb::BuildModel(tb::BoxModel(37)), (dir.path / "in/sub").string(), ".");
  tb::WriteModelFiles(tb::BuildModel(tb::BoxModel(37)), (dir.path / "in").string(), "..");
  ASSERT_TRUE(fs::exists(dir.path / "in/...mdl"));

  ToolRun run = RunTool(dir.path, {"-batch", "in", "-out", "out/o"});
  EXPECT_EQ(run.status, 2);
  nlohmann::json report = ReadReport(dir.path / "out/o");
  ASSERT_EQ(report["models"].size(), 1u) << report.dump();
  EXPECT_EQ(report["models"][0]["output"], "good");
  std::vector<std::string> skipped;
  for (const nlohmann::json& skip : report["skipped"])
    skipped.push_back(skip["path"].get<std::string>() + ": " + skip["reason"].get<std::string>());
  EXPECT_EQ(skipped, (std::vector<std::string>{"in/...mdl: not a model name", "in/sub/..mdl: not a model name"}));
  EXPECT_FALSE(fs::exists(dir.path / "out/o/dec.qc"));
  EXPECT_FALSE(fs::exists(dir.path / "out/dec.qc"));
}

// A model whose only findings are notes is converted: a changed bone name
// (which still ends a -file run with status 2, as it always has) and an
// animation file written under another name as its own was taken.
TEST(BatchTree, NotesAloneMakeAModelConvertedWithNotes) {
  ScratchDir dir;
  tb::ModelDescription named = SampleModel(37);
  named.bones[1].name = "elbow\"left";
  PutModel(dir.path / "in/named", named);
  tb::ModelDescription taken = SampleModel(37);
  taken.animations[1].name = "arm_box";  // the level-0 mesh file's name
  PutModel(dir.path / "in/taken", taken);
  PutModel(dir.path / "in/plain", SampleModel(37));

  ToolRun batch = RunTool(dir.path, {"-batch", "in", "-out", "out", "-format", "all"});
  EXPECT_EQ(batch.status, 0) << batch.console;
  const nlohmann::json report = ReadReport(dir.path / "out");
  const nlohmann::json namedEntry = ModelEntry(report, "in/named.mdl");
  EXPECT_EQ(namedEntry["status"], "converted with notes");
  EXPECT_EQ(namedEntry["exitStatus"], 2);
  EXPECT_EQ(namedEntry["finding"],
            nlohmann::json(
                {{"kind", "names changed"}, {"line", "Name changed: \"elbow\\x22left\" -> \"elbow_left\""}}));
  const nlohmann::json takenEntry = ModelEntry(report, "in/taken.mdl");
  EXPECT_EQ(takenEntry["status"], "converted with notes");
  EXPECT_EQ(takenEntry["exitStatus"], 1);
  EXPECT_EQ(takenEntry["finding"]["kind"], "names changed");
  EXPECT_EQ(ModelEntry(report, "in/plain.mdl")["status"], "converted");
  EXPECT_TRUE(ModelEntry(report, "in/plain.mdl")["finding"].is_null());
  EXPECT_EQ(report["summary"]["converted"], 3);
  EXPECT_EQ(report["summary"]["withErrors"], 0);
  EXPECT_NE(batch.console.find("tamberlo: 3 models: 3 converted, 0 with errors"), std::string::npos) << batch.console;

  // Each lower level of detail has a .glb of its own beside the main one.
  std::vector<std::string> glbs;
  const nlohmann::json plainEntry = ModelEntry(report, "in/plain.mdl");
  for (const nlohmann::json& file : plainEntry["files"])
    if (file["name"].get<std::string>().ends_with(".glb")) glbs.push_back(file["name"]);
  EXPECT_EQ(glbs, (std::vector<std::string>{"plain.glb", "plain_lod1.glb"}));

  ToolRun single = RunTool(dir.path, {"-file", "in/named", "-out", "single"});
  EXPECT_EQ(single.status, 2);
}
