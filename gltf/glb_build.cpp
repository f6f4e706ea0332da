#include "gltf/glb_build.h"

#include <algorithm>

#include "io/safe_names.h"

namespace {

std::string Number(int32_t value) { return std::to_string(value); }

}  // namespace

std::string DescribePlace(const GlbPlace& p) {
  using Part = GlbPlace::Part;
  std::string subModel = "body part " + Number(p.bodyPart) + ", sub-model " + Number(p.subModel);
  switch (p.part) {
    case Part::Header:
      return "glb model header";
    case Part::Skeleton:
      return p.bone < 0 ? "glb skeleton" : "glb skeleton bone " + Number(p.bone);
    case Part::BodyPart:
      return p.bodyPart < 0 ? "glb body part table" : "glb body part " + Number(p.bodyPart);
    case Part::SubModel:
      return "glb " + subModel;
    case Part::Lods:
      return "glb " + subModel + (p.lod < 0 ? " levels of detail" : ", LOD " + Number(p.lod));
    case Part::Mesh:
      return "glb mesh \"" + p.name + "\" (" + subModel + ", LOD " + Number(p.lod) + ", " +
             (p.mesh < 0 ? std::string("mesh tables") : "mesh " + Number(p.mesh)) + ")";
    case Part::Animations:
      return "glb animations";
    case Part::Animation: {
      std::string text = "glb animation " + Number(p.animation);
      if (p.named) text += " \"" + p.name + "\"";
      if (p.bone >= 0) text += " bone " + Number(p.bone);
      if (p.frame >= 0) text += " frame " + Number(p.frame);
      return text;
    }
  }
  return "glb";
}

void GlbBuild::NoteRepair(const std::string& what) {
  messages.push_back(DescribePlace(place) + ": " + what + "\n");
}

std::string GlbBuild::Written(std::string_view stored) {
  if (!HasUnsafeNameBytes(stored)) return std::string(stored);
  if (std::find(changedNames.begin(), changedNames.end(), stored) == changedNames.end())
    changedNames.emplace_back(stored);
  return WrittenName(stored);
}
