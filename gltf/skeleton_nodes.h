// The skeleton in the glTF document.
//
// The model's root node turns the Z-up model to glTF's Y-up (-90 degrees
// about X) and holds the root bones. Every bone is a node with the bone's
// name and its reference pose as the mesh SMD's skeleton block lists it: the
// position as stored and the quaternion of the reference angles (radians
// about X, Y and Z). A bone hangs on its parent when the parent is an earlier
// bone, as in every well-formed file; a bone naming any other parent would
// make the hierarchy a loop or leave it, so it hangs on the root node and is
// reported. The skin lists every bone as a joint, in bone order, with the
// inverse of the bone's rest matrix in model space as its inverse bind
// matrix: skinned vertices are stored in model space, and the root node's
// turn reaches them through the joints.
#pragma once

#include "gltf/glb_build.h"

// Adds the root node, the bone nodes and (with at least one bone) the skin;
// sets build.boneCount, rootNode, firstBoneNode and skin. Throws FormatError
// when the bone table or a bone's name leaves the file.
void AddSkeleton(GlbBuild& build);
