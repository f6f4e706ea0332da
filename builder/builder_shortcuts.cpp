// Short ways to describe the common parts of a test model.
#include <algorithm>

#include "builder/model_builder.h"

namespace tb {

std::vector<BoneDescription> BoneChain(int count) {
  std::vector<BoneDescription> bones;
  for (int i = 0; i < count; ++i) {
    BoneDescription bone;
    bone.name = "bone" + std::to_string(i);
    bone.parent = i - 1;
    if (i > 0) bone.position = {0, 0, 10};
    bones.push_back(bone);
  }
  return bones;
}

AxisStream PerFrameStream(const std::vector<int16_t>& values) {
  AxisStream stream;
  for (size_t first = 0; first < values.size(); first += 255) {
    size_t n = std::min<size_t>(255, values.size() - first);
    AnimRun run;
    run.values.assign(values.begin() + first, values.begin() + first + n);
    run.runLength = static_cast<int>(n);
    stream.runs.push_back(run);
  }
  return stream;
}

AxisStream ConstantStream(int16_t value, int frames) {
  AxisStream stream;
  do {
    int n = std::clamp(frames, 1, 255);
    stream.runs.push_back(AnimRun{{value}, n, std::nullopt});
    frames -= n;
  } while (frames > 0);
  return stream;
}

AxisStream RunsStream(std::vector<AnimRun> runs) {
  AxisStream stream;
  stream.runs = std::move(runs);
  return stream;
}

BoneAnimDescription RawBoneAnim(Vec3 position, Quat rotation) {
  BoneAnimDescription anim;
  anim.rawPosition = position;
  anim.rawQuaternion = rotation;
  return anim;
}

BoneAnimDescription CodedBoneAnim(std::array<AxisStream, 3> position, std::array<AxisStream, 3> rotation) {
  BoneAnimDescription anim;
  anim.flags = kPositionCodedFlag | kRotationCodedFlag;
  anim.position = std::move(position);
  anim.rotation = std::move(rotation);
  return anim;
}

StripGroupDescription TriangleGroup(const std::vector<uint16_t>& triangleList) {
  StripGroupDescription group;
  int largest = -1;
  for (uint16_t index : triangleList) largest = std::max<int>(largest, index);
  for (int v = 0; v <= largest; ++v) group.vertices.push_back(static_cast<int16_t>(v));
  group.indices = triangleList;
  group.strips.push_back({static_cast<int32_t>(triangleList.size()), 0});
  return group;
}

LodDescription TriangleLod(float switchDistance, const std::vector<uint16_t>& triangleList) {
  LodDescription lod;
  lod.switchDistance = switchDistance;
  lod.meshes.push_back(StripMeshDescription{{TriangleGroup(triangleList)}, std::nullopt});
  return lod;
}

SubModelDescription BoxSubModel(const std::string& name, int32_t material, int16_t bone) {
  struct Face {
    Vec3 normal;
    Vec3 corners[4];
  };
  const Face faces[6] = {
      {{1, 0, 0}, {{1, -1, -1}, {1, 1, -1}, {1, 1, 1}, {1, -1, 1}}},
      {{-1, 0, 0}, {{-1, 1, -1}, {-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}}},
      {{0, 1, 0}, {{1, 1, -1}, {-1, 1, -1}, {-1, 1, 1}, {1, 1, 1}}},
      {{0, -1, 0}, {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}}},
      {{0, 0, 1}, {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}}},
      {{0, 0, -1}, {{-1, 1, -1}, {1, 1, -1}, {1, -1, -1}, {-1, -1, -1}}},
  };
  const float us[4] = {0, 1, 1, 0};
  const float vs[4] = {0, 0, 1, 1};
  SubModelDescription sub;
  sub.name = name;
  std::vector<uint16_t> triangles;
  for (int f = 0; f < 6; ++f) {
    for (int c = 0; c < 4; ++c) sub.vertices.push_back({bone, faces[f].corners[c], faces[f].normal, us[c], vs[c]});
    uint16_t base = static_cast<uint16_t>(4 * f);
    for (uint16_t k : {0, 1, 2, 0, 2, 3}) triangles.push_back(static_cast<uint16_t>(base + k));
  }
  MeshDescription mesh;
  mesh.material = material;
  sub.meshes.push_back(mesh);
  sub.lods.push_back(TriangleLod(0, triangles));
  return sub;
}

ModelDescription BoxModel(int32_t version) {
  ModelDescription model;
  model.version = version;
  model.name = "box.mdl";
  model.eyePosition = {0, 0, 1.5f};
  model.illumPosition = {0, 0, 0.5f};
  model.bones = BoneChain(1);
  model.bones[0].name = "root";
  model.textures = {"box_skin"};
  model.materialFolders = {"models/box/"};
  model.bodyParts.push_back(BodyPartDescription{"body", {BoxSubModel("box")}, std::nullopt});
  AnimationDescription idle;
  idle.name = "idle";
  idle.fps = 30;
  idle.frameCount = 2;
  idle.bones = {RawBoneAnim({0, 0, 0})};
  model.animations.push_back(idle);
  model.sequences.push_back({"idle", "ACT_IDLE", 1});
  model.surfaceProp = "metal";
  return model;
}

BuildOptions GarbageEverywhere(uint32_t seed) {
  BuildOptions options;
  options.garbage = true;
  options.garbageSeed = seed;
  options.gapBytes = 8;
  return options;
}

}  // namespace tb
