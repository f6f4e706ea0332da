// What a model's preview shows, read from its two files: the triangles of the
// first level of detail of every sub-model with vertices, in the reference
// pose (the vertices as stored, in model space); for a model without
// triangles, its bones as lines from each bone to its parent in the reference
// pose, and a point for each bone without one.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/model_records.h"
#include "formats/strip_records.h"
#include "smd/mesh_export.h"
#include "preview/preview_picture.h"

struct ModelScene {
  // The validated strip groups of the first level of detail, drawn where they
  // lie in the files, which must outlive the scene. At most 2^20 groups and
  // 2^24 triangles are kept: shared records let a small hostile file name
  // far more, and the picture's memory and time stay bounded.
  LodZeroPlans plans;
  std::vector<float> segments;   // 6 floats per bone line
  int64_t lodZeroTriangles = 0;  // what the first-level mesh files hold, all of them

  // The picture's scene: the kept groups as batches, and the bone lines.
  PreviewScene Scene() const;
};

// The same strip groups, triangles and checks as the mesh files: a mesh of
// more than 5 strip groups draws nothing, and shared records are charged to
// a budget of 64 times the file's size. Without `withPositions` only the
// triangles are counted and nothing is kept. Throws FormatError when a
// table, record or vertex the walk needs leaves its file.
ModelScene GatherModelScene(const ModelFile& model, const StripFile& strip, bool withPositions);

// The scene of the level-0 plans the mesh files were written from, when that
// walk met no damage: the same groups GatherModelScene finds, without walking
// the files again. Throws FormatError when a model without triangles has a
// bone table or bone outside its file.
ModelScene SceneOfPlans(const ModelFile& model, const LodZeroPlans& plans, bool withPositions);
