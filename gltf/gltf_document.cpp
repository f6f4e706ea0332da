#include "gltf/gltf_document.h"

#include <utility>

GltfDocument::GltfDocument(std::string_view generator) {
  root_["asset"] = Json{{"version", "2.0"}, {"generator", std::string(generator)}};
}

int GltfDocument::Add(const char* array, Json object) {
  Json& list = root_[array];
  list.push_back(std::move(object));
  return static_cast<int>(list.size() - 1);
}

int GltfDocument::AddBufferView(int64_t start, int stride, int target) {
  Json view{{"buffer", 0}, {"byteOffset", start}, {"byteLength", binary_.Size() - start}};
  if (stride != 0) view["byteStride"] = stride;
  if (target != 0) view["target"] = target;
  binary_.PadTo4();
  return Add("bufferViews", std::move(view));
}

int GltfDocument::AddAccessor(int bufferView, int64_t byteOffset, int componentType, int64_t count, const char* type,
                              bool normalized) {
  Json accessor{{"bufferView", bufferView}, {"componentType", componentType}, {"count", count}, {"type", type}};
  if (byteOffset != 0) accessor["byteOffset"] = byteOffset;
  if (normalized) accessor["normalized"] = true;
  return Add("accessors", std::move(accessor));
}

std::string GltfDocument::Serialise() {
  // A buffer of length 0 is not allowed: without binary data there is none.
  if (binary_.Size() > 0) root_["buffers"] = Json::array({Json{{"byteLength", binary_.Size()}}});
  return root_.dump(-1, ' ', false, Json::error_handler_t::replace);
}
