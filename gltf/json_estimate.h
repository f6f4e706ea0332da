// About how long the JSON text of the .glb being built will be, known before
// its meshes and animations are: the room left for it before the binary
// chunk (gltf/glb_container.h). It need not be exact: room the text does not
// fill is white space, and a text that outgrows it costs one move of the
// chunk. So it counts each entry the meshes and animations will add at the
// length its numbers have at most, which the file's counts bound.
#pragma once

#include <cstdint>

#include "gltf/glb_build.h"

// Called once the skeleton is in the document.
int64_t EstimateJsonBytes(const GlbBuild& build);
