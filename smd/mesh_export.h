// Mesh SMD files: one per sub-model with geometry and level of detail.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/conversion.h"
#include "formats/file_budget.h"
#include "io/output_file.h"
#include "model/mesh_plan.h"

// "version 1", "nodes", a line per bone, "end". `bone` follows the bone being
// read, for reports. Throws FormatError when the bone table or a bone name
// leaves the model file.
void WriteNodeList(const ModelFile& model, const ModelHeader& header, OutputFile& out, int32_t& bone);
// The node list, "skeleton", the reference pose at time 0, "end"; returns 1.
// Throws FormatError when the bone table or a bone name leaves the model file;
// the caller abandons the file.
int WriteSkeletonBlock(const ModelFile& model, OutputFile& out);

// Writes a validated mesh's triangles: for each a material line and three vertex lines.
void WritePlannedTriangles(const MeshPlan& plan, OutputFile& out);
// Writes the planned mesh files of the walked geometry; returns 1. Reports bad
// data per file and goes on with the next one.
int ExportMeshes(Conversion& conv);
