#include "preview/model_scene.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "mathlib/rigid_transform.h"
#include "mathlib/rotation.h"

namespace {

constexpr size_t kMaxPictureGroups = size_t{1} << 20;
constexpr int64_t kMaxPictureTriangles = int64_t{1} << 24;

// The whole triangles of a validated group: each strip's index count / 3,
// truncated toward zero, as ForEachTriangle walks them.
int64_t GroupTriangles(const StripGroupPlan& group) {
  int64_t triangles = 0;
  for (int32_t s = 0; s < group.stripCount; ++s)
    triangles += std::max(0, LoadI32(group.strips + int64_t{s} * kStripSize + kStripIndexCountAt) / 3);
  return triangles;
}

// A validated level's triangles, and the most any one of its groups holds.
struct LevelCount {
  int64_t triangles = 0, largestGroup = 0;
};

LevelCount CountTriangles(const LodGeometry& lod) {
  LevelCount count;
  for (const MeshPlan& plan : lod.meshes)
    for (const StripGroupPlan& group : plan.groups) {
      const int64_t triangles = GroupTriangles(group);
      count.triangles += triangles;
      count.largestGroup = std::max(count.largestGroup, triangles);
    }
  return count;
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

ModelScene GatherModelScene(const ModelFile& model, const ModelGeometry& geometry, bool withPositions) {
  ModelScene out;
  if (geometry.error) throw *geometry.error;
  size_t keptGroups = 0;
  int64_t keptTriangles = 0;
  bool keeping = withPositions;
  for (const BodyPartGeometry& bodyPart : geometry.bodyParts) {
    if (bodyPart.error) throw *bodyPart.error;
    for (const SubModelGeometry& subModel : bodyPart.subModels) {
      if (!subModel.hasVertices) continue;  // no geometry
      if (subModel.error) throw *subModel.error;
      if (subModel.lodTableError) throw *subModel.lodTableError;
      if (subModel.lods.empty()) continue;
      const LodGeometry& lod = subModel.lods.front();
      if (lod.error) throw *lod.error;
      if (lod.meshError) throw *lod.meshError;
      const LevelCount count = CountTriangles(lod);
      const int64_t triangles = count.triangles;
      out.lodZeroTriangles += triangles;
      size_t groups = 0;
      for (const MeshPlan& plan : lod.meshes) groups += plan.groups.size();
      // The limits fall between levels: once one is left out, so are the rest.
      keeping = keeping && keptGroups + groups <= kMaxPictureGroups && keptTriangles + triangles <= kMaxPictureTriangles;
      if (!keeping || triangles == 0) continue;
      keptGroups += groups;
      keptTriangles += triangles;
      out.largestGroup = std::max(out.largestGroup, count.largestGroup);
      out.lods.push_back(&lod);
    }
  }
  if (!withPositions) return out;
  if (out.lodZeroTriangles == 0) {
    AddSkeleton(model, ReadModelHeader(model), out.segments);
  } else {
    // The bones stand in when no triangle has finite corners; a damaged bone
    // table then costs only them.
    try {
      AddSkeleton(model, ReadModelHeader(model), out.segments);
    } catch (const FormatError&) {
      out.segments.clear();
    }
  }
  return out;
}

namespace {

// A group's vertices and corners as a batch. Every corner was checked inside
// the group's span, which ends at highModel.
PreviewBatch GroupBatch(const StripGroupPlan& group, const uint16_t* corners, size_t cornerCount) {
  const VertexSpan& span = group.span;
  return PreviewBatch{VertexPosition(span, 0), span.records != nullptr ? size_t{kVertexRecordSize} : 12,
                      static_cast<size_t>(group.highModel - span.first + 1), corners, cornerCount};
}

}  // namespace

PreviewScene ModelScene::Scene() const {
  PreviewScene scene;
  scene.segments = segments;
  // The corners are made again from the strips on each walk, a group at a
  // time, into one store made for the largest group: cheaper than keeping
  // them all, or letting a store grow on each walk, as every fresh page of
  // memory costs a fault on its first touch.
  auto store = std::make_shared<std::vector<uint16_t>>();
  store->reserve(static_cast<size_t>(3 * largestGroup));
  scene.eachBatch = [this, store](const PreviewBatchVisitor& visit) {
    std::vector<uint16_t>& corners = *store;
    for (const LodGeometry* lod : lods)
      for (const MeshPlan& plan : lod->meshes)
        for (const StripGroupPlan& group : plan.groups) {
          PlannedCorners(plan, group, corners);
          if (!corners.empty()) visit(GroupBatch(group, corners.data(), corners.size()));
        }
  };
  scene.eachSpan = [this](const PreviewBatchVisitor& visit) {
    for (const LodGeometry* lod : lods)
      for (const MeshPlan& plan : lod->meshes)
        for (const StripGroupPlan& group : plan.groups) {
          const int64_t triangles = GroupTriangles(group);
          if (triangles > 0) visit(GroupBatch(group, nullptr, static_cast<size_t>(3 * triangles)));
        }
  };
  return scene;
}
