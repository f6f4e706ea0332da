// Mesh SMD files: one per sub-model with geometry and level of detail.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formats/conversion.h"
#include "formats/file_budget.h"
#include "io/output_file.h"

// "version 1", "nodes", a line per bone, "end". `bone` follows the bone being
// read, for reports. Throws FormatError when the bone table or a bone name
// leaves the model file.
void WriteNodeList(const ModelFile& model, const ModelHeader& header, OutputFile& out, int32_t& bone);
// The node list, "skeleton", the reference pose at time 0, "end"; returns 1.
// Throws FormatError when the bone table or a bone name leaves the model file;
// the caller abandons the file.
int WriteSkeletonBlock(const ModelFile& model, OutputFile& out);

// Where the values of the model vertices numbered first..last lie; each pointer
// is the start of the checked span for vertex `first`.
struct VertexSpan {
  int64_t first = 0;
  const unsigned char* records = nullptr;  // interleaved: the VertexRecord's bone field
  const unsigned char* positions = nullptr;
  const unsigned char* normals = nullptr;
  const unsigned char* texCoords = nullptr;
};

// One strip group, validated: every pointer lies inside its file for the
// ranges the group's triangles use, so it is written without further checks.
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
  bool reversed = false;     // the interleaved families list the corners 0, 2, 1
  std::string materialLine;        // "<material name>.bmp\n", the name as written (io/safe_names.h)
  std::string_view materialName;  // the name as stored in the model file
  std::vector<StripGroupPlan> groups;
};

// Validates one mesh at one level of detail; 0 when the mesh has more than 5
// strip groups (nothing to write), else 1. Throws FormatError (its message
// names the strip group) when a strip, index entry, strip vertex, model
// vertex, the mesh's sub-model or its material leaves its file. With a strip
// budget, the strip groups, strips and index entries used are charged to it
// (formats/file_budget.h): records shared with those planned before are
// written again, up to 64 times the strip file's size in all.
int PlanMeshTriangles(const ModelFile& model, const StripFile& strip, const MeshRecord& mesh,
                      const StripMesh& stripMesh, MeshPlan& plan, FileBudget* stripBudget = nullptr);
// The corners of a validated strip group in the order the mesh files list
// them (the family's corner order), three per triangle, as offsets from
// group.span.first; they fit 16 bits, as every model vertex of a group is
// vertexBase plus a 16-bit number. `corners` is cleared first.
void PlannedCorners(const MeshPlan& plan, const StripGroupPlan& group, std::vector<uint16_t>& corners);
// Writes a validated mesh's triangles: for each a material line and three vertex lines.
void WritePlannedTriangles(const MeshPlan& plan, OutputFile& out);
// PlanMeshTriangles, then WritePlannedTriangles.
int WriteMeshTriangles(const ModelFile& model, const StripFile& strip, const MeshRecord& mesh,
                       const StripMesh& stripMesh, OutputFile& out, FileBudget* stripBudget = nullptr);
// The validated meshes of each level-0 mesh file written, in file order.
using LodZeroPlans = std::vector<std::shared_ptr<const std::vector<MeshPlan>>>;

// Writes "%s.smd" for level 0 and "lod%d_%s.smd" for the others; returns 1.
// Reports bad data per file and goes on with the next one. `lodZero`, when
// set, receives the plans of every level-0 file started.
int ExportMeshes(Conversion& conv, LodZeroPlans* lodZero = nullptr);
