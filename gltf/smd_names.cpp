#include "gltf/smd_names.h"

#include <cstring>

#include "io/names.h"

std::string SmdBaseName(std::string_view subModelName) {
  std::string name(subModelName);
  StripExtension(name.data());
  name.resize(std::strlen(name.c_str()));
  return name;
}

std::string LodName(std::string_view base, int32_t lod) {
  if (lod == 0) return std::string(base);
  return "lod" + std::to_string(lod) + "_" + std::string(base);
}
