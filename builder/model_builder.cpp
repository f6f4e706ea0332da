// Entry points of the test builder: building both images, writing them to
// disk, and finding records in a built image.
#include "builder/model_builder.h"

#include <fstream>
#include <stdexcept>

#include "builder/image_assembler.h"

namespace tb {

Family FamilyForVersion(int32_t version) {
  if (version >= 28 && version <= 30) return Family::Mode28To30;
  if (version >= 31 && version <= 36) return Family::Mode31To36;
  return Family::Mode37;
}

BuiltModel BuildModel(const ModelDescription& model, const BuildOptions& options) {
  BuiltModel built;
  built.family = model.family ? *model.family : FamilyForVersion(model.version);
  built.model = WriteModelImage(model, built.family, options);
  built.strip = WriteStripImage(model, options);
  return built;
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("can't create " + path);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("can't write " + path);
}

std::string WriteModelFiles(const BuiltModel& built, const std::string& directory, const std::string& baseName) {
  std::string base = directory.empty() ? baseName : directory + "/" + baseName;
  WriteFileBytes(base + ".mdl", built.model.bytes);
  WriteFileBytes(base + ".dx80.vtx", built.strip.bytes);
  return base;
}

size_t At(const BuiltFile& file, const std::string& block) {
  auto found = file.blocks.find(block);
  if (found == file.blocks.end()) throw std::out_of_range("the built image has no block named " + block);
  return found->second.at;
}

size_t RecordAt(const BuiltFile& file, const std::string& table, size_t index) {
  auto found = file.blocks.find(table);
  if (found == file.blocks.end()) throw std::out_of_range("the built image has no table named " + table);
  return found->second.at + index * found->second.recordSize;
}

std::string SubModelKey(int bodyPart, int subModel) {
  return "bodyPart" + std::to_string(bodyPart) + ".subModel" + std::to_string(subModel);
}
std::string StripSubModelKey(int bodyPart, int subModel) { return "strip." + SubModelKey(bodyPart, subModel); }
std::string StripLodKey(int bodyPart, int subModel, int lod) {
  return StripSubModelKey(bodyPart, subModel) + ".lod" + std::to_string(lod);
}
std::string StripMeshKey(int bodyPart, int subModel, int lod, int mesh) {
  return StripLodKey(bodyPart, subModel, lod) + ".mesh" + std::to_string(mesh);
}
std::string StripGroupKey(int bodyPart, int subModel, int lod, int mesh, int group) {
  return StripMeshKey(bodyPart, subModel, lod, mesh) + ".group" + std::to_string(group);
}

size_t BoneAt(const BuiltModel& built, int bone) { return RecordAt(built.model, "bones", bone); }
size_t AnimDescAt(const BuiltModel& built, int animation) {
  return RecordAt(built.model, "animations", animation);
}
size_t BoneAnimAt(const BuiltModel& built, int animation, int bone) {
  return RecordAt(built.model, "anim" + std::to_string(animation) + ".boneAnims", bone);
}
size_t SequenceAt(const BuiltModel& built, int sequence) { return RecordAt(built.model, "sequences", sequence); }
size_t BodyPartAt(const BuiltModel& built, int bodyPart) { return RecordAt(built.model, "bodyParts", bodyPart); }
size_t SubModelAt(const BuiltModel& built, int bodyPart, int subModel) {
  return RecordAt(built.model, "bodyPart" + std::to_string(bodyPart) + ".subModels", subModel);
}
size_t MeshAt(const BuiltModel& built, int bodyPart, int subModel, int mesh) {
  return RecordAt(built.model, SubModelKey(bodyPart, subModel) + ".meshes", mesh);
}
size_t VertexAt(const BuiltModel& built, int bodyPart, int subModel, int vertex) {
  return RecordAt(built.model, SubModelKey(bodyPart, subModel) + ".vertices", vertex);
}

size_t StripBodyPartAt(const BuiltModel& built, int bodyPart) {
  return RecordAt(built.strip, "strip.bodyParts", bodyPart);
}
size_t StripModelAt(const BuiltModel& built, int bodyPart, int subModel) {
  return RecordAt(built.strip, "strip.bodyPart" + std::to_string(bodyPart) + ".subModels", subModel);
}
size_t StripLodAt(const BuiltModel& built, int bodyPart, int subModel, int lod) {
  return RecordAt(built.strip, StripSubModelKey(bodyPart, subModel) + ".lods", lod);
}
size_t StripMeshAt(const BuiltModel& built, int bodyPart, int subModel, int lod, int mesh) {
  return RecordAt(built.strip, StripLodKey(bodyPart, subModel, lod) + ".meshes", mesh);
}
size_t StripGroupAt(const BuiltModel& built, int bodyPart, int subModel, int lod, int mesh, int group) {
  return RecordAt(built.strip, StripMeshKey(bodyPart, subModel, lod, mesh) + ".groups", group);
}
size_t StripAt(const BuiltModel& built, int bodyPart, int subModel, int lod, int mesh, int group, int strip) {
  return RecordAt(built.strip, StripGroupKey(bodyPart, subModel, lod, mesh, group) + ".strips", strip);
}

}  // namespace tb
