// Where one conversion, or one item of it, writes: its output folder, its
// messages, and whether it met an error (bad input data, a refused name, an
// output not written completely), which ends the run with status 2.
#pragma once

#include "io/log.h"
#include "io/output_folder.h"

struct Destination {
  const OutputFolder* folder = nullptr;
  MessageSink sink;
  bool hadErrors = false;
};
