// Writes the .mdl image of a ModelDescription in the chosen family. Every
// table becomes one block (named as listed in model_builder.h), every name a
// string in its table's name pool; offsets are left to the assembler.
#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "builder/format_tables.h"
#include "builder/image_assembler.h"

namespace tb {
namespace {

void PutVec3(std::vector<uint8_t>& bytes, size_t at, const Vec3& v) {
  PutF32(bytes, at, v.x);
  PutF32(bytes, at + 4, v.y);
  PutF32(bytes, at + 8, v.z);
}

// An inline name: as many characters as fit the room, then a terminator if
// there is room left for one; the bytes after it keep their filler.
void PutInlineName(std::vector<uint8_t>& bytes, size_t at, size_t room, const std::string& text) {
  size_t n = std::min(text.size(), room);
  std::memcpy(bytes.data() + at, text.data(), n);
  if (n < room) bytes[at + n] = 0;
}

int32_t CountOr(const std::optional<int32_t>& override, size_t size) {
  return override ? *override : static_cast<int32_t>(size);
}

std::string Indexed(const char* stem, size_t index) { return stem + std::to_string(index); }

struct ModelWriter {
  Assembly& assembly;
  const ModelDescription& model;
  Family family;
  int header = 0;

  // A table of `count` records reached from the header through a count/offset pair.
  int AddHeaderTable(const std::string& name, size_t count, size_t recordSize, int32_t countField,
                  int32_t offsetField, const std::optional<int32_t>& countOverride) {
    int table = AddBlock(assembly, name, count * recordSize, recordSize, header, 4);
    PutI32(BytesOf(assembly, header), countField, CountOr(countOverride, count));
    LinkFromFileStart(assembly, header, offsetField, name);
    return table;
  }

  int NamePool(const std::string& table, int parent) {
    return AddBlock(assembly, table + ".names", 0, 0, parent, 1);
  }

  // Stores `text` in the pool and points the record's name field at it.
  void Name(int pool, int holder, size_t recordAt, size_t field, const std::string& text, const std::string& mark) {
    size_t inner = AddString(assembly, pool, text);
    LinkFromRecord(assembly, holder, recordAt + field, recordAt, assembly.blocks[pool].name, inner);
    MarkPosition(assembly, mark, pool, inner, text.size() + 1);
  }

  void Header() {
    const HeaderTable& h = HeaderFor(family);
    header = AddBlock(assembly, "header", h.size, 0, -1, 1);
    std::vector<uint8_t>& bytes = BytesOf(assembly, header);
    PutI32(bytes, kHeaderVersion, model.version);
    PutInlineName(bytes, kHeaderName, kHeaderNameRoom, model.name);
    PutVec3(bytes, kHeaderEyePosition, model.eyePosition);
    PutVec3(bytes, kHeaderIllumPosition, model.illumPosition);
    struct Field {
      const char* name;
      int32_t at;
      size_t size;
    };
    const Field fields[] = {
        {"version", kHeaderVersion, 4},
        {"name", kHeaderName, kHeaderNameRoom},
        {"eyePosition", kHeaderEyePosition, 12},
        {"illumPosition", kHeaderIllumPosition, 12},
        {"boneCount", kHeaderBoneCount, 4},
        {"boneOffset", kHeaderBoneOffset, 4},
        {"hitboxSetCount", kHeaderHitboxSetCount, 4},
        {"hitboxSetOffset", kHeaderHitboxSetOffset, 4},
        {"animDescCount", kHeaderAnimDescCount, 4},
        {"animDescOffset", kHeaderAnimDescOffset, 4},
        {"sequenceCount", h.sequenceCount, 4},
        {"sequenceOffset", h.sequenceOffset, 4},
        {"textureCount", h.textureCount, 4},
        {"textureOffset", h.textureOffset, 4},
        {"materialFolderCount", h.materialFolderCount, 4},
        {"materialFolderOffset", h.materialFolderOffset, 4},
        {"bodyPartCount", h.bodyPartCount, 4},
        {"bodyPartOffset", h.bodyPartOffset, 4},
        {"attachmentCount", h.attachmentCount, 4},
        {"attachmentOffset", h.attachmentOffset, 4},
        {"poseParamCount", h.poseParamCount, 4},
        {"poseParamOffset", h.poseParamOffset, 4},
        {"surfacePropOffset", h.surfacePropOffset, 4},
    };
    for (const Field& f : fields) MarkPosition(assembly, std::string("header.") + f.name, header, f.at, f.size);
  }

  void Bones() {
    int table = AddHeaderTable("bones", model.bones.size(), kBoneSize, kHeaderBoneCount, kHeaderBoneOffset,
                            model.counts.bones);
    int pool = NamePool("bones", table);
    for (size_t i = 0; i < model.bones.size(); ++i) {
      const BoneDescription& bone = model.bones[i];
      size_t at = i * kBoneSize;
      std::vector<uint8_t>& bytes = BytesOf(assembly, table);
      PutI32(bytes, at + kBoneParent, bone.parent);
      PutVec3(bytes, at + kBonePosition, bone.position);
      PutVec3(bytes, at + kBoneAngles, bone.angles);
      PutVec3(bytes, at + kBonePositionScale, bone.positionScale);
      PutVec3(bytes, at + kBoneAngleScale, bone.angleScale);
      Name(pool, table, at, kBoneName, bone.name, Indexed("bone", i) + ".name");
    }
  }

  // Appends one stream to the animation's stream block; returns its position there.
  size_t AppendStream(int streams, const std::vector<AnimRun>& runs) {
    std::vector<uint8_t>& bytes = BytesOf(assembly, streams);
    size_t at = bytes.size();
    for (const AnimRun& run : runs) {
      int stored = run.storedCount ? *run.storedCount : static_cast<int>(run.values.size());
      bytes.push_back(static_cast<uint8_t>(stored));
      bytes.push_back(static_cast<uint8_t>(run.runLength));
      for (int16_t value : run.values) {
        bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(value)));
        bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(value) >> 8));
      }
    }
    return at;
  }

  void BoneAnim(const std::string& prefix, int records, int streams, size_t bone, const BoneAnimDescription& desc) {
    size_t at = bone * kBoneAnimSize;
    PutU8(BytesOf(assembly, records), at + kBoneAnimFlags, desc.flags);

    // Streams of their own first, so that shared axes can point at them.
    const AxisStream* axes[6] = {&desc.position[0], &desc.position[1], &desc.position[2],
                                 &desc.rotation[0], &desc.rotation[1], &desc.rotation[2]};
    bool own[6] = {};
    size_t streamAt[6] = {};
    for (int k = 0; k < 6; ++k) {
      if (axes[k]->sameAs >= 0 || axes[k]->runs.empty()) continue;
      own[k] = true;
      streamAt[k] = AppendStream(streams, axes[k]->runs);
      std::string mark = prefix + Indexed(".bone", bone) + (k < 3 ? ".position" : ".rotation") +
                         std::to_string(k % 3);
      MarkPosition(assembly, mark, streams, streamAt[k], BytesOf(assembly, streams).size() - streamAt[k]);
    }
    // Offset field of axis k: a link to its stream, or 0 for a constant axis.
    auto axisField = [&](int k, size_t field) {
      int source = axes[k]->sameAs >= 0 ? axes[k]->sameAs : k;
      if (axes[k]->sameAs >= 0 && (source > 5 || !own[source]))
        throw std::invalid_argument(prefix + Indexed(" bone ", bone) + ": sameAs " + std::to_string(source) +
                                    " names an axis without a stream of its own");
      if (!own[source]) {
        PutI32(BytesOf(assembly, records), field, 0);
        return;
      }
      LinkFromRecord(assembly, records, field, at, prefix + ".streams", streamAt[source]);
    };
    if (desc.flags & kPositionCodedFlag) {
      for (int j = 0; j < 3; ++j) axisField(j, at + kBoneAnimPosition + 4 * j);
    } else {
      PutVec3(BytesOf(assembly, records), at + kBoneAnimPosition, desc.rawPosition);
    }
    if (desc.flags & kRotationCodedFlag) {
      for (int j = 0; j < 3; ++j) axisField(3 + j, at + kBoneAnimRotation + 4 * j);
    } else {
      std::vector<uint8_t>& bytes = BytesOf(assembly, records);
      PutF32(bytes, at + kBoneAnimRotation, desc.rawQuaternion.x);
      PutF32(bytes, at + kBoneAnimRotation + 4, desc.rawQuaternion.y);
      PutF32(bytes, at + kBoneAnimRotation + 8, desc.rawQuaternion.z);
      PutF32(bytes, at + kBoneAnimRotation + 12, desc.rawQuaternion.w);
    }
  }

  void Animations() {
    int table = AddHeaderTable("animations", model.animations.size(), kAnimDescSize, kHeaderAnimDescCount,
                            kHeaderAnimDescOffset, model.counts.animations);
    int pool = NamePool("animations", table);
    for (size_t a = 0; a < model.animations.size(); ++a) {
      const AnimationDescription& anim = model.animations[a];
      size_t at = a * kAnimDescSize;
      std::string prefix = Indexed("anim", a);
      PutF32(BytesOf(assembly, table), at + kAnimDescFps, anim.fps);
      PutI32(BytesOf(assembly, table), at + kAnimDescFrameCount, anim.frameCount);
      Name(pool, table, at, kAnimDescName, anim.name, prefix + ".name");

      size_t boneCount = std::max(anim.bones.size(), model.bones.size());
      int records = AddBlock(assembly, prefix + ".boneAnims", boneCount * kBoneAnimSize, kBoneAnimSize, table, 4);
      LinkFromRecord(assembly, table, at + kAnimDescBoneAnims, at, prefix + ".boneAnims");
      int streams = AddBlock(assembly, prefix + ".streams", 0, 0, records, 2);
      for (size_t b = 0; b < boneCount; ++b)
        BoneAnim(prefix, records, streams, b, b < anim.bones.size() ? anim.bones[b] : BoneAnimDescription{});
    }
  }

  void Sequences() {
    const HeaderTable& h = HeaderFor(family);
    int32_t size = SequenceSizeFor(family);
    int table = AddHeaderTable("sequences", model.sequences.size(), size, h.sequenceCount, h.sequenceOffset,
                            model.counts.sequences);
    int pool = NamePool("sequences", table);
    for (size_t i = 0; i < model.sequences.size(); ++i) {
      const SequenceDescription& seq = model.sequences[i];
      size_t at = i * size;
      PutI32(BytesOf(assembly, table), at + kSequenceActivityWeight, seq.activityWeight);
      Name(pool, table, at, kSequenceLabel, seq.label, Indexed("sequence", i) + ".label");
      Name(pool, table, at, kSequenceActivity, seq.activity, Indexed("sequence", i) + ".activity");
    }
  }

  void Textures() {
    const HeaderTable& h = HeaderFor(family);
    int table = AddHeaderTable("textures", model.textures.size(), kTextureSize, h.textureCount, h.textureOffset,
                            model.counts.textures);
    int pool = NamePool("textures", table);
    for (size_t i = 0; i < model.textures.size(); ++i)
      Name(pool, table, i * kTextureSize, kTextureName, model.textures[i], Indexed("texture", i) + ".name");
  }

  // Folder names are reached from the start of the file, not from the entry.
  void MaterialFolders() {
    const HeaderTable& h = HeaderFor(family);
    int table = AddHeaderTable("materialFolders", model.materialFolders.size(), kMaterialFolderEntrySize,
                            h.materialFolderCount, h.materialFolderOffset, model.counts.materialFolders);
    int pool = NamePool("materialFolders", table);
    for (size_t i = 0; i < model.materialFolders.size(); ++i) {
      const std::string& folder = model.materialFolders[i];
      size_t inner = AddString(assembly, pool, folder);
      LinkFromFileStart(assembly, table, i * kMaterialFolderEntrySize, "materialFolders.names", inner);
      MarkPosition(assembly, Indexed("materialFolder", i) + ".name", pool, inner, folder.size() + 1);
    }
  }

  void PoseParams() {
    const HeaderTable& h = HeaderFor(family);
    int table = AddHeaderTable("poseParams", model.poseParams.size(), kPoseParamSize, h.poseParamCount,
                            h.poseParamOffset, model.counts.poseParams);
    int pool = NamePool("poseParams", table);
    for (size_t i = 0; i < model.poseParams.size(); ++i) {
      const PoseParamDescription& param = model.poseParams[i];
      size_t at = i * kPoseParamSize;
      std::vector<uint8_t>& bytes = BytesOf(assembly, table);
      PutI32(bytes, at + kPoseParamFlags, param.flags);
      PutF32(bytes, at + kPoseParamStart, param.start);
      PutF32(bytes, at + kPoseParamEnd, param.end);
      PutF32(bytes, at + kPoseParamLoop, param.loop);
      Name(pool, table, at, kPoseParamName, param.name, Indexed("poseParam", i) + ".name");
    }
  }

  void HitboxSets() {
    int table = AddHeaderTable("hitboxSets", model.hitboxSets.size(), kHitboxSetSize, kHeaderHitboxSetCount,
                            kHeaderHitboxSetOffset, model.counts.hitboxSets);
    int pool = NamePool("hitboxSets", table);
    for (size_t s = 0; s < model.hitboxSets.size(); ++s) {
      const HitboxSetDescription& set = model.hitboxSets[s];
      size_t at = s * kHitboxSetSize;
      std::string boxesName = Indexed("hitboxSet", s) + ".hitboxes";
      int boxes = AddBlock(assembly, boxesName, set.hitboxes.size() * kHitboxSize, kHitboxSize, table, 4);
      PutI32(BytesOf(assembly, table), at + kHitboxSetCount, CountOr(set.hitboxCount, set.hitboxes.size()));
      LinkFromRecord(assembly, table, at + kHitboxSetOffset, at, boxesName);
      Name(pool, table, at, kHitboxSetName, set.name, Indexed("hitboxSet", s) + ".name");
      for (size_t b = 0; b < set.hitboxes.size(); ++b) {
        const HitboxDescription& box = set.hitboxes[b];
        std::vector<uint8_t>& bytes = BytesOf(assembly, boxes);
        size_t boxAt = b * kHitboxSize;
        PutI32(bytes, boxAt + kHitboxBone, box.bone);
        PutI32(bytes, boxAt + kHitboxGroup, box.group);
        PutVec3(bytes, boxAt + kHitboxMin, box.boxMin);
        PutVec3(bytes, boxAt + kHitboxMax, box.boxMax);
      }
    }
  }

  void Attachments() {
    const HeaderTable& h = HeaderFor(family);
    int table = AddHeaderTable("attachments", model.attachments.size(), kAttachmentSize, h.attachmentCount,
                            h.attachmentOffset, model.counts.attachments);
    int pool = NamePool("attachments", table);
    for (size_t i = 0; i < model.attachments.size(); ++i) {
      const AttachmentDescription& attachment = model.attachments[i];
      size_t at = i * kAttachmentSize;
      std::vector<uint8_t>& bytes = BytesOf(assembly, table);
      PutI32(bytes, at + kAttachmentBone, attachment.bone);
      for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 4; ++col)
          PutF32(bytes, at + kAttachmentMatrix + 16 * row + 4 * col, attachment.matrix[row][col]);
      Name(pool, table, at, kAttachmentName, attachment.name, Indexed("attachment", i) + ".name");
    }
  }

  void SurfaceProp() {
    int block = AddBlock(assembly, "surfaceProp", 0, 0, header, 1);
    AddString(assembly, block, model.surfaceProp);
    LinkFromFileStart(assembly, header, HeaderFor(family).surfacePropOffset, "surfaceProp");
  }

  void SubModel(size_t bodyPart, size_t index, int subModels) {
    const SubModelDescription& sub = model.bodyParts[bodyPart].subModels[index];
    const std::string key = SubModelKey(static_cast<int>(bodyPart), static_cast<int>(index));
    const int32_t size = SubModelSizeFor(family);
    const size_t at = index * size;
    PutInlineName(BytesOf(assembly, subModels), at + kSubModelName, kSubModelNameRoom, sub.name);
    PutI32(BytesOf(assembly, subModels), at + kSubModelMeshCount, CountOr(sub.meshCount, sub.meshes.size()));
    PutI32(BytesOf(assembly, subModels), at + kSubModelVertexCount, CountOr(sub.vertexCount, sub.vertices.size()));

    int meshes = AddBlock(assembly, key + ".meshes", sub.meshes.size() * kMeshSize, kMeshSize, subModels, 4);
    LinkFromRecord(assembly, subModels, at + kSubModelMeshOffset, at, key + ".meshes");
    for (size_t m = 0; m < sub.meshes.size(); ++m) {
      const MeshDescription& mesh = sub.meshes[m];
      size_t meshAt = m * kMeshSize;
      PutI32(BytesOf(assembly, meshes), meshAt + kMeshMaterial, mesh.material);
      PutI32(BytesOf(assembly, meshes), meshAt + kMeshVertexBase, mesh.vertexBase);
      size_t ownerPart = mesh.ownerBodyPart < 0 ? bodyPart : static_cast<size_t>(mesh.ownerBodyPart);
      size_t ownerSub = mesh.ownerSubModel < 0 ? index : static_cast<size_t>(mesh.ownerSubModel);
      if (ownerPart >= model.bodyParts.size() || ownerSub >= model.bodyParts[ownerPart].subModels.size())
        throw std::invalid_argument(key + Indexed(" mesh ", m) + ": owner sub-model does not exist");
      LinkFromRecord(assembly, meshes, meshAt + kMeshModelOffset, meshAt,
                     Indexed("bodyPart", ownerPart) + ".subModels", ownerSub * size);
    }

    const size_t n = sub.vertices.size();
    if (family != Family::Mode28To30) {
      int vertices = AddBlock(assembly, key + ".vertices", n * kVertexSize, kVertexSize, subModels, 4);
      LinkFromRecord(assembly, subModels, at + kSubModelVertexOffset, at, key + ".vertices");
      std::vector<uint8_t>& bytes = BytesOf(assembly, vertices);
      for (size_t v = 0; v < n; ++v) {
        const VertexDescription& vertex = sub.vertices[v];
        size_t vAt = v * kVertexSize;
        PutI16(bytes, vAt + kVertexBone, vertex.bone);
        PutVec3(bytes, vAt + kVertexPosition, vertex.position);
        PutVec3(bytes, vAt + kVertexNormal, vertex.normal);
        PutF32(bytes, vAt + kVertexTexCoord, vertex.u);
        PutF32(bytes, vAt + kVertexTexCoord + 4, vertex.v);
      }
      return;
    }
    int positions = AddBlock(assembly, key + ".positions", n * kSplitPositionSize, kSplitPositionSize, subModels, 4);
    int normals = AddBlock(assembly, key + ".normals", n * kSplitNormalSize, kSplitNormalSize, subModels, 4);
    int texCoords = AddBlock(assembly, key + ".texCoords", n * kSplitTexCoordSize, kSplitTexCoordSize, subModels, 4);
    LinkFromRecord(assembly, subModels, at + kSubModelPositionOffset, at, key + ".positions");
    LinkFromRecord(assembly, subModels, at + kSubModelNormalOffset, at, key + ".normals");
    LinkFromRecord(assembly, subModels, at + kSubModelTexCoordOffset, at, key + ".texCoords");
    for (size_t v = 0; v < n; ++v) {
      const VertexDescription& vertex = sub.vertices[v];
      PutVec3(BytesOf(assembly, positions), v * kSplitPositionSize, vertex.position);
      PutVec3(BytesOf(assembly, normals), v * kSplitNormalSize, vertex.normal);
      PutF32(BytesOf(assembly, texCoords), v * kSplitTexCoordSize, vertex.u);
      PutF32(BytesOf(assembly, texCoords), v * kSplitTexCoordSize + 4, vertex.v);
    }
  }

  void BodyParts() {
    const HeaderTable& h = HeaderFor(family);
    int table = AddHeaderTable("bodyParts", model.bodyParts.size(), kBodyPartSize, h.bodyPartCount, h.bodyPartOffset,
                            model.counts.bodyParts);
    int pool = NamePool("bodyParts", table);
    const int32_t subModelSize = SubModelSizeFor(family);
    for (size_t i = 0; i < model.bodyParts.size(); ++i) {
      const BodyPartDescription& part = model.bodyParts[i];
      size_t at = i * kBodyPartSize;
      std::string subModelsName = Indexed("bodyPart", i) + ".subModels";
      PutI32(BytesOf(assembly, table), at + kBodyPartModelCount, CountOr(part.modelCount, part.subModels.size()));
      Name(pool, table, at, kBodyPartName, part.name, Indexed("bodyPart", i) + ".name");
      int subModels =
          AddBlock(assembly, subModelsName, part.subModels.size() * subModelSize, subModelSize, table, 4);
      LinkFromRecord(assembly, table, at + kBodyPartModelOffset, at, subModelsName);
      for (size_t j = 0; j < part.subModels.size(); ++j) SubModel(i, j, subModels);
    }
  }
};

}  // namespace

BuiltFile WriteModelImage(const ModelDescription& model, Family family, const BuildOptions& options) {
  Assembly assembly = StartAssembly(options);
  ModelWriter writer{assembly, model, family};
  writer.Header();
  writer.Bones();
  writer.HitboxSets();
  writer.Animations();
  writer.Sequences();
  writer.Textures();
  writer.MaterialFolders();
  writer.BodyParts();
  writer.Attachments();
  writer.PoseParams();
  writer.SurfaceProp();
  return Assemble(assembly, options);
}

}  // namespace tb
