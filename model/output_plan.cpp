#include "model/output_plan.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <tuple>

#include "io/names.h"
#include "io/safe_names.h"

namespace {

constexpr size_t kNameBufferSize = 256;

// The animation files the SMD writer starts: none when the animation or bone
// table does not fit (every file starts with the node list); one per
// animation whose name can be read and fits a file name.
void PlanAnimations(const ModelFile& model, std::vector<PlannedFile>& files) {
  ModelHeader header;
  try {
    header = ReadModelHeader(model);
    if (header.animDescCount <= 0) return;
    CheckTable(model.bytes, header.animDescOffset, header.animDescCount, kAnimDescRecordSize,
               "animation description table");
    CheckTable(model.bytes, header.boneOffset, header.boneCount, kBoneRecordSize, "bone table");
  } catch (const FormatError&) {
    return;
  }
  for (int32_t i = 0; i < header.animDescCount; ++i) {
    std::string_view name;
    try {
      const AnimDescRecord anim = ReadAnimDesc(model, header, i);
      name = NameAt(model, anim.at, anim.nameOffset, "animation name");
    } catch (const FormatError&) {
      continue;
    }
    if (name.size() > kMaxAnimationNameLength) continue;
    PlannedFile file;
    file.kind = OutputKind::Animation;
    file.animation = i;
    file.base = WrittenName(name);
    file.wanted = file.base + ".smd";
    files.push_back(std::move(file));
  }
}

void PlanMeshes(const ModelGeometry& geometry, std::vector<PlannedFile>& files) {
  for (const BodyPartGeometry& bodyPart : geometry.bodyParts) {
    for (const SubModelGeometry& subModel : bodyPart.subModels) {
      if (!subModel.hasVertices || subModel.error || subModel.lodTableError) continue;
      const std::optional<std::string> base = MeshBaseName(subModel.name);
      if (!base) continue;
      for (const LodGeometry& lod : subModel.lods) {
        if (lod.error) continue;
        std::optional<std::string> name = MeshFileName(*base, lod.index);
        if (!name) continue;
        PlannedFile file;
        file.kind = OutputKind::Mesh;
        file.bodyPart = bodyPart.index;
        file.subModel = subModel.index;
        file.lod = lod.index;
        file.wanted = std::move(*name);
        file.base = *base;
        files.push_back(std::move(file));
      }
    }
  }
}

// "<model>_lod<k>.glb" for every lower level k that a sub-model with
// vertices has, in order of k.
void PlanLodGlbs(const ModelGeometry& geometry, const std::string& glbName, std::vector<PlannedFile>& files) {
  std::set<int32_t> levels;
  for (const BodyPartGeometry& bodyPart : geometry.bodyParts) {
    for (const SubModelGeometry& subModel : bodyPart.subModels) {
      if (!subModel.hasVertices) continue;
      for (const LodGeometry& lod : subModel.lods) {
        if (lod.index > 0 && !lod.meshes.empty()) levels.insert(lod.index);
      }
    }
  }
  const std::string base = glbName.ends_with(".glb") ? glbName.substr(0, glbName.size() - 4) : glbName;
  for (int32_t level : levels) {
    PlannedFile file;
    file.kind = OutputKind::LodGlb;
    file.lod = level;
    file.wanted = base + "_lod" + std::to_string(level) + ".glb";
    files.push_back(std::move(file));
  }
}

// Gives every later file of a colliding group a free name (see the header).
// A stem's suffixes are tried from where its last search ended: the names
// taken only grow, so none below it has come free, and a hostile file naming
// thousands of sub-models alike costs time in proportion to their number.
void ResolveCollisions(OutputPlan& plan) {
  std::set<std::string, std::less<>> wanted, given;
  std::map<std::string, int, std::less<>> nextSuffix;
  for (const PlannedFile& file : plan.files) wanted.insert(file.wanted);
  std::vector<PlannedFile>& files = plan.files;
  for (size_t i = 0; i < files.size();) {
    // A group: one sub-model's mesh files, or any other single file.
    const bool mesh = files[i].kind == OutputKind::Mesh;
    size_t end = i + 1;
    while (mesh && end < files.size() && files[end].kind == OutputKind::Mesh &&
           files[end].bodyPart == files[i].bodyPart && files[end].subModel == files[i].subModel)
      ++end;
    bool taken = false;
    for (size_t f = i; f < end; ++f) taken = taken || given.count(files[f].wanted) > 0;
    if (taken && (mesh || files[i].kind == OutputKind::Animation)) {
      const std::string stem = files[i].base;
      int& n = nextSuffix.try_emplace(stem, 2).first->second;
      for (;; ++n) {
        const std::string base = stem + "_" + std::to_string(n);
        bool free = true;
        for (size_t f = i; f < end && free; ++f) {
          const std::optional<std::string> name = mesh ? MeshFileName(base, files[f].lod) : base + ".smd";
          free = name && wanted.count(*name) == 0 && given.count(*name) == 0;
        }
        if (!free) continue;
        for (size_t f = i; f < end; ++f) {
          files[f].name = mesh ? *MeshFileName(base, files[f].lod) : base + ".smd";
          files[f].base = base;
        }
        break;
      }
    }
    for (size_t f = i; f < end; ++f) given.insert(files[f].name);
    i = end;
  }
}

}  // namespace

std::optional<std::string> MeshBaseName(std::string_view stored) {
  const std::string name = WrittenName(stored);
  if (name.size() >= kNameBufferSize) return std::nullopt;
  char base[kNameBufferSize] = {};
  std::memcpy(base, name.data(), name.size());
  StripExtension(base);
  return std::string(base);
}

std::optional<std::string> MeshFileName(const std::string& base, int32_t lod) {
  char name[kNameBufferSize] = {};
  const int length = lod == 0 ? std::snprintf(name, sizeof name, "%s.smd", base.c_str())
                              : std::snprintf(name, sizeof name, "lod%d_%s.smd", lod, base.c_str());
  if (length < 0 || static_cast<size_t>(length) >= sizeof name) return std::nullopt;
  return std::string(name, static_cast<size_t>(length));
}

OutputPlan PlanOutputs(const ModelFile& model, const ModelGeometry& geometry, const PlanChoice& choice) {
  OutputPlan plan;
  auto add = [&plan](OutputKind kind, std::string name) {
    PlannedFile file;
    file.kind = kind;
    file.wanted = std::move(name);
    plan.files.push_back(std::move(file));
  };
  if (choice.smd) {
    add(OutputKind::Script, "dec.qc");
    PlanMeshes(geometry, plan.files);
    PlanAnimations(model, plan.files);
  }
  if (!choice.glbName.empty()) {
    add(OutputKind::Glb, choice.glbName);
    PlanLodGlbs(geometry, choice.glbName, plan.files);
  }
  if (choice.preview) add(OutputKind::Preview, "preview.png");
  for (PlannedFile& file : plan.files) file.name = file.wanted;
  ResolveCollisions(plan);
  return plan;
}

namespace {

// The file of (kind, body part, sub-model, level of detail, animation), by
// the plan's order; with lod -1, the first file of the sub-model.
const PlannedFile* FindFile(const std::vector<PlannedFile>& files, OutputKind kind, int32_t bodyPart,
                            int32_t subModel, int32_t lod, int32_t animation) {
  auto key = [](const PlannedFile& f) { return std::tuple(f.kind, f.bodyPart, f.subModel, f.lod, f.animation); };
  const auto wanted = std::tuple(kind, bodyPart, subModel, lod, animation);
  auto at = std::lower_bound(files.begin(), files.end(), wanted,
                             [&](const PlannedFile& f, const auto& w) { return key(f) < w; });
  if (at == files.end() || at->kind != kind || at->bodyPart != bodyPart || at->subModel != subModel) return nullptr;
  if (lod >= 0 && at->lod != lod) return nullptr;
  if (at->animation != animation) return nullptr;
  return &*at;
}

}  // namespace

const PlannedFile* OutputPlan::MeshFile(int32_t bodyPart, int32_t subModel, int32_t lod) const {
  return FindFile(files, OutputKind::Mesh, bodyPart, subModel, lod, -1);
}

const PlannedFile* OutputPlan::SubModelFile(int32_t bodyPart, int32_t subModel) const {
  return FindFile(files, OutputKind::Mesh, bodyPart, subModel, -1, -1);
}

const PlannedFile* OutputPlan::AnimationFile(int32_t animation) const {
  return FindFile(files, OutputKind::Animation, -1, -1, -1, animation);
}

std::string RenameLine(const PlannedFile& file) {
  if (!file.Renamed()) return {};
  std::string item;
  if (file.kind == OutputKind::Mesh) {
    item = "body part " + std::to_string(file.bodyPart) + ", sub-model " + std::to_string(file.subModel) + ", LOD " +
           std::to_string(file.lod);
  } else {
    item = "animation " + std::to_string(file.animation);
  }
  return "File name taken: " + ShownName(file.wanted) + " (" + item + ") is written as " + ShownName(file.name) + "\n";
}
