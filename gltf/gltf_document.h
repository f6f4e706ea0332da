// The glTF document being built: its JSON and its binary chunk, with the
// bookkeeping that ties the two together (buffer views and accessors).
//
// Buffer views, accessors and animations, thousands in a file with long
// animations, are kept as plain records and written as JSON text directly;
// the rest of the document is a JSON value. The text is the same either way:
// keys in sorted order, no white space.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "gltf/binary_chunk.h"

using Json = nlohmann::json;

// accessor.componentType and bufferView.target values.
constexpr int kUnsignedByte = 5121;
constexpr int kUnsignedShort = 5123;
constexpr int kUnsignedInt = 5125;
constexpr int kFloat = 5126;
constexpr int kVertexTarget = 34962;
constexpr int kIndexTarget = 34963;

// An animation: its samplers (LINEAR) and the channels that use them.
struct GltfAnimation {
  struct Sampler {
    int input = 0, output = 0;  // accessors
  };
  struct Channel {
    int sampler = 0, node = 0;
    const char* path = "";  // "translation", "rotation"
  };
  std::string name;
  std::vector<Sampler> samplers;
  std::vector<Channel> channels;
};

class GltfDocument {
 public:
  explicit GltfDocument(std::string_view generator);

  Json& Root() { return root_; }
  const Json& Root() const { return root_; }
  BinaryChunk& Binary() { return binary_; }

  // Appends `object` to the top-level array `array` and returns its index.
  int Add(const char* array, Json object);
  // A buffer view over the binary bytes from `start` to the current end,
  // which is then padded to 4 bytes. stride and target 0 leave them out.
  int AddBufferView(int64_t start, int stride = 0, int target = 0);
  // An accessor of `count` elements of `type` ("SCALAR", "VEC3", ...), a
  // string that lives as long as the document.
  int AddAccessor(int bufferView, int64_t byteOffset, int componentType, int64_t count, const char* type,
                  bool normalized = false);
  // The accessor's "min" and "max", of up to 3 components.
  void SetRange(int accessor, std::span<const float> low, std::span<const float> high);
  int AddAnimation(GltfAnimation animation);
  int AccessorCount() const { return static_cast<int>(accessors_.size()); }
  int BufferViewCount() const { return static_cast<int>(views_.size()); }

  // The JSON text, with the buffer entry for the binary chunk. Bytes of
  // names that are not UTF-8 are replaced by U+FFFD, as JSON must be UTF-8.
  std::string Serialise();

 private:
  struct Accessor {
    int bufferView;
    int64_t byteOffset;
    int componentType;
    int64_t count;
    const char* type;
    bool normalized;
    int rangeLength = 0;
    float low[3] = {}, high[3] = {};
  };
  struct BufferView {
    int64_t byteOffset, byteLength;
    int stride, target;
  };
  void PutAccessors(std::string& text) const;
  void PutBufferViews(std::string& text) const;
  void PutAnimations(std::string& text) const;

  Json root_;
  std::vector<Accessor> accessors_;
  std::vector<BufferView> views_;
  std::vector<GltfAnimation> animations_;
  BinaryChunk binary_;
};
