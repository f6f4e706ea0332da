#include "formats/file_budget.h"

#include <cstdio>

void ChargeFileBudget(FileBudget& budget, const ByteView& view, int64_t bytes, int64_t at, const char* field) {
  if (bytes <= budget.left) {
    budget.left -= bytes;
    return;
  }
  char text[160];
  std::snprintf(text, sizeof text,
                "needs %lld bytes, more than is left of %lld times the file's size for records of its kind: they "
                "share bytes",
                static_cast<long long>(bytes), static_cast<long long>(kSharedRecordFactor));
  ThrowFormatErrorText(view, field, at, text);
}

void ChargeTableToBudget(FileBudget& budget, const ByteView& view, int64_t pos, int32_t count, int64_t recordSize,
                         const char* field) {
  if (count <= 0) return;
  ChargeFileBudget(budget, view, TableLength(view, pos, count, recordSize, field), pos, field);
}

void CheckSubModelTable(const ModelFile& model, const BodyPartRecord& bodyPart, FileBudget& budget) {
  const int64_t at = AddOffset(bodyPart.at, bodyPart.modelOffset);
  CheckTable(model.bytes, at, bodyPart.modelCount, model.layout->modelRecordSize, "sub-model table");
  ChargeTableToBudget(budget, model.bytes, at, bodyPart.modelCount, model.layout->modelRecordSize, "sub-model table");
}

void CheckStripLodTable(const StripFile& strip, const StripModel& stripModel, FileBudget& budget) {
  const int64_t at = AddOffset(stripModel.at, stripModel.lodOffset);
  CheckTable(strip.bytes, at, stripModel.lodCount, kStripLodSize, "strip LOD table");
  ChargeTableToBudget(budget, strip.bytes, at, stripModel.lodCount, kStripLodSize, "strip LOD table");
}
