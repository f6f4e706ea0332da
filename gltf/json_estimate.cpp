#include "gltf/json_estimate.h"

#include <string_view>

#include "model/animation_tracks.h"

namespace {

int64_t Digits(int64_t n) {
  int64_t digits = 1;
  for (; n >= 10; n /= 10) ++digits;
  return digits;
}

// A name as a JSON string at most: a byte of UTF-8 or of a control
// character takes up to 6 characters.
int64_t NameBytes(std::string_view name) {
  int64_t bytes = 2;
  for (const char c : name) bytes += static_cast<unsigned char>(c) < 0x20 ? 6 : static_cast<unsigned char>(c) >= 0x80 ? 3 : 1;
  return bytes;
}

// A mesh's primitive: its accessors (five or six, one with the corners of
// the box), two buffer views, the primitive and a material.
constexpr int64_t kPrimitiveBytes = 1400;
// A sub-model's mesh and node beside their names.
constexpr int64_t kMeshNodeBytes = 120;
// An animation beside its channels and name: two time accessors with their
// range, a buffer view, the brackets and keys.
constexpr int64_t kAnimationBytes = 420;

}  // namespace

int64_t EstimateJsonBytes(const GlbBuild& build) {
  const Json& root = build.document.Root();
  // The document so far: the skeleton's nodes and skin, and its accessor
  // and buffer view.
  int64_t bytes = static_cast<int64_t>(root.dump(-1, ' ', false, Json::error_handler_t::replace).size()) + 512;
  int64_t meshes = 0;
  for (const BodyPartGeometry& bodyPart : build.geometry.bodyParts) {
    for (const SubModelGeometry& subModel : bodyPart.subModels) {
      if (!subModel.hasVertices) continue;
      for (const LodGeometry& lod : subModel.lods) {
        if (lod.index != build.lod) continue;
        bytes += kMeshNodeBytes + 2 * NameBytes(subModel.name);
        for (const MeshPlan& plan : lod.meshes) {
          if (plan.groups.empty()) continue;
          ++meshes;
          bytes += kPrimitiveBytes + NameBytes(plan.materialName);
        }
      }
    }
  }
  if (build.lod != 0 || build.boneCount == 0) return bytes;

  // Each bone's two channels: an accessor, a sampler and a channel each, with
  // numbers no longer than the file's counts allow.
  const int64_t bones = build.boneCount;
  const int64_t animations = build.header.animDescCount;
  const GltfDocument& document = build.document;
  const int64_t accessors = document.AccessorCount() + 7 * meshes + animations * (2 + 2 * bones);
  const int64_t views = document.BufferViewCount() + 2 * meshes + animations;
  const int64_t nodes = static_cast<int64_t>(root.value("nodes", Json::array()).size()) + meshes;
  const int64_t perChannelPair = 2 * (74 + Digits(views)) + 2 * (46 + 2 * Digits(accessors)) +
                                 (53 + 50 + 2 * (Digits(2 * bones) + Digits(nodes)));
  for (int32_t i = 0; i < build.header.animDescCount; ++i) {
    AnimationEntry entry;
    try {
      entry = ReadAnimationEntry(build.model, build.header, i);
    } catch (const FormatError&) {
      break;  // the animations will report it
    }
    const int64_t frames = entry.desc.frameCount;
    if (frames <= 0) continue;
    const int64_t viewBytes = frames * (4 + bones * 28);
    bytes += kAnimationBytes + NameBytes(entry.name) +
             bones * (perChannelPair + 2 * (Digits(viewBytes) + Digits(frames)));
  }
  return bytes;
}
