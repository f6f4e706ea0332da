// Loading one model's two files and converting them: the same steps, messages
// and exit status for a -file run and for each model of a batch.
#pragma once

#include "driver/run_tool.h"

#include <cstdint>

#include "io/destination.h"

#include "io/work_pool.h"
struct ModelLayout;

// What a model holds, as the batch's index page shows it; -1 where it could
// not be read (the version is not supported or the table leaves the file).
struct ModelCounts {
  int64_t bones = -1;
  int64_t subModels = -1;         // over all body parts
  int64_t lodZeroTriangles = -1;  // of the sub-models' first level of detail
  int64_t animations = -1;
};

// What a load-and-convert found, beside its exit status.
struct ModelLoadFacts {
  enum class Stage {
    NameTooLong,      // the paths do not fit the 256-byte buffers; nothing read
    ModelUnreadable,  // "<base><extension>" missing, unreadable, empty or not a regular file
    StripUnreadable,  // the same for "<base>.dx80.vtx"
    Loaded,           // both read; ConvertImages ran
  };
  Stage stage = Stage::NameTooLong;
  bool versionRead = false;               // the model holds a complete version field
  int32_t version = 0;
  const ModelLayout* layout = nullptr;    // nullptr: version not supported (or not read)
  int64_t bytesRead = 0;                  // both files, when loaded
  ModelCounts counts;                     // of a supported version, when loaded
};

// Loads "<base><modelExtension>" and "<base>.dx80.vtx" and converts them into
// `to` (see ConvertImages for `parallel`). A base longer than 246
// characters is refused before anything is read. `facts` may be nullptr.
int LoadAndConvert(const char* base, const char* modelExtension, Destination& to, const Parallelism& parallel,
                   ModelLoadFacts* facts, const OutputChoice& outputs = {});
