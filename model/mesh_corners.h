// The triangles of one mesh at one level of detail, read from the strip file
// by the mesh writer's own validation (model/mesh_plan.h PlanMeshTriangles):
// the same strips, the same triangles in the same order with the family's
// corner order, the same checks and the same charges to the strip file's
// budget, so the .glb holds what the SMD files hold and refuses what they
// refuse.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "formats/file_budget.h"
#include "formats/layout.h"
#include "formats/model_records.h"
#include "formats/strip_records.h"
#include "model/mesh_plan.h"

// What a mesh's triangles refer to: its material.
struct MeshSource {
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
