// Mesh SMD files: one per sub-model with geometry and level of detail.
#pragma once

#include "driver/text_output.h"
#include "formats/model_records.h"
#include "formats/strip_records.h"

// "version 1", the node list, the reference pose at time 0, "end"; returns 1.
int WriteSkeletonBlock(const ModelFile& model, OutputFile& out);
// The triangles of one mesh at one level of detail; 0 when the mesh has more
// than 5 strip groups (nothing written), else 1.
int WriteMeshTriangles(const ModelFile& model, const StripFile& strip, const MeshRecord& mesh,
                       const StripMesh& stripMesh, OutputFile& out);
// Writes "%s.smd" for level 0 and "lod%d_%s.smd" for the others; returns 1.
int ExportMeshes(const ModelFile& model, const StripFile& strip);
