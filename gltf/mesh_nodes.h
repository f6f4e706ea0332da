// The meshes of the .glb: for every sub-model with vertices whose level of
// detail build.lod draws a triangle, a glTF mesh with one primitive per
// mesh record and a node of the same name as its SMD file ("<sub-model>",
// "lod<k>_<sub-model>"), skinned when the model has bones.
//
// The meshes are the read layer's (model/model_geometry.h): the same
// records, checks and budgets as the mesh SMD files.
#pragma once

#include "gltf/glb_build.h"

// Adds meshes, materials and nodes; fills build.meshNodes. Throws the walk's first FormatError, with build.place
// naming the item.
void AddMeshes(GlbBuild& build);
