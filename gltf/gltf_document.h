// The glTF document being built: its JSON and its binary chunk, with the
// bookkeeping that ties the two together (buffer views and accessors).
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "gltf/binary_blocks.h"

using Json = nlohmann::json;

// accessor.componentType and bufferView.target values.
constexpr int kUnsignedByte = 5121;
constexpr int kUnsignedShort = 5123;
constexpr int kUnsignedInt = 5125;
constexpr int kFloat = 5126;
constexpr int kVertexTarget = 34962;
constexpr int kIndexTarget = 34963;

class GltfDocument {
 public:
  explicit GltfDocument(std::string_view generator);

  Json& Root() { return root_; }
  BinaryBlocks& Binary() { return binary_; }

  // Appends `object` to the top-level array `array` and returns its index.
  int Add(const char* array, Json object);
  // A buffer view over the binary bytes from `start` to the current end,
  // which is then padded to 4 bytes. stride and target 0 leave them out.
  int AddBufferView(int64_t start, int stride = 0, int target = 0);
  // An accessor of `count` elements of `type` ("SCALAR", "VEC3", ...).
  int AddAccessor(int bufferView, int64_t byteOffset, int componentType, int64_t count, const char* type,
                  bool normalized = false);
  Json& Accessor(int index) { return root_["accessors"][static_cast<size_t>(index)]; }

  // The JSON text, with the buffer entry for the binary chunk. Bytes of
  // names that are not UTF-8 are replaced by U+FFFD, as JSON must be UTF-8.
  std::string Serialise();

 private:
  Json root_;
  BinaryBlocks binary_;
};
