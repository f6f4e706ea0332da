// The .glb container: a 12-byte header ("glTF", version 2, total length),
// the JSON chunk padded with spaces to a multiple of 4 bytes, and the binary
// chunk padded with zeros, left out when there is no binary data.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "gltf/binary_blocks.h"

// A built .glb: the header, the JSON chunk and the binary chunk's header in
// one vector, then the binary chunk's data in the blocks it was built in,
// then its padding. Written from where it lies: the tens of MB of a large
// model are never copied into one piece.
class GlbFile {
 public:
  GlbFile() = default;
  GlbFile(std::vector<unsigned char> head, BinaryBlocks binary, size_t padding)
      : head_(std::move(head)), binary_(std::move(binary)), padding_(padding) {}

  bool Empty() const { return head_.empty(); }
  int64_t Size() const { return static_cast<int64_t>(head_.size() + padding_) + binary_.Size(); }
  // Hands every byte to put(const unsigned char*, size_t), in order.
  template <typename Put>
  void HandOut(Put put) const {
    static constexpr unsigned char kZeros[3] = {};
    if (head_.empty()) return;
    put(head_.data(), head_.size());
    binary_.ForEachBlock(put);
    if (padding_ > 0) put(kZeros, padding_);
  }
  // The whole file in one vector, for tools and tests.
  std::vector<unsigned char> Bytes() const;

 private:
  std::vector<unsigned char> head_;
  BinaryBlocks binary_;
  size_t padding_ = 0;
};

// The file of `json` and `binary` (which it takes). Throws GlbTooLarge when
// the file would need more than kMaxGlbBytes.
GlbFile AssembleGlb(const std::string& json, BinaryBlocks binary);
