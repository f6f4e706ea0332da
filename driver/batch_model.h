// One model of a batch: converted into its own output folder exactly as
// `tamberlo -file <input> -out <that folder>` would, with what the report
// needs to know about it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/batch_plan.h"
#include "driver/model_load.h"
#include "io/output_folder.h"

#include "io/work_pool.h"

struct WrittenFile {
  std::string name;  // relative to the model's output folder
  uint64_t bytes = 0;
};

struct ModelResult {
  bool finished = false;       // false: not started (the batch was stopped first) or skipped as a collision
  std::string status = "not started";
  int exitStatus = -1;         // what a -file run gives; -1 when the model was not run
  bool versionRead = false;
  int32_t version = 0;
  const char* family = nullptr;  // "37", "31-36", "28-30"; nullptr when the version is not supported
  std::string log;             // the model's messages, as in its streams.log
  std::vector<WrittenFile> files;  // committed, in order; a name written twice keeps its first place
  double seconds = 0;
  int64_t bytesRead = 0;
  bool diskFull = false;       // a write or a folder failed for want of space
  ModelCounts counts;
};

// Status names of the report. "converted with notes": every file was
// written, some under changed names or with values the .glb cannot hold
// replaced; it counts as converted.
extern const char* const kStatusConverted;
extern const char* const kStatusConvertedWithNotes;
extern const char* const kStatusBadData;
extern const char* const kStatusUnsupported;
extern const char* const kStatusMissingStrip;
extern const char* const kStatusUnreadable;
extern const char* const kStatusCollision;
extern const char* const kStatusWriteFailed;
// A second signal stopped the batch while the model was being converted.
extern const char* const kStatusInterrupted;

// The status of a model run, from what loading found, the run's exit status,
// whether an output (a file, the log or the folder) could not be written, and
// whether the strip file is missing (as opposed to unreadable), and whether
// the run's only findings were notes (Destination::hadNotes without
// hadErrors).
const char* ModelStatus(const ModelLoadFacts& facts, int exitStatus, bool writeFailed, bool stripMissing,
                        bool onlyNotes = false);
// "converted" or "converted with notes".
bool IsConverted(const ModelResult& result);

// The family text of a supported version; nullptr otherwise.
const char* FamilyName(const ModelLoadFacts& facts);

// Opens "<root>/<output>", making each missing folder of `output` below the
// root's descriptor without following a link; its absolute path (for "$cd")
// is the root's real path and `output`, as a -file -out run finds it (CdPath). False
// with `error` ("<path>: <reason>") and errno set when it cannot.
bool OpenModelFolder(const OutputFolder& root, const std::string& output, OutputFolder& folder, std::string& error);

// Where a model's messages go beside its streams.log: kept in the result's
// log (a batch's report), shown on standard output as they come, or nowhere.
enum class ModelMessages { Kept, Shown, LogOnly };

// Converts `model` into "<root>/<model.output>". `written`, when set, grows by
// each committed file's size as it is committed.
ModelResult ConvertBatchModel(const BatchModel& model, const OutputFolder& root, const Parallelism& parallel,
                              std::atomic<uint64_t>* written, const OutputChoice& outputs = {},
                              uint64_t maxOutput = kDefaultOutputLimit,
                              ModelMessages messages = ModelMessages::Kept);
