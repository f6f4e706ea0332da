// The geometry of a model, walked once: body parts, their sub-models, each
// sub-model's levels of detail in the strip file, and each level's meshes as
// validated triangle plans. Every writer takes its meshes from here, so they
// all see the same records, the same checks and the same budgets.
//
// The walk goes on past damage: what could not be read is kept as a
// FormatError at the level it belongs to, and the walk below that level stops
// there. Each writer decides what a fault costs it (the file of one level of
// detail, one sub-model, or its whole output) and says so in its own words.
//
// Order of the walk, and what it reads at each level:
//   1. the model header and the body part table;
//   2. per body part: its record and name, then its sub-model table (fits the
//      file, charged to the sub-model budget); a name that cannot be read
//      stops the body part;
//   3. per sub-model: its record; one without vertices has no geometry and
//      nothing more is read; else its name, then the strip file's records of
//      it and its level-of-detail table (fits, charged to the strip budget);
//   4. per level of detail: its record, then the mesh table and the strip mesh
//      table (fit, the strip meshes charged), then every mesh's strip groups
//      (model/mesh_plan.h, charged).
// Records that share bytes are walked as often as they are named, within the
// budgets of 64 times their file's size (formats/file_budget.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "formats/model_records.h"
#include "formats/strip_records.h"
#include "model/mesh_plan.h"

// A fault met by the walk: kept once, pointed at (a level of detail costs a
// few words, as hostile files may name millions of them).
using GeometryFault = std::shared_ptr<const FormatError>;

struct LodGeometry {
  int32_t index = 0;
  StripLod lod;
  GeometryFault error;  // its record lies outside the strip file
  // The meshes that draw, in table order; a mesh of more than 5 strip groups
  // draws nothing and is left out.
  std::vector<MeshPlan> meshes;
  // The first fault of the meshes: in the mesh tables (meshError set and
  // failedMesh -1) or in mesh failedMesh. The meshes before it are kept.
  GeometryFault meshError;
  int32_t failedMesh = -1;

  bool Damaged() const { return error != nullptr || meshError != nullptr; }
};

struct SubModelGeometry {
  int32_t index = 0;
  ModelRecord record;
  bool hasVertices = false;   // vertexCount >= 1; nothing below is read without
  std::string_view name;      // as stored
  GeometryFault error;          // its name lies outside the model file
  GeometryFault lodTableError;  // its strip records or level-of-detail table
  std::vector<LodGeometry> lods;
};

struct BodyPartGeometry {
  int32_t index = 0;
  BodyPartRecord record;
  bool nameRead = false;
  std::string_view name;
  GeometryFault error;  // its name, or (nameRead) its sub-model table
  std::vector<SubModelGeometry> subModels;
};

struct ModelGeometry {
  GeometryFault error;  // the header or the body part table
  std::vector<BodyPartGeometry> bodyParts;
};

ModelGeometry WalkModelGeometry(const ModelFile& model, const StripFile& strip);

// The first fault the walk met in its order, or nullptr; `where` receives the
// place of a fault found (body part, sub-model, LOD, mesh; -1 where not in
// use).
struct GeometryPlace {
  int32_t bodyPart = -1, subModel = -1, lod = -1, mesh = -1;
  bool lodTable = false;    // the sub-model's strip records or level-of-detail table
  bool meshTables = false;  // the level's mesh tables
};
const FormatError* FirstGeometryFault(const ModelGeometry& geometry, GeometryPlace& where);

// Calls visit(bodyPart, subModel, lod) for every level of detail of every
// sub-model with vertices that the walk read, in walk order.
template <typename Visit>
void ForEachLod(const ModelGeometry& geometry, Visit&& visit) {
  for (const BodyPartGeometry& bodyPart : geometry.bodyParts) {
    for (const SubModelGeometry& subModel : bodyPart.subModels) {
      for (const LodGeometry& lod : subModel.lods) visit(bodyPart, subModel, lod);
    }
  }
}
