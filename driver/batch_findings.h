// What a model's messages say went wrong, for the report and the index page:
// one line from its messages and a short kind, so a reader sees the story of
// a card without opening its log.
#pragma once

#include <string>

#include "driver/batch_model.h"

struct ModelFinding {
  // "damaged input", "output problem", "names changed", "values replaced",
  // "interrupted", "not started"; nullptr: a model converted without a note.
  const char* kind = nullptr;
  std::string line;  // the first problem line, else the first note; may be empty
};

// Messages are read line by line. "Decompiled ..." and "Extracted ..." say
// what was done; "Name changed: ", "File name taken: " and lines about
// values "glTF cannot hold" are notes; every other line is a problem. A model
// not started is "interrupted" when the batch was, else "not started".
ModelFinding FindingOf(const BatchModel& model, const ModelResult& result, bool batchInterrupted);
