#include "formats/file_budget.h"

#include <cstdio>

void ChargeFileBudget(FileBudget& budget, const ByteView& view, int64_t bytes, int64_t at, const char* field) {
  if (bytes <= budget.left) {
    budget.left -= bytes;
    return;
  }
  char text[160];
  std::snprintf(text, sizeof text,
                "needs %lld bytes, more than the file has left for records of its kind: they share bytes",
                static_cast<long long>(bytes));
  ThrowFormatErrorText(view, field, at, text);
}
