#include "preview/model_scene.h"

#include <vector>

#include "formats/file_budget.h"
#include "mathlib/rigid_transform.h"
#include "mathlib/rotation.h"
#include "model/mesh_corners.h"
#include "smd/mesh_export.h"

namespace {

constexpr size_t kMaxPictureGroups = size_t{1} << 20;
constexpr int64_t kMaxPictureTriangles = int64_t{1} << 24;

// Counts a validated mesh's triangles; true when the picture keeps it, which
// it does while the limits allow. `corners` is scratch.
bool CountMeshPlan(const MeshPlan& plan, bool withPositions, ModelScene& out, size_t& keptGroups,
                   int64_t& keptTriangles, std::vector<uint16_t>& corners) {
  int64_t triangles = 0;
  for (const StripGroupPlan& group : plan.groups) {
    PlannedCorners(plan, group, corners);
    triangles += static_cast<int64_t>(corners.size() / 3);
  }
  out.lodZeroTriangles += triangles;
  if (!withPositions || keptGroups + plan.groups.size() > kMaxPictureGroups ||
      keptTriangles + triangles > kMaxPictureTriangles)
    return false;
  keptGroups += plan.groups.size();
  keptTriangles += triangles;
  return true;
}

void AddLevelZero(const ModelFile& model, const StripFile& strip, int32_t bodyPartIndex, int32_t subModelIndex,
                  const ModelRecord& subModel, FileBudget& stripBudget, bool withPositions, ModelScene& out,
                  size_t& keptGroups, int64_t& keptTriangles, std::vector<uint16_t>& corners) {
  const StripModel stripModel = ReadStripModel(strip, ReadStripBodyPart(strip, bodyPartIndex), subModelIndex);
  if (stripModel.lodCount < 1) return;
  const StripLod lod = ReadStripLod(strip, stripModel, 0);
  CheckTable(model.bytes, AddOffset(subModel.at, subModel.meshOffset), subModel.meshCount, kMeshRecordSize,
             "mesh table");
  CheckTable(strip.bytes, AddOffset(lod.at, lod.meshOffset), subModel.meshCount, kStripMeshSize, "strip mesh table");
  ChargeTableToBudget(stripBudget, strip.bytes, AddOffset(lod.at, lod.meshOffset), subModel.meshCount, kStripMeshSize,
                      "strip mesh table");
  std::vector<MeshPlan> kept;
  for (int32_t m = 0; m < subModel.meshCount; ++m) {
    MeshPlan plan;
    if (PlanMeshTriangles(model, strip, ReadMesh(model, subModel, m), ReadStripMesh(strip, lod, m), plan,
                          &stripBudget) != 0 &&
        CountMeshPlan(plan, withPositions, out, keptGroups, keptTriangles, corners))
      kept.push_back(std::move(plan));
  }
  if (!kept.empty()) out.plans.push_back(std::make_shared<const std::vector<MeshPlan>>(std::move(kept)));
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
  size_t keptGroups = 0;
  int64_t keptTriangles = 0;
  std::vector<uint16_t> corners;
  for (int32_t i = 0; i < header.bodyPartCount; ++i) {
    const BodyPartRecord bodyPart = ReadBodyPart(model, header, i);
    CheckSubModelTable(model, bodyPart, subModelBudget);
    for (int32_t j = 0; j < bodyPart.modelCount; ++j) {
      const ModelRecord subModel = ReadSubModel(model, bodyPart, j);
      if (subModel.vertexCount < 1) continue;  // no geometry
      AddLevelZero(model, strip, i, j, subModel, stripBudget, withPositions, out, keptGroups, keptTriangles, corners);
    }
  }
  if (withPositions && out.lodZeroTriangles == 0) AddSkeleton(model, header, out.segments);
  return out;
}

ModelScene SceneOfPlans(const ModelFile& model, const LodZeroPlans& plans, bool withPositions) {
  ModelScene out;
  size_t keptGroups = 0;
  int64_t keptTriangles = 0;
  std::vector<uint16_t> corners;
  // A file's plans are kept whole or not at all: the limits fall between files.
  bool keeping = withPositions;
  for (const auto& file : plans) {
    bool whole = true;
    for (const MeshPlan& plan : *file) whole = CountMeshPlan(plan, keeping, out, keptGroups, keptTriangles, corners) && whole;
    keeping = keeping && whole;
    if (keeping) out.plans.push_back(file);
  }
  if (withPositions && out.lodZeroTriangles == 0) AddSkeleton(model, ReadModelHeader(model), out.segments);
  return out;
}

PreviewScene ModelScene::Scene() const {
  PreviewScene scene;
  scene.segments = segments;
  // The corners are made again from the strips on each pass: cheaper than
  // keeping them, whose memory would have to be touched page by page.
  scene.eachBatch = [this](const PreviewBatchVisitor& visit) {
    std::vector<uint16_t> corners;
    for (const auto& file : plans) {
      for (const MeshPlan& plan : *file) {
        for (const StripGroupPlan& group : plan.groups) {
          PlannedCorners(plan, group, corners);
          if (corners.empty()) continue;
          const VertexSpan& span = group.span;
          // Every corner was checked inside the span, which ends at highModel.
          visit(PreviewBatch{VertexPosition(span, 0), span.records != nullptr ? size_t{kVertexRecordSize} : 12,
                             static_cast<size_t>(group.highModel - span.first + 1), corners.data(), corners.size()});
        }
      }
    }
  };
  return scene;
}
