// The triangles of one mesh at one level of detail, read from the strip file
// exactly as the mesh SMD writer reads them: the same strips, the same
// triangles in the same order with the family's corner order, the same
// checks (each strip group validated once: its strips, the index entries its
// whole triangles use, the strip vertices and the model vertices those reach)
// and the same charges to the strip file's budget, so the .glb holds what the
// SMD files hold and refuses what they refuse.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "formats/file_budget.h"
#include "formats/model_records.h"
#include "formats/strip_records.h"

// Where the values of the model vertices first..last lie, checked to be
// inside the model file; each pointer is at vertex `first`.
struct VertexSpan {
  int64_t first = 0;
  const unsigned char* records = nullptr;    // interleaved: the VertexRecord's bone field (byte 16)
  const unsigned char* positions = nullptr;  // split arrays
  const unsigned char* normals = nullptr;
  const unsigned char* texCoords = nullptr;
};

// Offsets inside a VertexRecord from its bone field.
constexpr int kRecordBone = 0;
constexpr int kRecordPosition = 16;
constexpr int kRecordNormal = 28;
constexpr int kRecordTexCoord = 40;
constexpr int kRecordBoneAt = 16;  // the bone field's offset in the record

// What a mesh's triangles refer to, read when its first triangle is reached:
// its own sub-model (where its modelOffset points) and its material.
struct MeshSource {
  bool ready = false;
  ModelRecord subModel;
  int32_t material = 0;
  std::string_view textureName;
};

// Called once per strip group with whole triangles: the group's checked
// vertex span and its corners, three per triangle, as offsets from
// span.first.
using StripGroupVisitor =
    std::function<void(const MeshSource& source, const VertexSpan& span, const std::vector<uint16_t>& corners)>;

// False, with nothing visited, for a mesh of more than 5 strip groups (the
// SMD leaves such a mesh out). Throws FormatError, its message naming the
// strip group, when a record, entry or vertex leaves its file, the material
// lies outside the texture table, or the budget runs out.
bool ReadMeshTriangles(const ModelFile& model, const StripFile& strip, const MeshRecord& mesh,
                       const StripMesh& stripMesh, FileBudget& stripBudget, const StripGroupVisitor& visit);
