#include "gltf/gltf_document.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <utility>

namespace {

void PutInteger(std::string& text, int64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  text.append(digits, end);
}

// A value as the JSON value's own text: floats as doubles in the shortest
// form that reads back, names with bytes that are not UTF-8 replaced.
std::string JsonText(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

// `key` (with its quotes and colon, and what comes before it) and the number.
void PutMember(std::string& text, const char* key, int64_t value) {
  text += key;
  PutInteger(text, value);
}

// A JSON array of `items`, each written by put(text, item).
template <class Items, class Put>
void PutArray(std::string& text, const Items& items, Put put) {
  text += '[';
  bool first = true;
  for (const auto& item : items) {
    if (!first) text += ',';
    first = false;
    put(text, item);
  }
  text += ']';
}

void PutRange(std::string& text, const char* key, const float* values, int length) {
  text += key;
  text += '[';
  for (int i = 0; i < length; ++i) {
    if (i > 0) text += ',';
    text += JsonText(Json(values[i]));
  }
  text += ']';
}

}  // namespace

GltfDocument::GltfDocument(std::string_view generator) {
  root_["asset"] = Json{{"version", "2.0"}, {"generator", std::string(generator)}};
}

int GltfDocument::Add(const char* array, Json object) {
  Json& list = root_[array];
  list.push_back(std::move(object));
  return static_cast<int>(list.size() - 1);
}

int GltfDocument::AddBufferView(int64_t start, int stride, int target) {
  views_.push_back(BufferView{start, binary_.Size() - start, stride, target});
  binary_.PadTo4();
  return static_cast<int>(views_.size() - 1);
}

int GltfDocument::AddAccessor(int bufferView, int64_t byteOffset, int componentType, int64_t count, const char* type,
                              bool normalized) {
  accessors_.push_back(Accessor{bufferView, byteOffset, componentType, count, type, normalized});
  return static_cast<int>(accessors_.size() - 1);
}

void GltfDocument::SetRange(int accessor, std::span<const float> low, std::span<const float> high) {
  Accessor& entry = accessors_[static_cast<size_t>(accessor)];
  entry.rangeLength = static_cast<int>(std::min<size_t>({low.size(), high.size(), 3}));
  std::copy_n(low.begin(), entry.rangeLength, entry.low);
  std::copy_n(high.begin(), entry.rangeLength, entry.high);
}

int GltfDocument::AddAnimation(GltfAnimation animation) {
  animations_.push_back(std::move(animation));
  return static_cast<int>(animations_.size() - 1);
}

void GltfDocument::PutAccessors(std::string& text) const {
  PutArray(text, accessors_, [](std::string& text, const Accessor& a) {
    PutMember(text, "{\"bufferView\":", a.bufferView);
    if (a.byteOffset != 0) PutMember(text, ",\"byteOffset\":", a.byteOffset);
    PutMember(text, ",\"componentType\":", a.componentType);
    PutMember(text, ",\"count\":", a.count);
    if (a.rangeLength > 0) {
      PutRange(text, ",\"max\":", a.high, a.rangeLength);
      PutRange(text, ",\"min\":", a.low, a.rangeLength);
    }
    if (a.normalized) text += ",\"normalized\":true";
    text += ",\"type\":\"";
    text += a.type;
    text += "\"}";
  });
}

void GltfDocument::PutBufferViews(std::string& text) const {
  PutArray(text, views_, [](std::string& text, const BufferView& view) {
    PutMember(text, "{\"buffer\":0,\"byteLength\":", view.byteLength);
    PutMember(text, ",\"byteOffset\":", view.byteOffset);
    if (view.stride != 0) PutMember(text, ",\"byteStride\":", view.stride);
    if (view.target != 0) PutMember(text, ",\"target\":", view.target);
    text += '}';
  });
}

void GltfDocument::PutAnimations(std::string& text) const {
  PutArray(text, animations_, [](std::string& text, const GltfAnimation& animation) {
    text += "{\"channels\":";
    PutArray(text, animation.channels, [](std::string& text, const GltfAnimation::Channel& channel) {
      PutMember(text, "{\"sampler\":", channel.sampler);
      PutMember(text, ",\"target\":{\"node\":", channel.node);
      text += ",\"path\":\"";
      text += channel.path;
      text += "\"}}";
    });
    text += ",\"name\":";
    text += JsonText(Json(animation.name));
    text += ",\"samplers\":";
    PutArray(text, animation.samplers, [](std::string& text, const GltfAnimation::Sampler& sampler) {
      PutMember(text, "{\"input\":", sampler.input);
      PutMember(text, ",\"interpolation\":\"LINEAR\",\"output\":", sampler.output);
      text += '}';
    });
    text += '}';
  });
}

std::string GltfDocument::Serialise() {
  // A buffer of length 0 is not allowed: without binary data there is none.
  if (binary_.Size() > 0) root_["buffers"] = Json::array({Json{{"byteLength", binary_.Size()}}});
  // The top level's members in sorted order, as a JSON object keeps them.
  std::map<std::string, std::string> members;
  for (const auto& [key, value] : root_.items()) members[key] = JsonText(value);
  if (!accessors_.empty()) PutAccessors(members["accessors"]);
  if (!views_.empty()) PutBufferViews(members["bufferViews"]);
  if (!animations_.empty()) PutAnimations(members["animations"]);
  std::string text = "{";
  for (const auto& [key, value] : members) {
    if (text.size() > 1) text += ',';
    text += JsonText(Json(key));
    text += ':';
    text += value;
  }
  text += '}';
  return text;
}
