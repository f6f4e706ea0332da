// Where one conversion, or one item of it, writes: its output folder, its
// messages, whether it met an error (bad input data, a refused name, an
// output not written completely), which ends the run with status 2, whether
// it said a note (a name written changed, a file written under another name,
// a value the .glb cannot hold replaced), and the run's limit on output.
#pragma once

#include <cstdint>

#include "io/log.h"
#include "io/output_folder.h"

// The most bytes the output files of one run may hold together (-max-output).
// Every file counts when it is settled (committed or abandoned, in the order
// the files were started), with all the bytes it was given, so the work a run
// does is bounded too; a file that would take the total past the limit is
// abandoned, and after it nothing more is written or said. Only the thread
// that walks the conversion touches it.
struct OutputLimit {
  uint64_t bytes = 0;  // 0: no limit
  uint64_t used = 0;
  bool reached = false;
};

struct Destination {
  const OutputFolder* folder = nullptr;
  MessageSink sink;
  bool hadErrors = false;
  OutputLimit* limit = nullptr;  // nullptr: no limit
  // A note is no error: the files hold everything, some under changed names
  // or with repaired values. (A changed name still ends a -file run with
  // status 2: see ConvertImages.)
  bool hadNotes = false;
};
