#include "tests/hostile/hostile_support.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr const char* kTempMarker = ".tamberlo-";

// In a sanitizer build the tool reports a finding with exit status 86, never
// with one of its own statuses, so a sanitizer finding fails every check on
// the status. Only the tool's processes read these after this point.
[[maybe_unused]] const bool kSanitizerFindingsHaveTheirOwnStatus = [] {
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
    const char* value = std::getenv(name);
    std::string options = value != nullptr && *value != '\0' ? std::string(value) + ":" : std::string();
    setenv(name, (options + "exitcode=86").c_str(), 1);
  }
  return true;
}();

void CollectOutputs(const fs::path& work, HostileRun& run) {
  for (auto it = fs::recursive_directory_iterator(work); it != fs::recursive_directory_iterator(); ++it) {
    fs::path relative = fs::relative(it->path(), work);
    std::string name = relative.generic_string();
    if (name == "in") {
      it.disable_recursion_pending();
      continue;
    }
    if (it->path().filename().string().rfind(kTempMarker, 0) == 0) run.strays.push_back("temporary " + name);
    if (!it->is_regular_file() || name == "streams.log") continue;
    std::string text = ReadFileText(it->path());
    if (name == "dec.qc") text = text.substr(std::min(text.size(), text.find('\n') + 1));
    run.outputs[name] = text;
  }
}

}  // namespace

HostileFolders::HostileFolders() : work(parent.path / "work") { fs::create_directories(work / "in"); }

HostileRun RunToolIn(const HostileFolders& folders, const std::vector<uint8_t>& model,
                     const std::vector<uint8_t>& strip, uint64_t fileSizeLimit,
                     const std::vector<std::string>& extraArgs) {
  tb::WriteFileBytes((folders.work / "in" / "m.mdl").string(), model);
  tb::WriteFileBytes((folders.work / "in" / "m.dx80.vtx").string(), strip);
  // The limit is inherited by the tool's process; this process writes nothing
  // while it is lowered.
  rlimit saved{};
  if (fileSizeLimit != 0) {
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit lowered = saved;
    lowered.rlim_cur = fileSizeLimit;
    setrlimit(RLIMIT_FSIZE, &lowered);
  }
  std::vector<std::string> args = {"-file", "in/m"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  ToolRun tool = RunTool(folders.work, args);
  if (fileSizeLimit != 0) setrlimit(RLIMIT_FSIZE, &saved);
  HostileRun run;
  run.status = tool.status;
  run.console = tool.console;
  run.peakRssKb = tool.peakRssKb;
  for (const fs::directory_entry& entry : fs::directory_iterator(folders.parent.path)) {
    if (entry.path() != folders.work) run.strays.push_back("outside " + entry.path().string());
  }
  CollectOutputs(folders.work, run);
  return run;
}

HostileRun RunToolOnImages(const std::vector<uint8_t>& model, const std::vector<uint8_t>& strip,
                           const std::vector<std::string>& extraArgs) {
  HostileFolders folders;
  return RunToolIn(folders, model, strip, 0, extraArgs);
}

std::vector<std::string> TemporaryFilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> found;
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(folder, ignored); it != fs::recursive_directory_iterator();
       it.increment(ignored)) {
    // Lexically: a running tool may rename or remove the file at any moment.
    if (it->path().filename().string().rfind(kTempMarker, 0) == 0)
      found.push_back(it->path().lexically_relative(folder).generic_string());
  }
  return found;
}

std::vector<std::string> BadDataLines(const std::string& console) {
  std::vector<std::string> lines;
  std::istringstream in(console);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Bad data: ", 0) == 0) lines.push_back(line);
  }
  return lines;
}

std::set<std::string> OutputNames(const HostileRun& run) {
  std::set<std::string> names;
  for (const auto& [name, text] : run.outputs) names.insert(name);
  return names;
}

size_t AppendBytes(std::vector<uint8_t>& image, const std::string& bytes) {
  size_t at = image.size();
  image.insert(image.end(), bytes.begin(), bytes.end());
  return at;
}

void ExpectContained(const HostileRun& run, const std::string& what) {
  EXPECT_TRUE(run.status == 0 || run.status == 1 || run.status == 2)
      << what << ": the tool did not end by itself (status " << run.status << ")\n"
      << run.console;
  EXPECT_TRUE(run.strays.empty()) << what << ": " << run.strays.front();
}

void ExpectHandledDamage(const HostileRun& run, const HostileRun& intact, const std::string& item,
                         const std::string& what) {
  ExpectContained(run, what);
  EXPECT_EQ(run.status, 2) << what << "\n" << run.console;
  std::vector<std::string> bad = BadDataLines(run.console);
  if (!item.empty()) {
    bool named = std::any_of(bad.begin(), bad.end(),
                             [&](const std::string& line) { return line.find(item) != std::string::npos; });
    EXPECT_TRUE(named) << what << ": no \"Bad data\" line names " << item << "\n" << run.console;
  }
  for (const auto& [name, text] : run.outputs) {
    auto good = intact.outputs.find(name);
    if (good == intact.outputs.end()) {
      ADD_FAILURE() << what << ": wrote " << name << ", which the intact model does not have";
    } else {
      EXPECT_EQ(text, good->second) << what << ": " << name << " differs from the intact model's";
    }
  }
}
