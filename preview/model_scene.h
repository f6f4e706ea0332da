// What a model's preview shows, read from its two files: the triangles of the
// first level of detail of every sub-model with vertices, in the reference
// pose (the vertices as stored, in model space); for a model without
// triangles, its bones as lines from each bone to its parent in the
// reference pose, and a point for each bone without one.
#pragma once

#include <cstdint>

#include "formats/model_records.h"
#include "formats/strip_records.h"
#include "preview/preview_picture.h"

struct ModelScene {
  PreviewScene scene;
  int64_t lodZeroTriangles = 0;  // what the first-level mesh files hold
};

// The same strip groups, triangles and checks as the mesh files: a mesh of
// more than 5 strip groups draws nothing, and shared records are charged to
// a budget of 64 times the file's size. Without `withPositions` only the
// triangles are counted. Throws FormatError when a table, record or vertex
// the walk needs leaves its file.
ModelScene GatherModelScene(const ModelFile& model, const StripFile& strip, bool withPositions);
