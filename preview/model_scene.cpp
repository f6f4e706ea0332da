#include "preview/model_scene.h"

#include <vector>

#include "formats/file_budget.h"
#include "mathlib/rigid_transform.h"
#include "mathlib/rotation.h"
#include "mesh/mesh_corners.h"

namespace {

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
  std::vector<float>& triangles = out.scene.triangles;
  for (int32_t m = 0; m < subModel.meshCount; ++m) {
    const MeshRecord mesh = ReadMesh(model, subModel, m);
    ReadMeshTriangles(model, strip, mesh, ReadStripMesh(strip, lod, m), stripBudget,
                      [&](const MeshSource&, const VertexSpan& span, const std::vector<uint16_t>& corners) {
                        out.lodZeroTriangles += static_cast<int64_t>(corners.size() / 3);
                        if (!withPositions) return;
                        // The plan checked every corner's vertex inside the span.
                        for (uint16_t corner : corners) {
                          const unsigned char* position = VertexPosition(span, corner);
                          for (int axis = 0; axis < 3; ++axis) triangles.push_back(LoadF32(position + 4 * axis));
                        }
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
