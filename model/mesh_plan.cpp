// The triangles of one mesh at one level of detail, validated once so that
// every writer reads them afterwards with unchecked loads, possibly on another
// thread:
//   1. the strips table must fit the strip file;
//   2. the index entries the strips use (firstIndex to firstIndex + 3 * the
//      number of whole triangles; the one or two entries left over are never
//      read) must lie inside it, as one span from the lowest to the highest;
//   3. the strip vertices those entries select, from the lowest to the highest
//      entry value;
//   4. the model vertices those strip vertices reach (vertexBase +
//      meshVertexIndex, from the lowest to the highest number), in the
//      family's vertex storage.
// All of this arithmetic is int64 on values that come from int32 and uint16
// fields, so it cannot overflow. Every pointer used afterwards points into one
#include "model/mesh_plan.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRecordReadLength = kVertexRecordSize - kVertexBoneAt;
constexpr int64_t kPositionSize = 12;
constexpr int64_t kNormalSize = 12;
constexpr int64_t kTexCoordSize = 8;

VertexSpan CheckVertexSpan(const ModelFile& model, const ModelRecord& subModel, int64_t first, int64_t last) {
  const ByteView& bytes = model.bytes;
  int64_t count = last - first + 1;
  VertexSpan span;
  span.first = first;
  if (model.layout->vertexStorage == VertexStorage::Interleaved) {
    int64_t start = AddOffset(subModel.at, subModel.vertexOffset) + first * kVertexRecordSize + kVertexBoneAt;
    int64_t length = (count - 1) * kVertexRecordSize + kRecordReadLength;
    span.records = CheckedPointer(bytes, start, length, "vertex record");
  } else {
    int64_t positions = AddOffset(subModel.at, subModel.positionOffset) + first * kPositionSize;
    int64_t normals = AddOffset(subModel.at, subModel.normalOffset) + first * kNormalSize;
    int64_t texCoords = AddOffset(subModel.at, subModel.texCoordOffset) + first * kTexCoordSize;
    span.positions = CheckedPointer(bytes, positions, count * kPositionSize, "vertex position");
    span.normals = CheckedPointer(bytes, normals, count * kNormalSize, "vertex normal");
    span.texCoords = CheckedPointer(bytes, texCoords, count * kTexCoordSize, "vertex texture coordinate");
  }
  return span;
}

// What a mesh needs once its first triangle is reached: its own sub-model (the
// one its modelOffset names, not necessarily the one being walked) and its
// material line. Read lazily so that a mesh without triangles reads neither.
struct MeshOwner {
  bool ready = false;
  ModelRecord subModel;
};

void PrepareMeshOwner(const ModelFile& model, const MeshRecord& mesh, MeshOwner& source, MeshPlan& plan) {
  if (source.ready) return;
  source.subModel = ReadSubModelAt(model, AddOffset(mesh.at, mesh.modelOffset));
  ModelHeader header = ReadModelHeader(model);
  // A material outside the texture table is bad data even when the record it
  // would select lies inside the file: those bytes belong to another table,
  // and their "name" would be garbage on every triangle.
  if (mesh.material < 0 || mesh.material >= header.textureCount) {
    char text[96];
    std::snprintf(text, sizeof text, "names texture %d of a table of %d", mesh.material, header.textureCount);
    ThrowFormatErrorText(model.bytes, "mesh material index", mesh.at, text);
  }
  plan.material = mesh.material;
  plan.materialName = TextureName(model, header, mesh.material);
  source.ready = true;
}

// Validates one strip group; false when it has no whole triangle.
bool PlanStripGroup(const ModelFile& model, const StripFile& strip, const MeshRecord& mesh, const StripGroup& group,
                    MeshOwner& source, MeshPlan& mesPlan, FileBudget* stripBudget, StripGroupPlan& plan) {
  const ByteView& stripBytes = strip.bytes;
  if (group.stripCount <= 0) return false;
  const int64_t stripsAt = AddOffset(group.at, group.stripOffset);
  plan.strips = CheckedPointer(stripBytes, stripsAt, int64_t{group.stripCount} * kStripSize, "strip table");
  if (stripBudget != nullptr) {
    ChargeTableToBudget(*stripBudget, stripBytes, stripsAt, group.stripCount, kStripSize, "strip table");
  }
  plan.stripCount = group.stripCount;

  // The span of index entries the whole triangles use.
  int64_t firstEntry = INT64_MAX, endEntry = INT64_MIN;
  int64_t usedEntries = 0;  // strips fit the file (< 2^31 / 27 of them), each < 2^31 entries
  for (int32_t s = 0; s < plan.stripCount; ++s) {
    const unsigned char* record = plan.strips + int64_t{s} * kStripSize;
    int32_t triangles = LoadI32(record + kStripIndexCountAt) / 3;
    if (triangles <= 0) continue;
    int64_t first = LoadI32(record + kStripFirstIndexAt);
    firstEntry = std::min(firstEntry, first);
    endEntry = std::max(endEntry, first + 3 * int64_t{triangles});
    usedEntries += 3 * int64_t{triangles};
  }
  if (firstEntry > endEntry) return false;  // no strip has a whole triangle
  const int64_t entriesAt = AddOffset(group.at, group.indexOffset) + kStripIndexSize * firstEntry;
  plan.entries =
      CheckedPointer(stripBytes, entriesAt, kStripIndexSize * (endEntry - firstEntry), "strip index entry");
  plan.firstEntry = firstEntry;
  if (stripBudget != nullptr) {
    ChargeFileBudget(*stripBudget, stripBytes, kStripIndexSize * usedEntries, entriesAt, "strip index entries");
  }

  // The strip vertices the entries select.
  uint32_t lowVertex = UINT32_MAX, highVertex = 0;
  ForEachTriangle(plan, [&](uint16_t e0, uint16_t e1, uint16_t e2) {
    lowVertex = std::min({lowVertex, uint32_t{e0}, uint32_t{e1}, uint32_t{e2}});
    highVertex = std::max({highVertex, uint32_t{e0}, uint32_t{e1}, uint32_t{e2}});
  });
  plan.stripVertices =
      CheckedPointer(stripBytes,
                     AddOffset(group.at, group.vertexOffset) + int64_t{kStripVertexSize} * lowVertex +
                         kStripVertexIndexAt,
                     int64_t{kStripVertexSize} * (highVertex - lowVertex) + 2, "strip vertex");
  plan.lowVertex = lowVertex;
  plan.vertexBase = mesh.vertexBase;

  // The model vertices those strip vertices reach.
  int64_t lowModel = INT64_MAX, highModel = INT64_MIN;
  ForEachTriangle(plan, [&](uint16_t e0, uint16_t e1, uint16_t e2) {
    for (uint16_t e : {e0, e1, e2}) {
      int64_t n = ModelVertex(plan, e);
      lowModel = std::min(lowModel, n);
      highModel = std::max(highModel, n);
    }
  });
  PrepareMeshOwner(model, mesh, source, mesPlan);
  plan.span = CheckVertexSpan(model, source.subModel, lowModel, highModel);
  plan.highModel = highModel;
  return true;
}

}  // namespace

int PlanMeshTriangles(const ModelFile& model, const StripFile& strip, const MeshRecord& mesh,
                      const StripMesh& stripMesh, MeshPlan& plan, FileBudget* stripBudget) {
  plan = MeshPlan();
  if (stripMesh.groupCount > kMaxStripGroups) return 0;
  // The interleaved families list the corners 0, 2, 1 (the other winding);
  // the split-array family keeps 0, 1, 2.
  plan.reversed = model.layout->cornersReversed;
  if (stripBudget != nullptr) {
    try {
      ChargeTableToBudget(*stripBudget, strip.bytes, AddOffset(stripMesh.at, stripMesh.groupOffset),
                          stripMesh.groupCount, kStripGroupSize, "strip group table");
    } catch (FormatError& error) {
      error.message = "strip groups: " + error.message;
      throw;
    }
  }
  MeshOwner source;
  for (int32_t g = 0; g < stripMesh.groupCount; ++g) {
    try {
      StripGroupPlan group;
      if (PlanStripGroup(model, strip, mesh, ReadStripGroup(strip, stripMesh, g), source, plan, stripBudget, group))
        plan.groups.push_back(group);
    } catch (FormatError& error) {
      // The caller names the file and the mesh; the group is known only here.
      error.message = "strip group " + std::to_string(g) + ": " + error.message;
      throw;
    }
  }
  return 1;
}

void PlannedCorners(const MeshPlan& plan, const StripGroupPlan& group, std::vector<uint16_t>& corners) {
  // Sized once and filled in place: a push per corner costs more than the corner.
  size_t total = 0;
  for (int32_t s = 0; s < group.stripCount; ++s) {
    const int32_t triangles = LoadI32(group.strips + int64_t{s} * kStripSize + kStripIndexCountAt) / 3;
    total += static_cast<size_t>(std::max(triangles, 0)) * 3;
  }
  corners.resize(total);
  uint16_t* out = corners.data();
  const int64_t toSpan = group.vertexBase - group.span.first;
  auto corner = [&](uint16_t e) {
    return static_cast<uint16_t>(toSpan + LoadI16(group.stripVertices + int64_t{kStripVertexSize} * (e - group.lowVertex)));
  };
  const int second = plan.reversed ? 2 : 1;
  ForEachTriangle(group, [&](uint16_t e0, uint16_t e1, uint16_t e2) {
    out[0] = corner(e0);
    out[second] = corner(e1);
    out[3 - second] = corner(e2);
    out += 3;
  });
}


