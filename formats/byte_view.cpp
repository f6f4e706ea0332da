#include "formats/byte_view.h"

#include <cstdio>

#include "io/shown_name.h"

namespace {

std::string Describe(const ByteView& view, const char* field, int64_t offset, const char* text) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, " at offset %lld %s (file size %lld)", static_cast<long long>(offset), text,
                static_cast<long long>(view.size));
  // The file's name comes from the file system or the command line.
  return ShownName(view.fileName) + ": " + field + buffer;
}

}  // namespace

void ThrowFormatErrorText(const ByteView& view, const char* field, int64_t offset, const char* text) {
  FormatError error;
  error.fileName = view.fileName;
  error.field = field;
  error.offset = offset;
  error.fileSize = view.size;
  error.message = Describe(view, field, offset, text);
  throw error;
}

void ThrowFormatError(const ByteView& view, const char* field, int64_t offset, int64_t length) {
  char text[64];
  std::snprintf(text, sizeof text, "(%lld bytes) lies outside the file", static_cast<long long>(length));
  FormatError error;
  error.fileName = view.fileName;
  error.field = field;
  error.offset = offset;
  error.length = length;
  error.fileSize = view.size;
  error.message = Describe(view, field, offset, text);
  throw error;
}

int64_t AddOffset(int64_t base, int64_t offset) {
  int64_t sum;
  if (__builtin_add_overflow(base, offset, &sum)) {
    FormatError error;
    error.field = "offset";
    error.offset = base;
    error.message = "offset arithmetic overflows";
    throw error;
  }
  return sum;
}

int64_t RecordAt(int64_t tableStart, int64_t index, int64_t recordSize) {
  int64_t step;
  if (__builtin_mul_overflow(index, recordSize, &step)) {
    FormatError error;
    error.field = "record index";
    error.offset = tableStart;
    error.message = "record index arithmetic overflows";
    throw error;
  }
  return AddOffset(tableStart, step);
}

void CheckRange(const ByteView& view, int64_t pos, int64_t length, const char* field) {
  // pos <= size - length cannot overflow: both sides stay within int64 for any
  // non-negative length not larger than the image.
  if (pos < 0 || length < 0 || length > view.size || pos > view.size - length) {
    ThrowFormatError(view, field, pos, length);
  }
}

int64_t TableLength(const ByteView& view, int64_t pos, int32_t count, int64_t recordSize, const char* field) {
  if (count <= 0) return 0;
  int64_t length;
  if (__builtin_mul_overflow(static_cast<int64_t>(count), recordSize, &length)) {
    ThrowFormatErrorText(view, field, pos, "has a count the file cannot hold");
  }
  return length;
}

void CheckTable(const ByteView& view, int64_t pos, int32_t count, int64_t recordSize, const char* field) {
  if (count <= 0) return;
  CheckRange(view, pos, TableLength(view, pos, count, recordSize, field), field);
}

const unsigned char* CheckedPointer(const ByteView& view, int64_t pos, int64_t length, const char* field) {
  CheckRange(view, pos, length, field);
  return view.data + pos;
}

uint8_t ReadU8(const ByteView& view, int64_t pos, const char* field) {
  return LoadU8(CheckedPointer(view, pos, 1, field));
}
int16_t ReadI16(const ByteView& view, int64_t pos, const char* field) {
  return LoadI16(CheckedPointer(view, pos, 2, field));
}
uint16_t ReadU16(const ByteView& view, int64_t pos, const char* field) {
  return LoadU16(CheckedPointer(view, pos, 2, field));
}
int32_t ReadI32(const ByteView& view, int64_t pos, const char* field) {
  return LoadI32(CheckedPointer(view, pos, 4, field));
}
float ReadF32(const ByteView& view, int64_t pos, const char* field) {
  return LoadF32(CheckedPointer(view, pos, 4, field));
}

std::string_view ReadString(const ByteView& view, int64_t pos, const char* field) {
  CheckRange(view, pos, 1, field);
  const void* end = std::memchr(view.data + pos, 0, static_cast<size_t>(view.size - pos));
  if (end == nullptr) ThrowFormatErrorText(view, field, pos, "has no terminating zero inside the file");
  const char* start = reinterpret_cast<const char*>(view.data + pos);
  return std::string_view(start, static_cast<size_t>(static_cast<const char*>(end) - start));
}
