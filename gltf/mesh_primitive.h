// One glTF primitive from the triangles of one mesh record at one level of
// detail.
//
// Each model vertex a triangle uses becomes one glTF vertex, numbered in the
// order of first use; the indices keep the triangles in the mesh SMD's
// order. Attributes, interleaved in one buffer view per primitive:
//   POSITION, NORMAL      the stored floats
//   TEXCOORD_0            the stored u and v: the model's texture origin is
//                         the top-left corner, as in glTF (the SMD writes -v
//                         for its bottom-left origin)
//   JOINTS_0, WEIGHTS_0   with a skin: the vertex's one bone at weight 1 (the
//                         split-array family stores none: bone 0); a bone
//                         outside the bone table, which glTF cannot hold, is
//                         weighted to bone 0 and noted once per mesh
// Indices are 16-bit when the primitive has at most 65535 vertices, else
// 32-bit. The vertices go into the binary chunk as they are first used; the
// indices follow them when the mesh is finished.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "gltf/glb_build.h"
#include "model/mesh_plan.h"

class MeshPrimitive {
 public:
  explicit MeshPrimitive(GlbBuild& build);

  void Begin(const MeshPlan& mesh);
  // A validated strip group's vertex span and corners (model/mesh_plan.h).
  void AddStripGroup(const VertexSpan& span, const std::vector<uint16_t>& corners);
  // Writes the primitive's data and returns its JSON; null when the mesh drew
  // no triangle. Notes stray vertex bones for build.place.
  Json Finish();

 private:
  // Writes a glTF vertex of these values and bone to `out` (stride_ bytes).
  void PutVertex(const float* values, int32_t bone, unsigned char* out) const;
  // A vertex bone outside the bone table, stored at `at`.
  void NoteStrayBone(const unsigned char* at, int32_t bone);
  // The material of the mesh's texture name, added at its first use.
  int Material();

  GlbBuild& build_;
  int stride_ = 0;
  bool shortJoints_ = false;
  int64_t vertexBase_ = 0;
  std::string_view textureName_;
  std::vector<int32_t> localOf_;  // by model vertex - vertexBase + 32768; -1: not used yet
  std::vector<uint16_t> usedKeys_;
  int64_t verticesAt_ = 0;  // where the mesh's vertices start in the binary chunk
  std::vector<uint32_t> indices_;
  float low_[3] = {}, high_[3] = {};
  // Vertices whose bone lies outside the bone table.
  int64_t strayBones_ = 0;
  int64_t firstStrayAt_ = 0;
  int32_t firstStrayBone_ = 0;
};
