#include "gltf/mesh_nodes.h"

#include <string>

#include "formats/file_budget.h"
#include "model/mesh_corners.h"
#include "gltf/mesh_primitive.h"
#include "gltf/smd_names.h"

namespace {

using Part = GlbPlace::Part;

void SetPlace(GlbBuild& build, Part part, int32_t bodyPart, int32_t subModel = -1, int32_t lod = -1) {
  build.place = GlbPlace{};
  build.place.part = part;
  build.place.bodyPart = bodyPart;
  build.place.subModel = subModel;
  build.place.lod = lod;
}

// The meshes of one level of detail as one glTF mesh and node; nothing when
// no mesh draws a triangle.
void AddLevelOfDetail(GlbBuild& build, const ModelRecord& subModel, const StripLod& lod, const std::string& name,
                      FileBudget& stripBudget, MeshPrimitive& primitive) {
  const ModelFile& model = build.model;
  const StripFile& strip = build.strip;
  CheckTable(model.bytes, AddOffset(subModel.at, subModel.meshOffset), subModel.meshCount, kMeshRecordSize,
             "mesh table");
  CheckTable(strip.bytes, AddOffset(lod.at, lod.meshOffset), subModel.meshCount, kStripMeshSize, "strip mesh table");
  ChargeTableToBudget(stripBudget, strip.bytes, AddOffset(lod.at, lod.meshOffset), subModel.meshCount, kStripMeshSize,
                      "strip mesh table");
  Json primitives = Json::array();
  for (int32_t m = 0; m < subModel.meshCount; ++m) {
    build.place.mesh = m;
    const MeshRecord mesh = ReadMesh(model, subModel, m);
    primitive.Begin(mesh);
    ReadMeshTriangles(model, strip, mesh, ReadStripMesh(strip, lod, m), stripBudget,
                      [&](const MeshSource& source, const VertexSpan& span, const std::vector<uint16_t>& corners) {
                        primitive.AddStripGroup(source, span, corners);
                      });
    Json drawn = primitive.Finish();
    if (!drawn.is_null()) primitives.push_back(std::move(drawn));
  }
  build.place.mesh = -1;
  if (primitives.empty()) return;
  GltfDocument& document = build.document;
  const int mesh = document.Add("meshes", Json{{"name", name}, {"primitives", std::move(primitives)}});
  Json node{{"name", name}, {"mesh", mesh}};
  if (build.skin >= 0) node["skin"] = build.skin;
  (build.place.lod == 0 ? build.lodZeroNodes : build.lowerLodNodes).push_back(document.Add("nodes", std::move(node)));
}

void AddSubModel(GlbBuild& build, const BodyPartRecord& bodyPart, int32_t i, int32_t j, FileBudget& stripBudget,
                 MeshPrimitive& primitive) {
  const ModelFile& model = build.model;
  const StripFile& strip = build.strip;
  SetPlace(build, Part::SubModel, i, j);
  const ModelRecord subModel = ReadSubModel(model, bodyPart, j);
  if (subModel.vertexCount < 1) return;  // no geometry
  const std::string base = SmdBaseName(build.Written(SubModelName(model, subModel)));

  SetPlace(build, Part::Lods, i, j);
  const StripModel stripModel = ReadStripModel(strip, ReadStripBodyPart(strip, i), j);
  CheckTable(strip.bytes, AddOffset(stripModel.at, stripModel.lodOffset), stripModel.lodCount, kStripLodSize,
             "strip LOD table");
  ChargeTableToBudget(stripBudget, strip.bytes, AddOffset(stripModel.at, stripModel.lodOffset), stripModel.lodCount,
                      kStripLodSize, "strip LOD table");
  for (int32_t k = 0; k < stripModel.lodCount; ++k) {
    SetPlace(build, Part::Lods, i, j, k);
    const StripLod lod = ReadStripLod(strip, stripModel, k);
    SetPlace(build, Part::Mesh, i, j, k);
    build.place.name = LodName(base, k);
    AddLevelOfDetail(build, subModel, lod, build.place.name, stripBudget, primitive);
  }
}

}  // namespace

void AddMeshes(GlbBuild& build) {
  const ModelFile& model = build.model;
  const ModelHeader& header = build.header;
  SetPlace(build, Part::BodyPart, -1);
  CheckTable(model.bytes, header.bodyPartOffset, header.bodyPartCount, kBodyPartRecordSize, "body part table");
  // Shared records run out of budget instead of multiplying meshes.
  FileBudget subModelBudget = WholeFileBudget(model.bytes);
  FileBudget stripBudget = WholeFileBudget(build.strip.bytes);
  MeshPrimitive primitive(build);
  for (int32_t i = 0; i < header.bodyPartCount; ++i) {
    SetPlace(build, Part::BodyPart, i);
    const BodyPartRecord bodyPart = ReadBodyPart(model, header, i);
    CheckTable(model.bytes, AddOffset(bodyPart.at, bodyPart.modelOffset), bodyPart.modelCount,
               model.layout->modelRecordSize, "sub-model table");
    ChargeTableToBudget(subModelBudget, model.bytes, AddOffset(bodyPart.at, bodyPart.modelOffset), bodyPart.modelCount,
                        model.layout->modelRecordSize, "sub-model table");
    for (int32_t j = 0; j < bodyPart.modelCount; ++j) AddSubModel(build, bodyPart, i, j, stripBudget, primitive);
  }
}
