// The triangles of one mesh at one level of detail, validated once: every
// pointer of a plan lies inside its file for the ranges its triangles use, so
// the writers read them afterwards without further checks.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "formats/file_budget.h"
#include "formats/layout.h"
#include "formats/model_records.h"
#include "formats/strip_records.h"

// Offsets inside a VertexRecord from its bone field, where a VertexSpan's
// records point.
constexpr int kRecordBone = 0;
constexpr int kRecordPosition = kVertexPositionAt - kVertexBoneAt;
constexpr int kRecordNormal = kVertexNormalAt - kVertexBoneAt;
constexpr int kRecordTexCoord = kVertexTexCoordAt - kVertexBoneAt;

// Where the values of the model vertices numbered first..last lie; each pointer
// is the start of the checked span for vertex `first`.
struct VertexSpan {
  int64_t first = 0;
  const unsigned char* records = nullptr;  // interleaved: the VertexRecord's bone field
  const unsigned char* positions = nullptr;
  const unsigned char* normals = nullptr;
  const unsigned char* texCoords = nullptr;
};

// Where model vertex `first + k` of a checked span keeps its three float32
// coordinates.
inline const unsigned char* VertexPosition(const VertexSpan& span, int64_t k) {
  return span.records != nullptr ? span.records + k * kVertexRecordSize + kRecordPosition : span.positions + 12 * k;
}

// One strip group, validated: every pointer lies inside its file for the
// ranges the group's triangles use.
struct StripGroupPlan {
  const unsigned char* strips = nullptr;
  int32_t stripCount = 0;
  const unsigned char* entries = nullptr;  // the index entry numbered firstEntry
  int64_t firstEntry = 0;
  const unsigned char* stripVertices = nullptr;  // meshVertexIndex of the strip vertex numbered lowVertex
  uint32_t lowVertex = 0;
  int64_t vertexBase = 0;
  VertexSpan span;  // model vertices lowModel..highModel
  int64_t highModel = 0;
};

// One mesh's triangles at one level of detail, validated.
struct MeshPlan {
  int32_t index = 0;              // its place in the sub-model's mesh table
  bool reversed = false;          // the interleaved families list the corners 0, 2, 1
  int32_t material = 0;           // its texture table entry
  std::string_view materialName;  // the name as stored in the model file
  std::vector<StripGroupPlan> groups;
};

// Validates one mesh at one level of detail; 0 when the mesh has more than 5
// strip groups (nothing to write), else 1. Throws FormatError (its message
// names the strip group) when a strip, index entry, strip vertex, model
// vertex, the mesh's sub-model or its material leaves its file. With a strip
// budget, the strip groups, strips and index entries used are charged to it
// (formats/file_budget.h): records shared with those planned before are
// walked again, up to 64 times the strip file's size in all.
int PlanMeshTriangles(const ModelFile& model, const StripFile& strip, const MeshRecord& mesh,
                      const StripMesh& stripMesh, MeshPlan& plan, FileBudget* stripBudget = nullptr);

// Calls visit(e0, e1, e2) for every triangle of a validated group, in order.
template <typename Visit>
void ForEachTriangle(const StripGroupPlan& group, Visit&& visit) {
  auto entryAt = [&](int64_t t) { return LoadU16(group.entries + kStripIndexSize * (t - group.firstEntry)); };
  for (int32_t s = 0; s < group.stripCount; ++s) {
    const unsigned char* record = group.strips + int64_t{s} * kStripSize;
    int32_t triangles = LoadI32(record + kStripIndexCountAt) / 3;  // truncates toward zero, as the format counts
    int64_t t = LoadI32(record + kStripFirstIndexAt);
    for (int32_t q = 0; q < triangles; ++q, t += 3) visit(entryAt(t), entryAt(t + 1), entryAt(t + 2));
  }
}

// The model vertex a strip vertex entry of a validated group selects.
inline int64_t ModelVertex(const StripGroupPlan& group, uint16_t e) {
  return group.vertexBase + LoadI16(group.stripVertices + int64_t{kStripVertexSize} * (e - group.lowVertex));
}

// The corners of a validated strip group in the order the mesh files list
// them (the family's corner order), three per triangle, as offsets from
// group.span.first; they fit 16 bits, as every model vertex of a group is
// vertexBase plus a 16-bit number. `corners` is cleared first.
void PlannedCorners(const MeshPlan& plan, const StripGroupPlan& group, std::vector<uint16_t>& corners);
