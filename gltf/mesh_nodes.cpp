#include "gltf/mesh_nodes.h"

#include <string>

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
// no mesh draws a triangle. `corners` is scratch memory, kept from level to
// level so that its pages are touched once.
void AddLevelOfDetail(GlbBuild& build, const LodGeometry& lod, const std::string& name, MeshPrimitive& primitive,
                      std::vector<uint16_t>& corners) {
  Json primitives = Json::array();
  for (const MeshPlan& plan : lod.meshes) {
    build.place.mesh = plan.index;
    primitive.Begin(plan);
    for (const StripGroupPlan& group : plan.groups) {
      PlannedCorners(plan, group, corners);
      primitive.AddStripGroup(group.span, corners);
    }
    Json drawn = primitive.Finish();
    if (!drawn.is_null()) primitives.push_back(std::move(drawn));
  }
  build.place.mesh = -1;
  if (primitives.empty()) return;
  GltfDocument& document = build.document;
  const int mesh = document.Add("meshes", Json{{"name", name}, {"primitives", std::move(primitives)}});
  Json node{{"name", name}, {"mesh", mesh}};
  if (build.skin >= 0) node["skin"] = build.skin;
  build.meshNodes.push_back(document.Add("nodes", std::move(node)));
}

// The walk's first fault abandons the file: build.place names it the way
// the .glb names its items.
void ThrowFirstFault(GlbBuild& build) {
  GeometryPlace at;
  const FormatError* fault = FirstGeometryFault(build.geometry, at);
  if (fault == nullptr) return;
  if (at.bodyPart < 0 || at.subModel < 0) {
    SetPlace(build, Part::BodyPart, at.bodyPart);
  } else if (at.lod < 0 && !at.lodTable) {
    SetPlace(build, Part::SubModel, at.bodyPart, at.subModel);
  } else if (at.lodTable || (at.mesh < 0 && !at.meshTables)) {
    SetPlace(build, Part::Lods, at.bodyPart, at.subModel, at.lod);
  } else {
    SetPlace(build, Part::Mesh, at.bodyPart, at.subModel, at.lod);
    build.place.mesh = at.mesh;
    const SubModelGeometry& subModel =
        build.geometry.bodyParts[static_cast<size_t>(at.bodyPart)].subModels[static_cast<size_t>(at.subModel)];
    build.place.name = LodName(SmdBaseName(build.Written(subModel.name)), at.lod);
  }
  throw *fault;
}

}  // namespace

void AddMeshes(GlbBuild& build) {
  ThrowFirstFault(build);
  MeshPrimitive primitive(build);
  std::vector<uint16_t> corners;
  for (const BodyPartGeometry& bodyPart : build.geometry.bodyParts) {
    for (const SubModelGeometry& subModel : bodyPart.subModels) {
      if (!subModel.hasVertices) continue;  // no geometry
      const std::string base = SmdBaseName(build.Written(subModel.name));
      for (const LodGeometry& lod : subModel.lods) {
        if (lod.index != build.lod) continue;
        SetPlace(build, Part::Mesh, bodyPart.index, subModel.index, lod.index);
        build.place.name = LodName(base, lod.index);
        AddLevelOfDetail(build, lod, build.place.name, primitive, corners);
      }
    }
  }
}
