#include "model/model_geometry.h"

#include <memory>

#include "formats/file_budget.h"

namespace {

struct GeometryWalk {
  const ModelFile& model;
  const StripFile& strip;
  FileBudget subModelBudget;
  FileBudget stripBudget;
};

void WalkLod(GeometryWalk& walk, const ModelRecord& subModel, LodGeometry& out) {
  const ModelFile& model = walk.model;
  const StripFile& strip = walk.strip;
  try {
    CheckTable(model.bytes, AddOffset(subModel.at, subModel.meshOffset), subModel.meshCount, kMeshRecordSize,
               "mesh table");
    CheckTable(strip.bytes, AddOffset(out.lod.at, out.lod.meshOffset), subModel.meshCount, kStripMeshSize,
               "strip mesh table");
    ChargeTableToBudget(walk.stripBudget, strip.bytes, AddOffset(out.lod.at, out.lod.meshOffset), subModel.meshCount,
                        kStripMeshSize, "strip mesh table");
  } catch (const FormatError& error) {
    out.meshError = std::make_shared<const FormatError>(error);
    return;
  }
  for (int32_t m = 0; m < subModel.meshCount; ++m) {
    try {
      MeshPlan plan;
      if (PlanMeshTriangles(model, strip, ReadMesh(model, subModel, m), ReadStripMesh(strip, out.lod, m), plan,
                            &walk.stripBudget) != 0) {
        plan.index = m;
        out.meshes.push_back(std::move(plan));
      }
    } catch (const FormatError& error) {
      out.meshError = std::make_shared<const FormatError>(error);
      out.failedMesh = m;
      return;
    }
  }
}

void WalkSubModel(GeometryWalk& walk, const BodyPartRecord& bodyPart, int32_t bodyPartIndex, SubModelGeometry& out) {
  out.record = ReadSubModel(walk.model, bodyPart, out.index);  // inside the checked table
  out.hasVertices = out.record.vertexCount >= 1;
  if (!out.hasVertices) return;
  try {
    out.name = SubModelName(walk.model, out.record);
  } catch (const FormatError& error) {
    out.error = std::make_shared<const FormatError>(error);
    return;
  }
  StripModel stripModel;
  try {
    stripModel = ReadStripModel(walk.strip, ReadStripBodyPart(walk.strip, bodyPartIndex), out.index);
    CheckStripLodTable(walk.strip, stripModel, walk.stripBudget);
  } catch (const FormatError& error) {
    out.lodTableError = std::make_shared<const FormatError>(error);
    return;
  }
  // The table fits the strip file, so this is bounded by its size.
  out.lods.resize(static_cast<size_t>(stripModel.lodCount > 0 ? stripModel.lodCount : 0));
  for (int32_t k = 0; k < stripModel.lodCount; ++k) {
    LodGeometry& lod = out.lods[static_cast<size_t>(k)];
    lod.index = k;
    try {
      lod.lod = ReadStripLod(walk.strip, stripModel, k);
    } catch (const FormatError& error) {
      lod.error = std::make_shared<const FormatError>(error);
      continue;
    }
    WalkLod(walk, out.record, lod);
  }
}

}  // namespace

ModelGeometry WalkModelGeometry(const ModelFile& model, const StripFile& strip) {
  ModelGeometry out;
  ModelHeader header;
  try {
    header = ReadModelHeader(model);
    CheckTable(model.bytes, header.bodyPartOffset, header.bodyPartCount, kBodyPartRecordSize, "body part table");
  } catch (const FormatError& error) {
    out.error = std::make_shared<const FormatError>(error);
    return out;
  }
  GeometryWalk walk{model, strip, WholeFileBudget(model.bytes), WholeFileBudget(strip.bytes)};
  out.bodyParts.resize(static_cast<size_t>(header.bodyPartCount > 0 ? header.bodyPartCount : 0));
  for (int32_t i = 0; i < header.bodyPartCount; ++i) {
    BodyPartGeometry& bodyPart = out.bodyParts[static_cast<size_t>(i)];
    bodyPart.index = i;
    bodyPart.record = ReadBodyPart(model, header, i);  // inside the checked table
    try {
      bodyPart.name = NameAt(model, bodyPart.record.at, bodyPart.record.nameOffset, "body part name");
      bodyPart.nameRead = true;
      CheckSubModelTable(model, bodyPart.record, walk.subModelBudget);
    } catch (const FormatError& error) {
      bodyPart.error = std::make_shared<const FormatError>(error);
      continue;
    }
    bodyPart.subModels.resize(static_cast<size_t>(bodyPart.record.modelCount > 0 ? bodyPart.record.modelCount : 0));
    for (int32_t j = 0; j < bodyPart.record.modelCount; ++j) {
      SubModelGeometry& subModel = bodyPart.subModels[static_cast<size_t>(j)];
      subModel.index = j;
      WalkSubModel(walk, bodyPart.record, i, subModel);
    }
  }
  return out;
}

const FormatError* FirstGeometryFault(const ModelGeometry& geometry, GeometryPlace& where) {
  where = GeometryPlace{};
  if (geometry.error) return geometry.error.get();
  for (const BodyPartGeometry& bodyPart : geometry.bodyParts) {
    where = GeometryPlace{};
    where.bodyPart = bodyPart.index;
    if (bodyPart.error) return bodyPart.error.get();
    for (const SubModelGeometry& subModel : bodyPart.subModels) {
      where.subModel = subModel.index;
      where.lod = where.mesh = -1;
      if (subModel.error) return subModel.error.get();
      where.lodTable = true;
      if (subModel.lodTableError) return subModel.lodTableError.get();
      where.lodTable = false;
      for (const LodGeometry& lod : subModel.lods) {
        where.lod = lod.index;
        if (lod.error) return lod.error.get();
        if (lod.meshError) {
          where.mesh = lod.failedMesh;
          where.meshTables = lod.failedMesh < 0;
          return lod.meshError.get();
        }
      }
    }
  }
  where = GeometryPlace{};
  return nullptr;
}
