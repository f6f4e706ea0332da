// The meshes of the .glb: for every sub-model with vertices and every level
// of detail whose meshes draw a triangle, a glTF mesh with one primitive per
// mesh record and a node of the same name as its SMD file ("<sub-model>",
// "lod<k>_<sub-model>"), skinned when the model has bones.
//
// The walk is the mesh SMD writer's: body parts, their sub-models, the strip
// file's levels of detail, with the same table checks and the same budgets
// for records that share bytes.
#pragma once

#include "gltf/glb_build.h"

// Adds meshes, materials and nodes; fills build.lodZeroNodes and
// build.lowerLodNodes. Throws FormatError for bad data, with build.place
// naming the item.
void AddMeshes(GlbBuild& build);
