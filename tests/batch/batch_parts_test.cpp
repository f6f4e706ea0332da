// The batch's parts in process: the command line, output collisions, model
// status, the progress text, the report's JSON and the commit hook.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "driver/batch_findings.h"
#include "driver/batch_model.h"
#include "driver/batch_options.h"
#include "driver/batch_report.h"
#include "driver/batch_walk.h"
#include "driver/progress_line.h"
#include "driver/run_tool.h"
#include "formats/layout.h"
#include "io/output_file.h"
#include "io/whole_file.h"
#include "tests/tool_runner/tool_runner.h"

namespace fs = std::filesystem;

namespace {

bool Parse(std::vector<std::string> args, BatchOptions& options, std::string& error) {
  args.insert(args.begin(), "tamberlo");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  return ParseBatchOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

BatchModel Model(const std::string& input, const std::string& output) {
  BatchModel model;
  model.input = input;
  model.output = output;
  return model;
}

}  // namespace

TEST(BatchParts, PathsRunUpToTheNextOptionAndOptionsIgnoreCase) {
  BatchOptions options;
  std::string error;
  ASSERT_TRUE(Parse({"-jobs", "3", "-Batch", "a", "b/c.mdl", "d e", "-OUT", "o", "-quiet", "x", "-Follow-Links"},
                    options, error))
      << error;
  EXPECT_EQ(options.paths, (std::vector<std::string>{"a", "b/c.mdl", "d e"}));
  EXPECT_EQ(options.out, "o");
  EXPECT_EQ(options.jobs, 3);
  EXPECT_TRUE(options.quiet);
  EXPECT_TRUE(options.followLinks);

  ASSERT_TRUE(Parse({"-batch", "a", "-out", "o"}, options, error));
  EXPECT_GE(options.jobs, 1);  // the processors available
  EXPECT_FALSE(options.quiet || options.followLinks);

  EXPECT_FALSE(Parse({"-batch", "-quiet", "a", "-out", "o"}, options, error));
  EXPECT_NE(error.find("PATH"), std::string::npos);
  EXPECT_FALSE(Parse({"-batch", "a", "-out", "o", "-jobs", "2x"}, options, error));
  EXPECT_NE(error.find("\"2x\""), std::string::npos);
}

TEST(BatchParts, OutputFoldersCollideWithLettersFoldedAndTheReportAndPageAreReserved) {
  std::vector<BatchModel> models = {Model("a/Crate.mdl", "props/Crate"), Model("b/crate.mdl", "props/crate"),
                                    Model("c/crate.mdl", "PROPS/CRATE"), Model("d.mdl", "props/crates"),
                                    Model("Report.json.mdl", "Report.json"), Model("e.mdl", "props/Crate/x"),
                                    Model("Index.HTML.mdl", "Index.HTML"), Model("f.mdl", "x/index.html")};
  MarkOutputCollisions(models);
  std::vector<int> got;
  for (const BatchModel& model : models) got.push_back(model.collidesWith);
  EXPECT_EQ(got, (std::vector<int>{-1, 0, 0, -1, BatchModel::kCollidesWithReport, -1, BatchModel::kCollidesWithIndex,
                                    -1}));
}

TEST(BatchParts, StatusFollowsWhereTheRunStopped) {
  using Stage = ModelLoadFacts::Stage;
  ModelLoadFacts facts;
  facts.stage = Stage::NameTooLong;
  EXPECT_STREQ(ModelStatus(facts, kExitNotLoaded, false, false), "unreadable");
  facts.stage = Stage::ModelUnreadable;
  EXPECT_STREQ(ModelStatus(facts, kExitNotLoaded, false, true), "unreadable");
  facts.stage = Stage::StripUnreadable;
  EXPECT_STREQ(ModelStatus(facts, kExitNotLoaded, false, true), "missing strip file");
  EXPECT_STREQ(ModelStatus(facts, kExitNotLoaded, false, false), "unreadable");
  facts.stage = Stage::Loaded;
  EXPECT_STREQ(ModelStatus(facts, kExitDoneWithErrors, false, false), "bad data");  // too short for a version
  facts.versionRead = true;
  facts.version = 12;
  EXPECT_STREQ(ModelStatus(facts, kExitDone, false, false), "unsupported version");
  EXPECT_EQ(FamilyName(facts), nullptr);
  facts.layout = LayoutForVersion(29);
  EXPECT_STREQ(FamilyName(facts), "28-30");
  EXPECT_STREQ(ModelStatus(facts, kExitDone, false, false), "converted");
  EXPECT_STREQ(ModelStatus(facts, kExitDoneWithErrors, false, false), "bad data");
  EXPECT_STREQ(ModelStatus(facts, kExitDoneWithErrors, true, false), "write failed");
  // Only notes: a changed name ends a -file run with 2, a .glb note with 1;
  // both are converted. Errors beside the notes make it bad data.
  EXPECT_STREQ(ModelStatus(facts, kExitDoneWithErrors, false, false, true), "converted with notes");
  EXPECT_STREQ(ModelStatus(facts, kExitDone, false, false, true), "converted with notes");
  EXPECT_STREQ(ModelStatus(facts, kExitDoneWithErrors, true, false, true), "write failed");
  facts.layout = LayoutForVersion(33);
  EXPECT_STREQ(FamilyName(facts), "31-36");
  facts.layout = LayoutForVersion(37);
  EXPECT_STREQ(FamilyName(facts), "37");
}

TEST(BatchParts, ProgressTellsCountsRateAndTimeLeftOnceTheWorkDoneMeansSomething) {
  ProgressCounts counts;
  counts.done = 3;
  counts.total = 10;
  counts.failed = 1;
  counts.bytesRead = 25'000'000;
  counts.bytesWritten = 180'000'000;
  counts.workDone = 20'000'000;
  counts.inputTotal = 100'000'000;
  counts.seconds = 10;
  EXPECT_EQ(FormatProgress(counts), "3/10 models, 1 with errors, 25.0 MB read, 180.0 MB written, 2.5 MB/s, 0:40 left");
  counts.seconds = 40;  // four times the time for the remaining four fifths
  EXPECT_EQ(FormatProgress(counts).substr(FormatProgress(counts).rfind(", ")), ", 2:40 left");
  // Work in progress counts as much as finished work; no model need have ended.
  counts.done = 0;
  counts.workDone = 50'000'000;
  EXPECT_EQ(FormatProgress(counts).substr(FormatProgress(counts).rfind(", ")), ", 0:40 left");

  // Hidden before 5 % of the work or 3 seconds, and once every model is done.
  counts.workDone = 4'999'999;
  EXPECT_EQ(FormatProgress(counts).find("left"), std::string::npos);
  counts.workDone = 5'000'000;
  EXPECT_NE(FormatProgress(counts).find(", 12:40 left"), std::string::npos) << FormatProgress(counts);
  counts.seconds = 2.9;
  EXPECT_EQ(FormatProgress(counts).find("left"), std::string::npos);
  counts.seconds = 3;
  EXPECT_NE(FormatProgress(counts).find(", 0:57 left"), std::string::npos) << FormatProgress(counts);
  counts.done = counts.total;
  EXPECT_EQ(FormatProgress(counts).find("left"), std::string::npos);
}

TEST(BatchParts, ReportIsValidJsonWhateverTheNamesHold) {
  BatchPlan plan;
  plan.models = {Model("in/\xff\xfe.mdl", "\xff\xfe"), Model("in/b.mdl", "b"), Model("in/B.mdl", "B"),
                 Model("in/a\nb 50%.mdl", "a\nb 50%")};
  plan.models[2].collidesWith = 1;
  plan.skipped.push_back(BatchSkip{"in/locked", "unreadable folder: Permission denied", true});
  plan.skipped.push_back(BatchSkip{"in/\x1b[2J", "folder link not followed", false});
  std::vector<ModelResult> results(4);
  results[0].finished = true;
  results[0].status = kStatusBadData;
  results[0].exitStatus = 2;
  results[0].log = "Decompiled 37 mode\nBad data: animation 0 \"\xc3\x28\": x\n";
  results[0].versionRead = true;
  results[0].version = 37;
  results[0].family = "37";
  results[0].files = {WrittenFile{"dec.qc", 10}, WrittenFile{"streams.log", 5}};
  results[2].status = kStatusCollision;
  std::string text = BatchReportText({"in", "in/\x7f"}, plan, results, BatchTotals{1.5, false, 2});
  nlohmann::json report = nlohmann::json::parse(text, nullptr, false);
  ASSERT_FALSE(report.is_discarded()) << text;
  EXPECT_EQ(report["models"][0]["input"], "in/\xef\xbf\xbd\xef\xbf\xbd.mdl");
  // A name shown otherwise than its bytes keeps them, percent-encoded, beside it.
  EXPECT_EQ(report["models"][0]["inputExact"], "in/%FF%FE.mdl");
  EXPECT_EQ(report["models"][0]["outputExact"], "%FF%FE");
  EXPECT_EQ(report["models"][3]["input"], "in/a\\x0Ab 50%.mdl");
  EXPECT_EQ(report["models"][3]["inputExact"], "in/a%0Ab%2050%25.mdl");
  EXPECT_FALSE(report["models"][1].contains("inputExact") || report["models"][1].contains("outputExact"));
  EXPECT_EQ(report["skipped"][1]["path"], "in/\\x1B[2J");
  EXPECT_EQ(report["skipped"][1]["pathExact"], "in/%1B%5B2J");
  EXPECT_FALSE(report["skipped"][0].contains("pathExact"));
  EXPECT_EQ(report["paths"], nlohmann::json::array({"in", "in/\\x7F"}));
  EXPECT_EQ(report["pathsExact"], nlohmann::json::array({"in", "in/%7F"}));
  EXPECT_EQ(report["models"][0]["messages"].size(), 2u);
  EXPECT_EQ(report["models"][1]["status"], "not started");
  EXPECT_TRUE(report["models"][1]["version"].is_null());
  EXPECT_EQ(report["models"][2]["collidesWith"], "in/b.mdl");
  EXPECT_EQ(report["models"][0]["finding"]["kind"], "damaged input");
  EXPECT_EQ(report["models"][0]["finding"]["line"], "Bad data: animation 0 \"\xef\xbf\xbd(\": x");
  EXPECT_EQ(report["models"][1]["finding"], nlohmann::json({{"kind", "not started"}, {"line", ""}}));
  const nlohmann::json& summary = report["summary"];
  EXPECT_EQ(summary["models"], 4);
  EXPECT_EQ(summary["withErrors"], 2);
  EXPECT_EQ(summary["notStarted"], 2);
  EXPECT_EQ(summary["walkErrors"], 1);
  EXPECT_EQ(summary["bytesWritten"], 15);
  EXPECT_EQ(summary["byStatus"]["bad data"], 1);

  // Written whole under its name, with no temporary file left beside it.
  ScratchDir dir;
  int fd = ::open(dir.path.c_str(), O_RDONLY | O_DIRECTORY);
  std::string error;
  ASSERT_TRUE(WriteWholeFile(fd, "report.json", text, error)) << error;
  ASSERT_TRUE(WriteWholeFile(fd, "report.json", text + " ", error)) << error;
  ::close(fd);
  EXPECT_EQ(ReadFileText(dir.path / "report.json"), text + " ");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

// The finding of a card: the first problem line, past progress lines and
// notes, and its kind; for notes alone, the first note.
TEST(BatchParts, FindingIsTheFirstProblemLineAndItsKind) {
  BatchModel model = Model("in/a.mdl", "a");
  auto finding = [&](const char* status, const std::string& log, bool finished = true) {
    model.collidesWith = status == kStatusCollision ? 0 : BatchModel::kNoCollision;
    ModelResult result;
    result.finished = finished;
    result.status = status;
    result.log = log;
    const ModelFinding found = FindingOf(model, result, false);
    return found.kind == nullptr ? std::string("none") : std::string(found.kind) + ": " + found.line;
  };
  const std::string progress = "Decompiled 37 mode\nExtracted body: arm\nExtracted lod: 0, distance: 0\n";
  EXPECT_EQ(finding(kStatusConverted, progress), "none");
  EXPECT_EQ(finding(kStatusBadData, progress + "Name changed: \"a\" -> \"b\"\nBad data: arm.smd: x\nBad data: y\n"),
            "damaged input: Bad data: arm.smd: x");
  EXPECT_EQ(finding(kStatusBadData, progress + "Output limit reached (1 KB): arm.smd; -max-output raises it\n"),
            "output problem: Output limit reached (1 KB): arm.smd; -max-output raises it");
  EXPECT_EQ(finding(kStatusUnreadable, "Can't open: in/a.mdl\n"), "damaged input: Can't open: in/a.mdl");
  EXPECT_EQ(finding(kStatusWriteFailed, progress + "Write failed: a.smd (No space left on device)\n"),
            "output problem: Write failed: a.smd (No space left on device)");
  EXPECT_EQ(finding(kStatusCollision, "Not converted: its output folder out/a is also the one of in/A.mdl\n", false),
            "output problem: Not converted: its output folder out/a is also the one of in/A.mdl");
  EXPECT_EQ(finding(kStatusConvertedWithNotes,
                    progress + "File name taken: run.smd (animation 1) is written as run_2.smd\n"),
            "names changed: File name taken: run.smd (animation 1) is written as run_2.smd");
  EXPECT_EQ(finding(kStatusConvertedWithNotes,
                    progress + "glb: values glTF cannot hold were replaced: 2 numbers that are not finite, 0 normals "
                               "not of unit length\n"),
            "values replaced: glb: values glTF cannot hold were replaced: 2 numbers that are not finite, 0 normals "
            "not of unit length");
  EXPECT_EQ(finding("not started", "", false), "not started: ");
  ModelResult waiting;
  EXPECT_STREQ(FindingOf(model, waiting, true).kind, "interrupted");
}

TEST(BatchParts, CommitHookHearsOfEveryCommittedFileAndEveryFailure) {
  ScratchDir dir;
  OutputFolder folder;
  std::string error;
  ASSERT_TRUE(OpenNamedFolder(folder, dir.path.string(), error));
  std::vector<std::string> heard;
  CommitHook hook = [&](std::string_view name, uint64_t bytes, int commitError) {
    heard.push_back(std::string(name) + " " + std::to_string(bytes) + " " + std::to_string(commitError));
  };
  folder.onCommit = &hook;
  LogChannel channel;
  std::string console;
  channel.console = &console;
  channel.folderFd = folder.fd;
  Destination to{&folder, MessageSink{&channel, nullptr}, false};
  OutputFile out;
  ASSERT_TRUE(OpenOutputFileOrSay(to, out, "sub/a.smd"));
  PutText(out, "hello");
  EXPECT_TRUE(CloseOutputFile(to, out));
  ASSERT_TRUE(OpenOutputFileOrSay(to, out, "b.smd"));
  PutText(out, "xyz");
  out.writeFailed = true;  // as after a failed write
  out.writeErrno = ENOSPC;
  EXPECT_FALSE(CloseOutputFile(to, out));
  EXPECT_EQ(heard, (std::vector<std::string>{"sub/a.smd 5 0", "b.smd 3 " + std::to_string(ENOSPC)}));
  CloseLogChannel(channel);
  CloseOutputFolder(folder);
}
