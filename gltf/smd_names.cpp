#include "gltf/smd_names.h"

std::string SmdBaseName(std::string_view subModelName) {
  std::string name(subModelName);
  for (char& c : name)
    if (c == '\\') c = '/';
  // The dot test at i comes before the slash test of i - 1, so a dot right
  // after a slash is still cut.
  for (size_t i = name.size(); i-- > 1;) {
    if (name[i] == '.') return name.substr(0, i);
    if (name[i - 1] == '/') break;
  }
  return name;
}

std::string LodName(std::string_view base, int32_t lod) {
  if (lod == 0) return std::string(base);
  return "lod" + std::to_string(lod) + "_" + std::string(base);
}
