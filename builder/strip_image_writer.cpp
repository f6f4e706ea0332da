// Writes the .dx80.vtx image: for every body part and sub-model of the
// description its levels of detail, meshes, strip groups, strip vertices,
// index arrays and strips. The records are packed, so blocks are not aligned.
#include <string>

#include "builder/format_tables.h"
#include "builder/image_assembler.h"

namespace tb {
namespace {

int32_t CountOr(const std::optional<int32_t>& override, size_t size) {
  return override ? *override : static_cast<int32_t>(size);
}

struct StripWriter {
  Assembly& assembly;

  // A packed table under `parent`, linked from the holder record at parentAt.
  int Table(const std::string& name, size_t count, size_t recordSize, int parent, size_t parentAt, size_t field) {
    int table = AddBlock(assembly, name, count * recordSize, recordSize, parent, 1);
    LinkFromRecord(assembly, parent, parentAt + field, parentAt, name);
    return table;
  }

  void Group(const std::string& key, const StripGroupDescription& group, int groups, size_t at) {
    int vertices = Table(key + ".vertices", group.vertices.size(), kStripVertexRecordSize, groups, at,
                         kStripGroupVertexOffset);
    for (size_t v = 0; v < group.vertices.size(); ++v)
      PutI16(BytesOf(assembly, vertices), v * kStripVertexRecordSize + kStripVertexMeshVertexIndex,
             group.vertices[v]);
    int indices =
        Table(key + ".indices", group.indices.size(), kStripIndexEntrySize, groups, at, kStripGroupIndexOffset);
    for (size_t t = 0; t < group.indices.size(); ++t)
      PutU16(BytesOf(assembly, indices), t * kStripIndexEntrySize, group.indices[t]);
    int strips = Table(key + ".strips", group.strips.size(), kStripRecordSize, groups, at, kStripGroupStripOffset);
    PutI32(BytesOf(assembly, groups), at + kStripGroupStripCount, CountOr(group.stripCount, group.strips.size()));
    for (size_t s = 0; s < group.strips.size(); ++s) {
      PutI32(BytesOf(assembly, strips), s * kStripRecordSize + kStripIndexCount, group.strips[s].indexCount);
      PutI32(BytesOf(assembly, strips), s * kStripRecordSize + kStripFirstIndex, group.strips[s].firstIndex);
    }
  }

  void SubModel(int bodyPart, int index, const SubModelDescription& sub, int subModels) {
    size_t at = static_cast<size_t>(index) * kStripModelRecordSize;
    PutI32(BytesOf(assembly, subModels), at + kStripModelLodCount, CountOr(sub.lodCount, sub.lods.size()));
    std::string key = StripSubModelKey(bodyPart, index);
    int lods = Table(key + ".lods", sub.lods.size(), kStripLodRecordSize, subModels, at, kStripModelLodOffset);
    for (size_t k = 0; k < sub.lods.size(); ++k) {
      const LodDescription& lod = sub.lods[k];
      size_t lodAt = k * kStripLodRecordSize;
      PutF32(BytesOf(assembly, lods), lodAt + kStripLodSwitchDistance, lod.switchDistance);
      std::string lodKey = StripLodKey(bodyPart, index, static_cast<int>(k));
      int meshes =
          Table(lodKey + ".meshes", lod.meshes.size(), kStripMeshRecordSize, lods, lodAt, kStripLodMeshOffset);
      for (size_t m = 0; m < lod.meshes.size(); ++m) {
        const StripMeshDescription& mesh = lod.meshes[m];
        size_t meshAt = m * kStripMeshRecordSize;
        PutI32(BytesOf(assembly, meshes), meshAt + kStripMeshGroupCount, CountOr(mesh.groupCount, mesh.groups.size()));
        std::string meshKey = StripMeshKey(bodyPart, index, static_cast<int>(k), static_cast<int>(m));
        int groups = Table(meshKey + ".groups", mesh.groups.size(), kStripGroupRecordSize, meshes, meshAt,
                           kStripMeshGroupOffset);
        for (size_t g = 0; g < mesh.groups.size(); ++g)
          Group(meshKey + ".group" + std::to_string(g), mesh.groups[g], groups, g * kStripGroupRecordSize);
      }
    }
  }
};

}  // namespace

BuiltFile WriteStripImage(const ModelDescription& model, const BuildOptions& options) {
  Assembly assembly = StartAssembly(options);
  // A different filler sequence from the model file's.
  for (int k = 0; k < 7; ++k) NextFiller(assembly);
  StripWriter writer{assembly};
  int header = AddBlock(assembly, "strip.header", kStripHeaderSize, 0, -1, 1);
  int bodyParts = AddBlock(assembly, "strip.bodyParts", model.bodyParts.size() * kStripBodyPartRecordSize,
                           kStripBodyPartRecordSize, header, 1);
  LinkFromFileStart(assembly, header, kStripHeaderBodyPartOffset, "strip.bodyParts");
  for (size_t i = 0; i < model.bodyParts.size(); ++i) {
    const BodyPartDescription& part = model.bodyParts[i];
    int subModels = writer.Table("strip.bodyPart" + std::to_string(i) + ".subModels", part.subModels.size(),
                                 kStripModelRecordSize, bodyParts, i * kStripBodyPartRecordSize,
                                 kStripBodyPartModelOffset);
    for (size_t j = 0; j < part.subModels.size(); ++j)
      writer.SubModel(static_cast<int>(i), static_cast<int>(j), part.subModels[j], subModels);
  }
  return Assemble(assembly, options);
}

}  // namespace tb
