#include "driver/batch_model.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <unordered_map>

#include "driver/run_tool.h"
#include "formats/layout.h"
#include "io/output_folder.h"
#include "io/shown_name.h"

const char* const kStatusConverted = "converted";
const char* const kStatusConvertedWithNotes = "converted with notes";
const char* const kStatusBadData = "bad data";
const char* const kStatusUnsupported = "unsupported version";
const char* const kStatusMissingStrip = "missing strip file";
const char* const kStatusUnreadable = "unreadable";
const char* const kStatusCollision = "output-folder collision";
const char* const kStatusWriteFailed = "write failed";
const char* const kStatusInterrupted = "interrupted";

namespace {

bool IsOutOfSpace(int error) { return error == ENOSPC || error == EDQUOT; }

}  // namespace

const char* ModelStatus(const ModelLoadFacts& facts, int exitStatus, bool writeFailed, bool stripMissing,
                        bool onlyNotes) {
  if (writeFailed) return kStatusWriteFailed;
  switch (facts.stage) {
    case ModelLoadFacts::Stage::NameTooLong:
    case ModelLoadFacts::Stage::ModelUnreadable:
      return kStatusUnreadable;
    case ModelLoadFacts::Stage::StripUnreadable:
      return stripMissing ? kStatusMissingStrip : kStatusUnreadable;
    case ModelLoadFacts::Stage::Loaded:
      break;
  }
  if (!facts.versionRead) return kStatusBadData;
  if (facts.layout == nullptr) return kStatusUnsupported;
  // A changed name ends the run with status 2 though it is only a note.
  if (onlyNotes && (exitStatus == kExitDone || exitStatus == kExitDoneWithErrors)) return kStatusConvertedWithNotes;
  return exitStatus == kExitDone ? kStatusConverted : kStatusBadData;
}

bool IsConverted(const ModelResult& result) {
  return result.status == kStatusConverted || result.status == kStatusConvertedWithNotes;
}

const char* FamilyName(const ModelLoadFacts& facts) {
  if (facts.layout == nullptr) return nullptr;
  switch (facts.layout->family) {
    case VersionFamily::Mode37:
      return "37";
    case VersionFamily::Mode31To36:
      return "31-36";
    case VersionFamily::Mode28To30:
      return "28-30";
  }
  return nullptr;
}

bool OpenModelFolder(const OutputFolder& root, const std::string& output, OutputFolder& folder, std::string& error) {
  folder = OutputFolder();
  folder.createSubfolders = true;
  int fd = ::dup(root.fd);
  std::string made = root.absolutePath;
  size_t start = 0;
  while (fd >= 0 && start <= output.size()) {
    size_t slash = output.find('/', start);
    if (slash == std::string::npos) slash = output.size();
    std::string part = output.substr(start, slash - start);
    start = slash + 1;
    if (part.empty()) continue;
    made += "/" + part;
    if (::mkdirat(fd, part.c_str(), 0755) != 0 && errno != EEXIST) {
      const int reason = errno;
      error = ShownName(made) + ": " + std::strerror(reason);
      errno = reason;
      ::close(fd);
      return false;
    }
    int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    int openError = errno;
    ::close(fd);
    fd = next;
    if (fd < 0) {
      error = ShownName(made) + ": " + std::strerror(openError);
      errno = openError;
      return false;
    }
  }
  if (fd < 0) {
    const int reason = errno;
    error = ShownName(made) + ": " + std::strerror(reason);
    errno = reason;
    return false;
  }
  folder.fd = fd;
  // Below a root whose path could not be found or written, "." is all "$cd" can say.
  folder.absolutePath = root.absolutePath == "." ? std::string(".") : CdPath(made);
  return true;
}

ModelResult ConvertBatchModel(const BatchModel& model, const OutputFolder& root, const Parallelism& parallel,
                              std::atomic<uint64_t>* written, const OutputChoice& outputs, uint64_t maxOutput,
                              ModelMessages messages) {
  auto start = std::chrono::steady_clock::now();
  ModelResult result;
  result.finished = true;
  bool writeFailed = false;
  ModelLoadFacts facts;

  OutputFolder folder;
  std::string error;
  if (!OpenModelFolder(root, model.output, folder, error)) {
    // As -file -out says it on the console; there is no folder for a log.
    result.log = "Can't create the output folder: " + error + "\n";
    result.exitStatus = kExitUsage;
    result.status = kStatusWriteFailed;
    result.diskFull = IsOutOfSpace(errno);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
  }
  // Committed files are reported by the thread that walks this model, the
  // only one that commits its files.
  std::unordered_map<std::string, size_t> fileIndex;
  CommitHook onCommit = [&](std::string_view name, uint64_t bytes, int commitError) {
    if (commitError != 0) {
      writeFailed = true;
      if (IsOutOfSpace(commitError)) result.diskFull = true;
      return;
    }
    if (written != nullptr) written->fetch_add(bytes, std::memory_order_relaxed);
    auto [at, inserted] = fileIndex.emplace(std::string(name), result.files.size());
    if (inserted) {
      result.files.push_back(WrittenFile{std::string(name), bytes});
    } else {
      result.files[at->second].bytes = bytes;
    }
  };
  folder.onCommit = &onCommit;

  LogChannel channel;
  channel.folderFd = folder.fd;
  channel.console = messages == ModelMessages::Kept ? &result.log : nullptr;
  channel.toConsole = messages != ModelMessages::LogOnly;
  OutputLimit limit{maxOutput};
  Destination to{&folder, MessageSink{&channel, nullptr}, false, &limit};
  int status = LoadAndConvert(model.base.c_str(), model.extension.c_str(), to, parallel, &facts, outputs);
  if (channel.failed) {
    writeFailed = true;
    status = kExitDoneWithErrors;
  }
  if (channel.logFd >= 0) {
    struct stat logStatus;
    if (::fstat(channel.logFd, &logStatus) == 0) {
      result.files.push_back(WrittenFile{"streams.log", static_cast<uint64_t>(logStatus.st_size)});
      if (written != nullptr) written->fetch_add(static_cast<uint64_t>(logStatus.st_size), std::memory_order_relaxed);
    }
  }
  CloseLogChannel(channel);
  CloseOutputFolder(folder);

  bool stripMissing = false;
  if (facts.stage == ModelLoadFacts::Stage::StripUnreadable) {
    struct stat stripStatus;
    std::string stripPath = model.base + ".dx80.vtx";
    stripMissing = ::lstat(stripPath.c_str(), &stripStatus) != 0 && errno == ENOENT;
  }
  result.exitStatus = status;
  result.status = ModelStatus(facts, status, writeFailed, stripMissing, to.hadNotes && !to.hadErrors);
  result.versionRead = facts.versionRead;
  result.version = facts.version;
  result.family = FamilyName(facts);
  result.bytesRead = facts.bytesRead;
  result.counts = facts.counts;
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result;
}
