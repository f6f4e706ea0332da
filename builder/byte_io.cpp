// Little-endian stores and loads on built images, whatever the host order.
#include <cstring>
#include <stdexcept>
#include <string>

#include "builder/model_builder.h"

namespace tb {
namespace {

void Require(const std::vector<uint8_t>& bytes, size_t at, size_t width) {
  if (at > bytes.size() || width > bytes.size() - at)
    throw std::out_of_range("byte " + std::to_string(at) + " (+" + std::to_string(width) +
                            ") lies outside the image of " + std::to_string(bytes.size()) + " bytes");
}

void Store(std::vector<uint8_t>& bytes, size_t at, uint32_t value, size_t width) {
  Require(bytes, at, width);
  for (size_t k = 0; k < width; ++k) bytes[at + k] = static_cast<uint8_t>(value >> (8 * k));
}

uint32_t Load(const std::vector<uint8_t>& bytes, size_t at, size_t width) {
  Require(bytes, at, width);
  uint32_t value = 0;
  for (size_t k = 0; k < width; ++k) value |= static_cast<uint32_t>(bytes[at + k]) << (8 * k);
  return value;
}

}  // namespace

void PutU8(std::vector<uint8_t>& bytes, size_t at, uint8_t value) { Store(bytes, at, value, 1); }
void PutI16(std::vector<uint8_t>& bytes, size_t at, int16_t value) {
  Store(bytes, at, static_cast<uint16_t>(value), 2);
}
void PutU16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) { Store(bytes, at, value, 2); }
void PutI32(std::vector<uint8_t>& bytes, size_t at, int32_t value) {
  Store(bytes, at, static_cast<uint32_t>(value), 4);
}
void PutF32(std::vector<uint8_t>& bytes, size_t at, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  Store(bytes, at, bits, 4);
}

int16_t GetI16(const std::vector<uint8_t>& bytes, size_t at) { return static_cast<int16_t>(Load(bytes, at, 2)); }
int32_t GetI32(const std::vector<uint8_t>& bytes, size_t at) { return static_cast<int32_t>(Load(bytes, at, 4)); }
float GetF32(const std::vector<uint8_t>& bytes, size_t at) {
  uint32_t bits = Load(bytes, at, 4);
  float value;
  std::memcpy(&value, &bits, 4);
  return value;
}

}  // namespace tb
