// One conversion as a value: the two loaded images, where the outputs and
// messages go, the run's status, and the items that format files in parallel.
// Every writer takes it; nothing in a conversion reads or changes state of the
// process, but for the registry of temporary files that signals need
// (io/temp_registry.h).
#pragma once

#include <string_view>

#include "formats/byte_view.h"
#include "formats/model_records.h"
#include "formats/strip_records.h"
#include "io/destination.h"
#include "io/ordered_items.h"
#include "io/safe_names.h"
#include "model/model_geometry.h"
#include "model/output_plan.h"

struct Conversion {
  ModelFile model;
  StripFile strip;
  Destination to;
  // Where mesh and animation files are formatted and written; nullptr: each
  // file in turn on the calling thread.
  OrderedItems* items = nullptr;
  // Names from the model written changed so far (io/safe_names.h); touched
  // only by the walk.
  NameChanges names;
  // The read layer's results, made once before any writer runs
  // (ReadAndPlan); read only after that.
  ModelGeometry geometry;
  OutputPlan plan;
};

// Walks the model's geometry and plans its output files.
void ReadAndPlan(Conversion& conv, const PlanChoice& choice);

// The planned name of a file; says once, when the file is started, that it is
// written under another name than its own (model/output_plan.h).
const std::string& StartPlannedFile(Conversion& conv, const PlannedFile& file);

// The name as the conversion's outputs carry it; its first change is logged
// (io/safe_names.h). For the walk only.
inline std::string OutputName(Conversion& conv, std::string_view name) {
  return NotedName(conv.to, conv.names, name);
}
// Notes the changes of every bone name, once per conversion, before the first
// file that carries the node list. Stops quietly at a bone table or name the
// file does not hold: the writers report that, and write no node list then.
void NoteBoneNameChanges(Conversion& conv);

// Logs "Bad data: <context>: <what the error says>\n" and notes an error.
// Every writer reports bad data through this one line.
void ReportBadData(Destination& to, std::string_view context, const FormatError& error);

// Fills an opened file with `work` and commits it: through conv.items when
// set, else at once on this thread. True when the file was started on the
// items, or written in place.
bool WriteFileItem(Conversion& conv, OutputFile&& out, ItemWork work);
