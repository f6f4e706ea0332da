#include "driver/run_tool.h"

#include <cstdio>
#include <cstring>

#include "anim/anim_export.h"
#include "driver/arguments.h"
#include "driver/file_io.h"
#include "driver/log.h"
#include "driver/names.h"
#include "driver/run_status.h"
#include "formats/layout.h"
#include "formats/model_records.h"
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

}  // namespace

int RunOnImages(const unsigned char* modelData, int64_t modelSize, const char* modelPath,
                const unsigned char* stripData, int64_t stripSize, const char* stripPath) {
  MathStartup(2.2f, 2.2f, 0.0f, 2, 1, 1, 1, 1);

  ByteView modelBytes{modelData, modelSize, modelPath};
  if (modelSize < 8) {
    // No complete version field: refused like an unsupported version, but as damaged input.
    LogMessage("Model file too short to hold a version (%lld bytes): %s\n", static_cast<long long>(modelSize),
               modelPath);
    NoteRunError();
    return kExitDoneWithErrors;
  }
  int32_t version = ReadModelVersion(modelBytes);
  const ModelLayout* layout = LayoutForVersion(version);
  if (layout == nullptr) {
    LogMessage("Version %d is not supported\n", version);
    return RunHadErrors() ? kExitDoneWithErrors : kExitDone;
  }
  LogMessage("%s", layout->familyLine);

  ModelFile model{modelBytes, layout};
  StripFile strip{ByteView{stripData, stripSize, stripPath}};
  // No writer's result stops the next one. The writers report damaged input
  // per output item themselves; a FormatError that still reaches this level
  // ends only that writer.
  auto runWriter = [](const char* what, auto&& writer) {
    try {
      writer();
    } catch (const FormatError& error) {
      ReportBadData(what, error);
    }
  };
  runWriter("dec.qc", [&] { WriteBuildScript(model, strip); });
  runWriter("mesh export", [&] { ExportMeshes(model, strip); });
  runWriter("animation export", [&] { ExportAnimations(model); });
  return RunHadErrors() ? kExitDoneWithErrors : kExitDone;
}

int RunTamberlo(int argc, char** argv) {
  ResetRunStatus();
  char* name = FindArgument(argc, argv, "-file", nullptr);
  if (name == nullptr) {
    PrintUsage();
    return kExitNotLoaded;
  }
  StripExtension(name);

  char modelPath[kPathBufferSize];
  char stripPath[kPathBufferSize];
  // The longer strip path decides: a base name above 246 characters is refused
  // before anything is loaded.
  if (!FormatPath(modelPath, name, ".mdl") || !FormatPath(stripPath, name, ".dx80.vtx")) {
    LogMessage("Model name too long (at most 246 characters): %s\n", name);
    return kExitNotLoaded;
  }

  FileBlock modelFile = ReadWholeFile(modelPath);
  if (modelFile.size == 0) {
    LogMessage("Can't open: %s\n", modelPath);
    return kExitNotLoaded;
  }
  FileBlock stripFile = ReadWholeFile(stripPath);
  if (stripFile.size == 0) {
    LogMessage("Can't open: %s\n", stripPath);
    return kExitNotLoaded;
  }
  return RunOnImages(modelFile.data.get(), modelFile.size, modelPath, stripFile.data.get(), stripFile.size,
                     stripPath);
}
