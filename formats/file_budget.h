// How many bytes of a file its records may still claim.
//
// In a well-formed file every record has bytes of its own, so the records a
// writer walks never need more bytes together than the file holds. A hostile
// file can point many records at the same bytes (every animation at one set of
// per-bone records, every level of detail at one set of strips, every body
// part at one sub-model table) and so multiply the work and the output far
// beyond anything the file describes. Charging each record's bytes to a budget
// of the file's size refuses exactly that, and never a file whose records are
// laid out one after the other.
#pragma once

#include <cstdint>

#include "formats/byte_view.h"

struct FileBudget {
  int64_t left = 0;
};

inline FileBudget WholeFileBudget(const ByteView& view) { return FileBudget{view.size}; }

// Charges `bytes` to the budget; throws FormatError naming the field at `at`
// when the records charged so far would need more bytes than the file holds.
void ChargeFileBudget(FileBudget& budget, const ByteView& view, int64_t bytes, int64_t at, const char* field);

// Charges a table of `count` records (none for a count of 0 or less) that
// starts at `pos`.
void ChargeTableToBudget(FileBudget& budget, const ByteView& view, int64_t pos, int32_t count, int64_t recordSize,
                         const char* field);

#include "formats/model_records.h"
#include "formats/strip_records.h"

// A body part's sub-model table: it must fit the model file, and it is
// charged to `budget`.
void CheckSubModelTable(const ModelFile& model, const BodyPartRecord& bodyPart, FileBudget& budget);
// A strip model's level-of-detail table: it must fit the strip file, and it is
// charged to `budget`.
void CheckStripLodTable(const StripFile& strip, const StripModel& stripModel, FileBudget& budget);
