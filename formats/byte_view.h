// Bounds-checked access to a loaded input file.
//
// Every read of the model and strip images goes through these helpers. A read
// that would leave the image throws FormatError, which names the file, the
// field being read, the offset and the file size; no other code does pointer
// arithmetic on an image. Positions are int64 byte offsets from the start of
// the image; they are formed only with the checked additions below, so a
// hostile offset or count can never wrap around.
#pragma once

#include <cstdint>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>

struct ByteView {
  const unsigned char* data = nullptr;
  int64_t size = 0;
  const char* fileName = "";  // used only in error messages
};

// A reference that leaves the file, a string without a terminator inside it,
// or a count that the file cannot back.
struct FormatError : std::exception {
  std::string fileName;
  std::string field;
  int64_t offset = 0;
  int64_t length = 0;
  int64_t fileSize = 0;
  std::string message;  // "<file>: <field> at offset <o> (<n> bytes) lies outside the file (size <s>)"
  const char* what() const noexcept override { return message.c_str(); }
};

[[noreturn]] void ThrowFormatError(const ByteView& view, const char* field, int64_t offset, int64_t length);
[[noreturn]] void ThrowFormatErrorText(const ByteView& view, const char* field, int64_t offset, const char* text);

// base + offset, and tableStart + index * recordSize, with overflow checks.
int64_t AddOffset(int64_t base, int64_t offset);
int64_t RecordAt(int64_t tableStart, int64_t index, int64_t recordSize);
// Start of record `index` of a table kept as an offset from `base`.
inline int64_t TableRecord(int64_t base, int64_t offset, int64_t index, int64_t recordSize) {
  return RecordAt(AddOffset(base, offset), index, recordSize);
}
// count * recordSize for a table at pos (0 for a count of 0 or less); throws
// when the product cannot be formed.
int64_t TableLength(const ByteView& view, int64_t pos, int32_t count, int64_t recordSize, const char* field);

// Throws unless [pos, pos + length) lies inside the image.
void CheckRange(const ByteView& view, int64_t pos, int64_t length, const char* field);
// Throws unless count records of recordSize bytes starting at pos fit inside the
// image; a count of 0 or less is an empty table and always passes. This is what
// keeps a small hostile file from asking for billions of iterations.
void CheckTable(const ByteView& view, int64_t pos, int32_t count, int64_t recordSize, const char* field);
// The checked range as a pointer, for hot loops that validate once and then
// use the unchecked Load functions below.
const unsigned char* CheckedPointer(const ByteView& view, int64_t pos, int64_t length, const char* field);

// Unchecked little-endian loads at any alignment; only for ranges already checked.
inline uint8_t LoadU8(const unsigned char* p) { return p[0]; }
inline uint16_t LoadU16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline int16_t LoadI16(const unsigned char* p) { return static_cast<int16_t>(LoadU16(p)); }
inline uint32_t LoadU32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t LoadI32(const unsigned char* p) { return static_cast<int32_t>(LoadU32(p)); }
inline float LoadF32(const unsigned char* p) {
  uint32_t bits = LoadU32(p);
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

// Checked little-endian reads at any alignment.
uint8_t ReadU8(const ByteView& view, int64_t pos, const char* field);
int16_t ReadI16(const ByteView& view, int64_t pos, const char* field);
uint16_t ReadU16(const ByteView& view, int64_t pos, const char* field);
int32_t ReadI32(const ByteView& view, int64_t pos, const char* field);
float ReadF32(const ByteView& view, int64_t pos, const char* field);
// The NUL-terminated string at pos; its terminator must lie inside the image.
std::string_view ReadString(const ByteView& view, int64_t pos, const char* field);
