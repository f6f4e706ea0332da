#include "mesh/mesh_corners.h"

bool ReadMeshTriangles(const ModelFile& model, const StripFile& strip, const MeshRecord& mesh,
                       const StripMesh& stripMesh, FileBudget& stripBudget, const StripGroupVisitor& visit) {
  MeshPlan plan;
  if (PlanMeshTriangles(model, strip, mesh, stripMesh, plan, &stripBudget) == 0) return false;
  const MeshSource source{mesh.material, plan.materialName};
  std::vector<uint16_t> corners;
  for (const StripGroupPlan& group : plan.groups) {
    PlannedCorners(plan, group, corners);
    visit(source, group.span, corners);
  }
  return true;
}
