#include "driver/run_tool.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>

#include "anim/anim_export.h"
#include "driver/arguments.h"
#include "driver/batch_run.h"
#include "driver/help_text.h"
#include "driver/model_load.h"
#include "formats/conversion.h"
#include "formats/layout.h"
#include "io/names.h"
#include "io/ordered_items.h"
#include "io/work_pool.h"
#include "mathlib/math_startup.h"
#include "mesh/mesh_export.h"
#include "script/build_script.h"

namespace {

// The tables are filled once, before the first conversion, and only read after.
void StartMathOnce() {
  static std::once_flag once;
  std::call_once(once, [] { MathStartup(2.2f, 2.2f, 0.0f, 2, 1, 1, 1, 1); });
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
  // The calling thread walks the model and helps the workers while it waits.
  std::unique_ptr<WorkPool> pool;
  if (jobs > 1) pool = std::make_unique<WorkPool>(jobs - 1);
  return LoadAndConvert(name, ".mdl", to, pool.get(), 2 * jobs, nullptr);
}

// -h, -help or --help (any letter case) as an option of its own, not as the
// value of another option.
bool AsksFor(int argc, char** argv, std::initializer_list<const char*> names) {
  for (int i = 1; i < argc; ++i) {
    for (const char* name : names) {
      if (::strcasecmp(argv[i], name) == 0) return true;
    }
    for (const char* takesValue : {"-file", "-out", "-jobs"}) {
      if (::strcasecmp(argv[i], takesValue) == 0) {
        ++i;
        break;
      }
    }
  }
  return false;
}

}  // namespace

int RunTamberlo(int argc, char** argv) {
  if (AsksFor(argc, argv, {"-h", "-help", "--help"})) {
    std::fputs(HelpText().c_str(), stdout);
    return kExitNotLoaded;
  }
  if (AsksFor(argc, argv, {"--version"})) {
    std::fputs(VersionText().c_str(), stdout);
    return kExitNotLoaded;
  }
  if (IsBatchCommand(argc, argv)) return RunBatchCommand(argc, argv);
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
