#include "preview/model_scene.h"

#include <algorithm>
#include <vector>

#include "formats/file_budget.h"
#include "mathlib/rigid_transform.h"
#include "mathlib/rotation.h"
#include "mesh/mesh_corners.h"

namespace {

// Shared records let a small strip file name the same vertices from very many
// strip groups: the picture holds at most this many triangles (the first
// ones), so its memory stays bounded whatever the files say.
constexpr size_t kMaxPictureTriangles = size_t{1} << 24;

// Writes the three float32 of vertex `first + k` of a checked span.
void PutPosition(const VertexSpan& span, int64_t k, float* out) {
  // The plan checked every vertex of the span inside the model file.
  const unsigned char* position = VertexPosition(span, k);
  for (int axis = 0; axis < 3; ++axis) out[axis] = LoadF32(position + 4 * axis);
}

// The group's vertices once each, when its triangles use most of its range;
// else a vertex per corner, so a hostile group naming two far-apart vertices
// costs no more than its corners. (resize grows the arrays geometrically.)
void AddStripGroup(const VertexSpan& span, const std::vector<uint16_t>& corners, PreviewScene& scene) {
  const size_t room = 3 * (kMaxPictureTriangles - scene.triangles.size() / 3);
  const size_t taken = std::min(corners.size() / 3 * 3, room);
  if (taken == 0) return;
  const size_t firstVertex = scene.positions.size() / 3, firstCorner = scene.triangles.size();
  const uint32_t base = static_cast<uint32_t>(firstVertex);
  const size_t range = size_t{*std::max_element(corners.begin(), corners.begin() + taken)} + 1;
  const bool shared = range <= 4 * taken;
  scene.positions.resize(3 * (firstVertex + (shared ? range : taken)));
  scene.triangles.resize(firstCorner + taken);
  float* positions = scene.positions.data() + 3 * firstVertex;
  uint32_t* triangles = scene.triangles.data() + firstCorner;
  if (shared) {
    for (size_t k = 0; k < range; ++k) PutPosition(span, static_cast<int64_t>(k), positions + 3 * k);
    for (size_t i = 0; i < taken; ++i) triangles[i] = base + corners[i];
  } else {
    for (size_t i = 0; i < taken; ++i) {
      PutPosition(span, corners[i], positions + 3 * i);
      triangles[i] = base + static_cast<uint32_t>(i);
    }
  }
}

void AddLevelZero(const ModelFile& model, const StripFile& strip, int32_t bodyPartIndex, int32_t subModelIndex,
                  const ModelRecord& subModel, FileBudget& stripBudget, bool withPositions, ModelScene& out) {
  const StripModel stripModel = ReadStripModel(strip, ReadStripBodyPart(strip, bodyPartIndex), subModelIndex);
  if (stripModel.lodCount < 1) return;
  const StripLod lod = ReadStripLod(strip, stripModel, 0);
  CheckTable(model.bytes, AddOffset(subModel.at, subModel.meshOffset), subModel.meshCount, kMeshRecordSize,
             "mesh table");
  CheckTable(strip.bytes, AddOffset(lod.at, lod.meshOffset), subModel.meshCount, kStripMeshSize, "strip mesh table");
  ChargeTableToBudget(stripBudget, strip.bytes, AddOffset(lod.at, lod.meshOffset), subModel.meshCount, kStripMeshSize,
                      "strip mesh table");
  for (int32_t m = 0; m < subModel.meshCount; ++m) {
    const MeshRecord mesh = ReadMesh(model, subModel, m);
    ReadMeshTriangles(model, strip, mesh, ReadStripMesh(strip, lod, m), stripBudget,
                      [&](const MeshSource&, const VertexSpan& span, const std::vector<uint16_t>& corners) {
                        out.lodZeroTriangles += static_cast<int64_t>(corners.size() / 3);
                        if (withPositions) AddStripGroup(span, corners, out.scene);
                      });
  }
}

void AddPoint(std::vector<float>& segments, const Affine& from, const Affine& to) {
  for (const Affine* end : {&from, &to}) {
    for (int axis = 0; axis < 3; ++axis) segments.push_back(static_cast<float>(end->m[axis][3]));
  }
}

// Bones in model space: a bone's rest matrix is its parent's times its own. A
// parent that is not an earlier bone (only damaged files name one) leaves the
// bone at the root.
void AddSkeleton(const ModelFile& model, const ModelHeader& header, std::vector<float>& segments) {
  CheckTable(model.bytes, header.boneOffset, header.boneCount, kBoneRecordSize, "bone table");
  std::vector<Affine> world(static_cast<size_t>(header.boneCount > 0 ? header.boneCount : 0));
  for (int32_t b = 0; b < header.boneCount; ++b) {
    const BoneRecord bone = ReadBone(model, header, b);
    Quaternion rotation;
    AnglesToQuaternion(bone.referenceAngles, rotation);
    const Affine local = RestMatrix(rotation, bone.referencePosition);
    const int32_t parent = bone.parentIndex;
    const bool hasParent = parent >= 0 && parent < b;
    Affine& here = world[static_cast<size_t>(b)];
    here = hasParent ? Multiply(world[static_cast<size_t>(parent)], local) : local;
    AddPoint(segments, hasParent ? world[static_cast<size_t>(parent)] : here, here);
  }
}

}  // namespace

ModelScene GatherModelScene(const ModelFile& model, const StripFile& strip, bool withPositions) {
  ModelScene out;
  const ModelHeader header = ReadModelHeader(model);
  CheckTable(model.bytes, header.bodyPartOffset, header.bodyPartCount, kBodyPartRecordSize, "body part table");
  FileBudget subModelBudget = WholeFileBudget(model.bytes);
  FileBudget stripBudget = WholeFileBudget(strip.bytes);
  for (int32_t i = 0; i < header.bodyPartCount; ++i) {
    const BodyPartRecord bodyPart = ReadBodyPart(model, header, i);
    CheckSubModelTable(model, bodyPart, subModelBudget);
    for (int32_t j = 0; j < bodyPart.modelCount; ++j) {
      const ModelRecord subModel = ReadSubModel(model, bodyPart, j);
      if (subModel.vertexCount < 1) continue;  // no geometry
      AddLevelZero(model, strip, i, j, subModel, stripBudget, withPositions, out);
    }
  }
  if (withPositions && out.scene.triangles.empty()) AddSkeleton(model, header, out.scene.segments);
  return out;
}
