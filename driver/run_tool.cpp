#include "driver/run_tool.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "anim/anim_export.h"
#include "driver/arguments.h"
#include "formats/conversion.h"
#include "formats/layout.h"
#include "io/input_file.h"
#include "io/names.h"
#include "io/ordered_items.h"
#include "io/work_pool.h"
#include "mathlib/math_startup.h"
#include "mesh/mesh_export.h"
#include "script/build_script.h"

namespace {

constexpr size_t kPathBufferSize = 256;

// Formats "<base><suffix>" into a zero-filled 256-byte buffer; false when it
// would not fit with its terminator.
bool FormatPath(char (&path)[kPathBufferSize], const char* base, const char* suffix) {
  std::memset(path, 0, sizeof path);
  int length = std::snprintf(path, sizeof path, "%s%s", base, suffix);
  return length >= 0 && static_cast<size_t>(length) < sizeof path;
}

// The tables are filled once, before the first conversion, and only read after.
void StartMathOnce() {
  static std::once_flag once;
  std::call_once(once, [] { MathStartup(2.2f, 2.2f, 0.0f, 2, 1, 1, 1, 1); });
}

// "-jobs N": a whole number from 1 to 1024; 0 when the text is anything else.
int ParseJobs(const char* text) {
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > 1024) return 0;
  return static_cast<int>(value);
}

}  // namespace

int ConvertImages(const unsigned char* modelData, int64_t modelSize, const char* modelPath,
                  const unsigned char* stripData, int64_t stripSize, const char* stripPath, Destination& to,
                  WorkPool* pool, int maxPending) {
  StartMathOnce();
  ByteView modelBytes{modelData, modelSize, modelPath};
  if (modelSize < 8) {
    // No complete version field: refused like an unsupported version, but as damaged input.
    LogMessage(to.sink, "Model file too short to hold a version (%lld bytes): %s\n",
               static_cast<long long>(modelSize), modelPath);
    return kExitDoneWithErrors;
  }
  int32_t version = ReadModelVersion(modelBytes);
  const ModelLayout* layout = LayoutForVersion(version);
  if (layout == nullptr) {
    LogMessage(to.sink, "Version %d is not supported\n", version);
    return to.hadErrors ? kExitDoneWithErrors : kExitDone;
  }
  LogMessage(to.sink, "%s", layout->familyLine);

  Conversion conv{ModelFile{modelBytes, layout}, StripFile{ByteView{stripData, stripSize, stripPath}}, to, nullptr, {}};
  std::unique_ptr<OrderedItems> items;
  if (pool != nullptr) {
    items = std::make_unique<OrderedItems>(conv.to, pool, static_cast<size_t>(maxPending));
    conv.items = items.get();
  }
  // No writer's result stops the next one. The writers report damaged input
  // per output item themselves; a FormatError that still reaches this level
  // ends only that writer.
  auto runWriter = [&conv](const char* what, auto&& writer) {
    try {
      writer();
    } catch (const FormatError& error) {
      ReportBadData(conv.to, what, error);
    }
  };
  runWriter("dec.qc", [&] { WriteBuildScript(conv); });
  runWriter("mesh export", [&] {
    ExportMeshes(conv);
    if (items) items->FinishAll();
  });
  runWriter("animation export", [&] {
    ExportAnimations(conv);
    if (items) items->FinishAll();
  });
  to = conv.to;
  return to.hadErrors ? kExitDoneWithErrors : kExitDone;
}

namespace {

// The run once the output folder and its log are open.
int RunInFolder(char* name, Destination& to, int jobs) {
  StripExtension(name);
  char modelPath[kPathBufferSize];
  char stripPath[kPathBufferSize];
  // The longer strip path decides: a base name above 246 characters is refused
  // before anything is loaded.
  if (!FormatPath(modelPath, name, ".mdl") || !FormatPath(stripPath, name, ".dx80.vtx")) {
    LogMessage(to.sink, "Model name too long (at most 246 characters): %s\n", name);
    return kExitNotLoaded;
  }
  FileBlock modelFile = ReadWholeFile(modelPath);
  if (modelFile.size == 0) {
    LogMessage(to.sink, "Can't open: %s\n", modelPath);
    return kExitNotLoaded;
  }
  FileBlock stripFile = ReadWholeFile(stripPath);
  if (stripFile.size == 0) {
    LogMessage(to.sink, "Can't open: %s\n", stripPath);
    return kExitNotLoaded;
  }
  // The calling thread walks the model and helps the workers while it waits.
  std::unique_ptr<WorkPool> pool;
  if (jobs > 1) pool = std::make_unique<WorkPool>(jobs - 1);
  return ConvertImages(modelFile.data.get(), modelFile.size, modelPath, stripFile.data.get(), stripFile.size,
                       stripPath, to, pool.get(), 2 * jobs);
}

}  // namespace

int RunTamberlo(int argc, char** argv) {
  char* name = FindArgument(argc, argv, "-file", nullptr);
  const char* outPath = FindArgument(argc, argv, "-out", nullptr);
  const char* jobsText = FindArgument(argc, argv, "-jobs", nullptr);
  const char* limitText = FindArgument(argc, argv, "-max-output", nullptr);

  OutputFolder folder;
  LogChannel channel;
  if (outPath != nullptr) {
    std::string error;
    if (!OpenNamedFolder(folder, outPath, error)) {
      std::fprintf(stdout, "Can't create the output folder: %s\n", error.c_str());
      return kExitUsage;
    }
  } else if (!OpenCurrentFolder(folder)) {
    // Without a descriptor nothing can be written below the folder; the
    // messages still reach the console.
    channel.toLogFile = false;
  }
  channel.folderFd = folder.fd;
  OutputLimit limit{kDefaultOutputLimit};
  Destination to{&folder, MessageSink{&channel, nullptr}, false, &limit};

  int status;
  int jobs = jobsText == nullptr ? AvailableProcessors() : ParseJobs(jobsText);
  if (name == nullptr) {
    PrintUsage(to.sink);
    status = kExitNotLoaded;
  } else if (jobs == 0) {
    LogMessage(to.sink, "-jobs takes a whole number from 1 to 1024, not \"%s\"\n", jobsText);
    status = kExitUsage;
  } else if (limitText != nullptr && !ParseByteSize(limitText, limit.bytes)) {
    LogMessage(to.sink, "-max-output takes a size in bytes with an optional K, M or G (0: no limit), not \"%s\"\n",
               limitText);
    status = kExitUsage;
  } else {
    status = RunInFolder(name, to, jobs);
  }
  // A log that was refused or not written completely ends the run with errors.
  if (channel.failed && status != kExitUsage) status = kExitDoneWithErrors;
  CloseLogChannel(channel);
  CloseOutputFolder(folder);
  return status;
}
