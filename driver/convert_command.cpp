#include "driver/convert_command.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "driver/batch_model.h"
#include "driver/batch_run.h"
#include "driver/batch_walk.h"
#include "driver/convert_options.h"
#include "driver/help_text.h"
#include "io/output_folder.h"
#include "io/work_pool.h"

namespace {

constexpr int kConvertFailed = 1;

void SayProblem(const std::string& what, const std::string& path, const std::string& reason) {
  std::fprintf(stderr, "tamberlo: %s: %s: %s\n", what.c_str(), path.c_str(), reason.c_str());
}

// "<root>/<output>" as the user would write it: the current folder unnamed.
std::string Below(const std::string& root, const std::string& output) {
  return root == "." ? output : root + "/" + output;
}

bool EndsWithIgnoringCase(const std::string& text, const char* end) {
  const size_t length = std::strlen(end);
  return text.size() > length && ::strcasecmp(text.c_str() + text.size() - length, end) == 0;
}

bool Exists(const std::string& path) {
  struct stat status;
  return ::stat(path.c_str(), &status) == 0;
}

// A model PATH as the model file: "x" and "x.dx80.vtx" name x.mdl (or x.MDL
// when only that exists); "x.mdl" in any letter case stays.
std::string ModelFilePath(const std::string& path) {
  if (EndsWithIgnoringCase(path, ".mdl")) return path;
  std::string base = path;
  if (EndsWithIgnoringCase(path, ".dx80.vtx")) base.resize(path.size() - std::strlen(".dx80.vtx"));
  return !Exists(base + ".mdl") && Exists(base + ".MDL") ? base + ".MDL" : base + ".mdl";
}

// "car" names the model car.mdl even where a folder car exists, the output
// of an earlier run; "car/" is the folder.
bool NamesTheModelBeside(const std::string& path) {
  if (path.empty() || path.back() == '/') return false;
  struct stat status;
  const std::string model = ModelFilePath(path);
  return ::stat(model.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// Why `path` cannot be loaded; "" when it is a regular file with bytes in it.
std::string WhyUnreadable(const std::string& path) {
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) return std::strerror(errno);
  if (!S_ISREG(status.st_mode)) return "not a regular file";
  if (status.st_size == 0) return "empty";
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  return "";
}

// Why a model cannot be loaded, with the file it is about; "" when both of
// its files can be. Asked before its folder is made, so that nothing is
// written for a model that is not there.
std::string WhyNotLoadable(const BatchModel& model, std::string& file) {
  // The strip file's path, the longer one, must fit the loader's 256 bytes.
  constexpr size_t kLongestBase = 246;
  file = model.input;
  if (model.base.size() > kLongestBase) return "name too long (at most 246 characters without extension)";
  std::string reason = WhyUnreadable(file);
  if (!reason.empty()) return reason;
  file = model.base + ".dx80.vtx";
  return WhyUnreadable(file);
}

// The one line on standard error for a model that was loaded but not converted.
void SayModelProblem(const BatchModel& model, const ModelResult& result, const std::string& root) {
  const std::string log = Below(root, model.output) + "/streams.log";
  const std::string status = result.status;
  if (status == kStatusUnsupported)
    return SayProblem("unsupported version", model.input, std::to_string(result.version) + " (28 to 37 are read)");
  // Damaged input, or an output over the limit: its log says which.
  if (status == kStatusBadData) return SayProblem("converted with errors", model.input, "see " + log);
  if (result.exitStatus == kExitUsage) {
    // The folder was not made: the result's log holds why.
    std::string why = result.log;
    const std::string said = "Can't create the output folder: ";
    if (why.starts_with(said)) why.erase(0, said.size());
    while (!why.empty() && why.back() == '\n') why.pop_back();
    return SayProblem("cannot create the output folder", model.input, why);
  }
  SayProblem(status, model.input, "see " + log);
}

// Models named directly, one after another, each on `jobs` threads; their
// messages reach the console as they come (none with --quiet).
int ConvertModels(const BatchOptions& options) {
  OutputFolder root;
  std::string error;
  if (!OpenNamedFolder(root, options.out, error)) {
    std::fprintf(stderr, "tamberlo: cannot create the output folder: %s\n", error.c_str());
    return kConvertFailed;
  }
  const BatchPlan plan = FindModels(options.paths, WalkSettings());
  int status = 0;
  for (const BatchSkip& skip : plan.skipped) {
    SayProblem("not converted", skip.path, skip.reason);
    status = kConvertFailed;
  }
  std::unique_ptr<WorkPool> pool;
  if (options.jobs > 1) pool = std::make_unique<WorkPool>(options.jobs - 1);
  for (const BatchModel& model : plan.models) {
    // Without a batch there is no report or index page to collide with.
    if (model.collidesWith >= 0) {
      const std::string other = plan.models[static_cast<size_t>(model.collidesWith)].input;
      SayProblem("not converted", model.input,
                 "its output folder " + Below(options.out, model.output) + " is also the one of " + other);
      status = kConvertFailed;
      continue;
    }
    std::string file;
    const std::string why = WhyNotLoadable(model, file);
    if (!why.empty()) {
      SayProblem("cannot read", file, why);
      status = kConvertFailed;
      continue;
    }
    const ModelResult result =
        ConvertBatchModel(model, root, Parallelism{pool.get(), options.jobs}, nullptr,
                          OutputChoice{options.format, options.previewSize}, options.maxOutput,
                          options.quiet ? ModelMessages::LogOnly : ModelMessages::Shown);
    if (result.status != kStatusConverted) {
      SayModelProblem(model, result, options.out);
      status = kConvertFailed;
    }
  }
  CloseOutputFolder(root);
  return status;
}

// Standard output carried to standard error while it lives: a batch's lines
// (the models that failed, the summary) are no data of convert's.
class OutputToErrors {
 public:
  OutputToErrors() {
    std::fflush(stdout);
    saved_ = ::dup(1);
    if (saved_ >= 0) ::dup2(2, 1);
  }
  ~OutputToErrors() {
    std::fflush(stdout);
    if (saved_ < 0) return;
    ::dup2(saved_, 1);
    ::close(saved_);
  }
  OutputToErrors(const OutputToErrors&) = delete;
  OutputToErrors& operator=(const OutputToErrors&) = delete;

 private:
  int saved_ = -1;
};

// A folder among the PATHs: all of them, as one batch with its report.
int ConvertAsBatch(const BatchOptions& options) {
  int status;
  {
    OutputToErrors toErrors;
    status = RunBatch(options);
  }
  if (status == 0 || status >= 128) return status;
  return kConvertFailed;
}

}  // namespace

int RunConvertCommand(int argc, char** argv) {
  ConvertLine line;
  std::string error;
  if (!ParseConvertLine(argc, argv, line, error)) {
    std::fprintf(stderr, "tamberlo: %s\n", error.c_str());
    return kExitUsage;
  }
  if (line.help) {
    std::fputs(ConvertHelpText().c_str(), stdout);
    return 0;
  }
  if (line.version) {
    std::fputs(VersionText().c_str(), stdout);
    return 0;
  }
  BatchOptions options = line.options;
  if (options.jobs == 0) options.jobs = AvailableProcessors();
  // Appended, not assigned: GCC 12 warns falsely (-Wrestrict) on assigning a literal here.
  if (options.out.empty()) options.out.push_back('.');
  struct stat rootStatus;
  const bool rootExists = ::stat(options.out.c_str(), &rootStatus) == 0;
  bool anyFolder = false;
  for (std::string& path : options.paths) {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || NamesTheModelBeside(path)) {
      path = ModelFilePath(path);
      continue;
    }
    anyFolder = true;
    // The walk passes over the output folder: this folder would give nothing.
    if (rootExists && status.st_dev == rootStatus.st_dev && status.st_ino == rootStatus.st_ino) {
      std::fprintf(stderr, "tamberlo: %s is also the output folder; give another with --out DIR\n", path.c_str());
      return kExitUsage;
    }
  }
  return anyFolder ? ConvertAsBatch(options) : ConvertModels(options);
}
