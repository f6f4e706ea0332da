// The command line of a batch run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/run_tool.h"

struct BatchOptions {
  std::vector<std::string> paths;  // models and folders, as given
  std::string out;                 // the output root
  int jobs = 1;
  bool quiet = false;
  bool followLinks = false;
  OutputFormat format = OutputFormat::Smd;
  uint64_t maxOutput = kDefaultOutputLimit;  // per model; 0: no limit
  int previewSize = 0;                       // -preview: the picture's width and height; 0: no picture
};

// True when one argument (argument 0 aside) is "-batch" in any letter case.
bool IsBatchCommand(int argc, char** argv);
// Reads "-batch PATH... -out DIR [-jobs N] [-quiet] [-follow-links]", options
// in any order and letter case; the PATHs are the arguments after -batch up to
// the next one starting with '-'. False with `error` set for a line that
// cannot be run: no PATH, an empty PATH, no -out or an empty one, a -jobs
// value that is not a whole number from 1 to 1024, a -format other than smd,
// gltf or all, a -max-output that is not a size, or -file beside -batch.
bool ParseBatchOptions(int argc, char** argv, BatchOptions& options, std::string& error);
