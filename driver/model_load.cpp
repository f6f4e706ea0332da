#include "driver/model_load.h"

#include <cstdio>
#include <cstring>

#include "driver/run_tool.h"
#include "formats/byte_view.h"
#include "formats/layout.h"
#include "formats/model_records.h"
#include "io/input_file.h"
#include "io/shown_name.h"

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

int LoadAndConvert(const char* base, const char* modelExtension, Destination& to, const Parallelism& parallel,
                   ModelLoadFacts* facts, const OutputChoice& outputs) {
  ModelLoadFacts local;
  ModelLoadFacts& found = facts != nullptr ? *facts : local;
  found = ModelLoadFacts();
  char modelPath[kPathBufferSize];
  char stripPath[kPathBufferSize];
  // The longer strip path decides: a base name above 246 characters is refused
  // before anything is loaded.
  if (!FormatPath(modelPath, base, modelExtension) || !FormatPath(stripPath, base, ".dx80.vtx")) {
    LogMessage(to.sink, "Model name too long (at most 246 characters): %s\n", ShownName(base).c_str());
    return kExitNotLoaded;
  }
  found.stage = ModelLoadFacts::Stage::ModelUnreadable;
  FileBlock modelFile = ReadWholeFile(modelPath);
  if (modelFile.size == 0) {
    LogMessage(to.sink, "Can't open: %s\n", ShownName(modelPath).c_str());
    return kExitNotLoaded;
  }
  found.stage = ModelLoadFacts::Stage::StripUnreadable;
  FileBlock stripFile = ReadWholeFile(stripPath);
  if (stripFile.size == 0) {
    LogMessage(to.sink, "Can't open: %s\n", ShownName(stripPath).c_str());
    return kExitNotLoaded;
  }
  found.stage = ModelLoadFacts::Stage::Loaded;
  found.bytesRead = modelFile.size + stripFile.size;
  if (modelFile.size >= 8) {
    found.versionRead = true;
    found.version = ReadModelVersion(ByteView{modelFile.data.get(), modelFile.size, modelPath});
    found.layout = LayoutForVersion(found.version);
  }
  return ConvertImages(modelFile.data.get(), modelFile.size, modelPath, stripFile.data.get(), stripFile.size,
                       stripPath, to, parallel, outputs, facts != nullptr ? &found.counts : nullptr);
}
