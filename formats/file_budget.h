// How many bytes of a file its records may still claim.
//
// A file may point many records at the same bytes (every level of detail at
// one strip mesh array, every body part at one sub-model table, every hitbox
// set at one hitbox table, every animation at one set of per-bone records).
// That is how the format works, and such records are walked as often as they
// are named. What a hostile file must not do is multiply the work and the
// output without bound by naming a few bytes millions of times. So the records
// of one kind that a writer walks are charged to a budget of 64 times the
// file's size: far more than any model that shares records ever needs, and
// still work in proportion to the file's size. Records beyond it are bad data.
#pragma once

#include <cstdint>

#include "formats/byte_view.h"

struct FileBudget {
  int64_t left = 0;
};

// How many times over the records of one kind may claim their file's bytes.
constexpr int64_t kSharedRecordFactor = 64;

// Files are below 2 GiB (io/input_file.h), so this cannot overflow.
inline FileBudget WholeFileBudget(const ByteView& view) { return FileBudget{view.size * kSharedRecordFactor}; }

// Charges `bytes` to the budget; throws FormatError naming the field at `at`
// when the records charged so far would need more than the budget.
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
