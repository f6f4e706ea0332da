#include "gltf/glb_container.h"

#include <cstdint>

namespace {

constexpr uint32_t kMagic = 0x46546C67;        // "glTF"
constexpr uint32_t kJsonChunk = 0x4E4F534A;    // "JSON"
constexpr uint32_t kBinaryChunk = 0x004E4942;  // "BIN\0"
constexpr int64_t kHeaderSize = 12;
constexpr int64_t kChunkHeaderSize = 8;

int64_t PaddedTo4(int64_t length) { return (length + 3) / 4 * 4; }

void PutU32(std::vector<unsigned char>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

}  // namespace

GlbFile AssembleGlb(const std::string& json, BinaryBlocks binary) {
  const int64_t jsonLength = PaddedTo4(static_cast<int64_t>(json.size()));
  const int64_t binaryLength = PaddedTo4(binary.Size());
  const int64_t total =
      kHeaderSize + kChunkHeaderSize + jsonLength + (binaryLength > 0 ? kChunkHeaderSize + binaryLength : 0);
  if (total > kMaxGlbBytes) throw GlbTooLarge{total};

  std::vector<unsigned char> head;
  head.reserve(static_cast<size_t>(kHeaderSize + 2 * kChunkHeaderSize + jsonLength));
  PutU32(head, kMagic);
  PutU32(head, 2);
  PutU32(head, static_cast<uint32_t>(total));
  PutU32(head, static_cast<uint32_t>(jsonLength));
  PutU32(head, kJsonChunk);
  head.insert(head.end(), json.begin(), json.end());
  head.resize(head.size() + static_cast<size_t>(jsonLength) - json.size(), ' ');
  if (binaryLength == 0) return GlbFile(std::move(head), BinaryBlocks{}, 0);
  PutU32(head, static_cast<uint32_t>(binaryLength));
  PutU32(head, kBinaryChunk);
  const size_t padding = static_cast<size_t>(binaryLength - binary.Size());
  return GlbFile(std::move(head), std::move(binary), padding);
}

std::vector<unsigned char> GlbFile::Bytes() const {
  std::vector<unsigned char> out;
  out.reserve(static_cast<size_t>(Size()));
  HandOut([&out](const unsigned char* data, size_t length) { out.insert(out.end(), data, data + length); });
  return out;
}
