// What a model's preview shows, read from its two files: the triangles of the
// first level of detail of every sub-model with vertices, in the reference
// pose (the vertices as stored, in model space); and its bones as lines from
// each bone to its parent in the reference pose, and a point for each bone
// without one, drawn when no triangle can be.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/model_records.h"
#include "formats/strip_records.h"
#include "model/model_geometry.h"
#include "preview/preview_picture.h"

struct ModelScene {
  // The first level of detail of every sub-model that draws, as the read
  // layer validated it (model/model_geometry.h); the geometry must outlive
  // the scene. At most 2^20 strip groups and 2^24 triangles are kept: shared
  // records let a small hostile file name far more, and the picture's memory
  // and time stay bounded. A level is kept whole or not at all.
  std::vector<const LodGeometry*> lods;
  std::vector<float> segments;   // 6 floats per bone line
  int64_t lodZeroTriangles = 0;  // what the first-level mesh files hold, all of them
  int64_t largestGroup = 0;      // the most triangles a kept strip group holds

  // The picture's scene: the kept groups as batches, and the bone lines.
  PreviewScene Scene() const;
};

// The triangles of the walked geometry's first levels of detail, the same
// strip groups and triangles as the mesh files. Without `withPositions` only
// the triangles are counted and nothing is kept. Throws FormatError, the
// walk's own, when a fault lies in what the picture would show: the tables
// above the sub-models, a sub-model with vertices, its level-of-detail table
// or its first level; and when a model without triangles has a bone table or
// bone outside its file.
ModelScene GatherModelScene(const ModelFile& model, const ModelGeometry& geometry, bool withPositions);
