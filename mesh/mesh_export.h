// Mesh SMD files: one per sub-model with geometry and level of detail.
#pragma once

#include "driver/text_output.h"
#include "formats/file_budget.h"
#include "formats/model_records.h"
#include "formats/strip_records.h"

// "version 1", the node list, the reference pose at time 0, "end"; returns 1.
// Throws FormatError when the bone table or a bone name leaves the model file;
// the caller abandons the file.
int WriteSkeletonBlock(const ModelFile& model, OutputFile& out);
// The triangles of one mesh at one level of detail; 0 when the mesh has more
// than 5 strip groups (nothing written), else 1. Throws FormatError (its
// message names the strip group) when a strip, index entry, strip vertex,
// model vertex, the mesh's sub-model or its material leaves its file; the
// caller abandons the file. With a strip budget, the strip groups, strips
// and index entries used are charged to it (formats/file_budget.h): records
// shared with those written before cannot multiply the output beyond what the
// strip file holds.
int WriteMeshTriangles(const ModelFile& model, const StripFile& strip, const MeshRecord& mesh,
                       const StripMesh& stripMesh, OutputFile& out, FileBudget* stripBudget = nullptr);
// Writes "%s.smd" for level 0 and "lod%d_%s.smd" for the others; returns 1.
// Reports bad data per file and goes on with the next one.
int ExportMeshes(const ModelFile& model, const StripFile& strip);
