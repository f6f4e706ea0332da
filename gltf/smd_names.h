// The names the SMD writers give their files, for the nodes, meshes and
// animations of the .glb that hold the same data.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The sub-model name as the mesh SMD's base name: backslashes become slashes
// and the last extension is cut (the last dot after the last slash, never
// the dot at index 0): "arm_box.smd" -> "arm_box".
std::string SmdBaseName(std::string_view subModelName);
// "<base>" for level 0, "lod<k>_<base>" for the others.
std::string LodName(std::string_view base, int32_t lod);
