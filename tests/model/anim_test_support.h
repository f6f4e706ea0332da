// A built model held together with the tool's view of it.
#pragma once

#include <cstdint>
#include <string>

#include "formats/layout.h"
#include "formats/model_records.h"
#include "builder/model_builder.h"

namespace animtest {

struct LoadedModel {
  tb::BuiltModel built;
  ModelFile file;
  ModelHeader header;

  explicit LoadedModel(const tb::ModelDescription& description, const tb::BuildOptions& options = {})
      : built(tb::BuildModel(description, options)) {
    Reload(description.version);
  }
  LoadedModel(const LoadedModel&) = delete;
  LoadedModel& operator=(const LoadedModel&) = delete;

  // After patching or cutting built.model.bytes.
  void Reload(int32_t version) {
    file.bytes = ByteView{built.model.bytes.data(), static_cast<int64_t>(built.model.bytes.size()), "test.mdl"};
    file.layout = LayoutForVersion(version);
    header = ReadModelHeader(file);
  }
  BoneAnimRecord BoneAnim(int32_t animation, int32_t bone) const {
    return ReadBoneAnim(file, ReadAnimDesc(file, header, animation), bone);
  }
};

// One bone, one animation of `frames` frames holding `boneAnim`.
inline tb::ModelDescription OneBoneModel(const tb::BoneDescription& bone, const tb::BoneAnimDescription& boneAnim,
                                         int32_t frames) {
  tb::ModelDescription model;
  model.bones = {bone};
  tb::AnimationDescription animation;
  animation.name = "anim";
  animation.frameCount = frames;
  animation.bones = {boneAnim};
  model.animations = {animation};
  return model;
}

}  // namespace animtest
