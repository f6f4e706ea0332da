#include "gltf/glb_container.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "io/output_head.h"

namespace {

constexpr uint32_t kMagic = 0x46546C67;        // "glTF"
constexpr uint32_t kJsonChunk = 0x4E4F534A;    // "JSON"
constexpr uint32_t kBinaryChunk = 0x004E4942;  // "BIN\0"
constexpr int64_t kHeaderSize = 12;
constexpr int64_t kChunkHeaderSize = 8;

int64_t PaddedTo4(int64_t length) { return (length + 3) / 4 * 4; }

void PutU32(std::vector<char>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(value >> shift));
}

}  // namespace

uint64_t GlbHeadRoom(int64_t jsonBytes) {
  return kGlbHeadBytes + static_cast<uint64_t>(PaddedTo4(std::max<int64_t>(jsonBytes, 0)));
}

int64_t FinishGlb(const std::string& json, BinaryChunk& binary) {
  binary.PadTo4();
  const int64_t binaryLength = binary.Size();
  int64_t jsonLength = PaddedTo4(static_cast<int64_t>(json.size()));
  OutputFile& out = binary.Out();
  if (binaryLength > 0) {
    // The JSON fills the room left for it; one that does not fit widens it.
    const int64_t room = static_cast<int64_t>(binary.RoomLeft() - kGlbHeadBytes);
    if (jsonLength > room) WidenOutputRoom(out, binary.RoomLeft(), static_cast<uint64_t>(jsonLength - room));
    jsonLength = std::max(jsonLength, room);
  }
  const int64_t total =
      kHeaderSize + kChunkHeaderSize + jsonLength + (binaryLength > 0 ? kChunkHeaderSize + binaryLength : 0);
  if (total > kMaxGlbBytes) throw GlbTooLarge{total};

  std::vector<char> head;
  head.reserve(static_cast<size_t>(kGlbHeadBytes + jsonLength));
  PutU32(head, kMagic);
  PutU32(head, 2);
  PutU32(head, static_cast<uint32_t>(total));
  PutU32(head, static_cast<uint32_t>(jsonLength));
  PutU32(head, kJsonChunk);
  head.insert(head.end(), json.begin(), json.end());
  head.resize(head.size() + static_cast<size_t>(jsonLength) - json.size(), ' ');
  if (binaryLength == 0) {
    PutBytes(out, head.data(), head.size());
  } else {
    PutU32(head, static_cast<uint32_t>(binaryLength));
    PutU32(head, kBinaryChunk);
    PatchOutputBytes(out, 0, head.data(), head.size());
  }
  return total;
}
