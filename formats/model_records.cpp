#include "formats/model_records.h"

int32_t ReadModelVersion(const ByteView& bytes) { return ReadI32(bytes, 4, "model header version"); }

ModelHeader ReadModelHeader(const ModelFile& model) {
  const ModelLayout& l = *model.layout;
  const unsigned char* p = CheckedPointer(model.bytes, 0, l.headerSize, "model header");
  ModelHeader h;
  h.version = LoadI32(p + l.versionAt);
  h.eyePosition = {LoadF32(p + l.eyePositionAt), LoadF32(p + l.eyePositionAt + 4), LoadF32(p + l.eyePositionAt + 8)};
  h.illumPosition = {LoadF32(p + l.illumPositionAt), LoadF32(p + l.illumPositionAt + 4),
                     LoadF32(p + l.illumPositionAt + 8)};
  h.boneCount = LoadI32(p + l.boneCountAt);
  h.boneOffset = LoadI32(p + l.boneOffsetAt);
  h.hitboxSetCount = LoadI32(p + l.hitboxSetCountAt);
  h.hitboxSetOffset = LoadI32(p + l.hitboxSetOffsetAt);
  h.animDescCount = LoadI32(p + l.animDescCountAt);
  h.animDescOffset = LoadI32(p + l.animDescOffsetAt);
  h.sequenceCount = LoadI32(p + l.sequenceCountAt);
  h.sequenceOffset = LoadI32(p + l.sequenceOffsetAt);
  h.textureCount = LoadI32(p + l.textureCountAt);
  h.textureOffset = LoadI32(p + l.textureOffsetAt);
  h.materialFolderCount = LoadI32(p + l.materialFolderCountAt);
  h.materialFolderOffset = LoadI32(p + l.materialFolderOffsetAt);
  h.bodyPartCount = LoadI32(p + l.bodyPartCountAt);
  h.bodyPartOffset = LoadI32(p + l.bodyPartOffsetAt);
  h.attachmentCount = LoadI32(p + l.attachmentCountAt);
  h.attachmentOffset = LoadI32(p + l.attachmentOffsetAt);
  h.poseParamCount = LoadI32(p + l.poseParamCountAt);
  h.poseParamOffset = LoadI32(p + l.poseParamOffsetAt);
  h.surfacePropOffset = LoadI32(p + l.surfacePropOffsetAt);
  return h;
}

std::string_view ModelName(const ModelFile& model) {
  return ReadString(model.bytes, model.layout->nameAt, "model name");
}

std::string_view SurfacePropName(const ModelFile& model, const ModelHeader& header) {
  return ReadString(model.bytes, header.surfacePropOffset, "surface property name");
}

std::string_view NameAt(const ModelFile& model, int64_t recordAt, int32_t nameOffset, const char* field) {
  return ReadString(model.bytes, AddOffset(recordAt, nameOffset), field);
}

AttachmentRecord ReadAttachment(const ModelFile& model, const ModelHeader& header, int32_t index) {
  AttachmentRecord r;
  r.at = TableRecord(0, header.attachmentOffset, index, kAttachmentRecordSize);
  const unsigned char* p = CheckedPointer(model.bytes, r.at, kAttachmentRecordSize, "attachment record");
  r.nameOffset = LoadI32(p);
  r.bone = LoadI32(p + 8);
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 4; ++col) r.matrix.m[row][col] = LoadF32(p + 12 + 16 * row + 4 * col);
  return r;
}

HitboxSetRecord ReadHitboxSet(const ModelFile& model, const ModelHeader& header, int32_t index) {
  HitboxSetRecord r;
  r.at = TableRecord(0, header.hitboxSetOffset, index, kHitboxSetRecordSize);
  const unsigned char* p = CheckedPointer(model.bytes, r.at, kHitboxSetRecordSize, "hitbox set record");
  r.nameOffset = LoadI32(p);
  r.hitboxCount = LoadI32(p + 4);
  r.hitboxOffset = LoadI32(p + 8);
  return r;
}

HitboxRecord ReadHitbox(const ModelFile& model, const HitboxSetRecord& set, int32_t index) {
  HitboxRecord r;
  r.at = TableRecord(set.at, set.hitboxOffset, index, kHitboxRecordSize);
  const unsigned char* p = CheckedPointer(model.bytes, r.at, 32, "hitbox record");
  r.bone = LoadI32(p);
  r.group = LoadI32(p + 4);
  r.boxMin = {LoadF32(p + 8), LoadF32(p + 12), LoadF32(p + 16)};
  r.boxMax = {LoadF32(p + 20), LoadF32(p + 24), LoadF32(p + 28)};
  return r;
}

TextureRecord ReadTexture(const ModelFile& model, const ModelHeader& header, int32_t index) {
  TextureRecord r;
  r.at = TableRecord(0, header.textureOffset, index, kTextureRecordSize);
  r.nameOffset = ReadI32(model.bytes, r.at, "texture record");
  return r;
}

PoseParamRecord ReadPoseParam(const ModelFile& model, const ModelHeader& header, int32_t index) {
  PoseParamRecord r;
  r.at = TableRecord(0, header.poseParamOffset, index, kPoseParamRecordSize);
  const unsigned char* p = CheckedPointer(model.bytes, r.at, kPoseParamRecordSize, "pose parameter record");
  r.nameOffset = LoadI32(p);
  r.flags = LoadI32(p + 4);
  r.start = LoadF32(p + 8);
  r.end = LoadF32(p + 12);
  r.loop = LoadF32(p + 16);
  return r;
}

std::string_view MaterialFolderName(const ModelFile& model, const ModelHeader& header, int32_t index) {
  int64_t entry = TableRecord(0, header.materialFolderOffset, index, kMaterialFolderEntrySize);
  int32_t nameOffset = ReadI32(model.bytes, entry, "material folder entry");
  return ReadString(model.bytes, nameOffset, "material folder name");
}

BoneRecord ReadBone(const ModelFile& model, const ModelHeader& header, int32_t index) {
  BoneRecord r;
  r.at = TableRecord(0, header.boneOffset, index, kBoneRecordSize);
  const unsigned char* p = CheckedPointer(model.bytes, r.at, 80, "bone record");
  r.nameOffset = LoadI32(p);
  r.parentIndex = LoadI32(p + 4);
  r.referencePosition = {LoadF32(p + 32), LoadF32(p + 36), LoadF32(p + 40)};
  r.referenceAngles = {LoadF32(p + 44), LoadF32(p + 48), LoadF32(p + 52)};
  r.positionScale = {LoadF32(p + 56), LoadF32(p + 60), LoadF32(p + 64)};
  r.angleScale = {LoadF32(p + 68), LoadF32(p + 72), LoadF32(p + 76)};
  return r;
}

std::string_view BoneName(const ModelFile& model, const BoneRecord& bone) {
  return NameAt(model, bone.at, bone.nameOffset, "bone name");
}

AnimDescRecord ReadAnimDesc(const ModelFile& model, const ModelHeader& header, int32_t index) {
  AnimDescRecord r;
  r.at = TableRecord(0, header.animDescOffset, index, kAnimDescRecordSize);
  const unsigned char* p = CheckedPointer(model.bytes, r.at, 52, "animation description record");
  r.nameOffset = LoadI32(p);
  r.fps = LoadF32(p + 4);
  r.frameCount = LoadI32(p + 12);
  r.boneAnimOffset = LoadI32(p + 48);
  return r;
}

BoneAnimRecord ReadBoneAnim(const ModelFile& model, const AnimDescRecord& anim, int32_t bone) {
  BoneAnimRecord r;
  r.at = TableRecord(anim.at, anim.boneAnimOffset, bone, kBoneAnimRecordSize);
  const unsigned char* p = CheckedPointer(model.bytes, r.at, kBoneAnimRecordSize, "bone animation record");
  r.animFlags = LoadU8(p);
  for (int axis = 0; axis < 3; ++axis) {
    r.positionStreams[axis] = LoadI32(p + 4 + 4 * axis);
    r.rotationStreams[axis] = LoadI32(p + 16 + 4 * axis);
    r.rawPosition[axis] = LoadF32(p + 4 + 4 * axis);
  }
  r.rawQuaternion = {LoadF32(p + 16), LoadF32(p + 20), LoadF32(p + 24), LoadF32(p + 28)};
  return r;
}

SequenceRecord ReadSequence(const ModelFile& model, const ModelHeader& header, int32_t index) {
  SequenceRecord r;
  r.at = TableRecord(0, header.sequenceOffset, index, model.layout->sequenceRecordSize);
  const unsigned char* p = CheckedPointer(model.bytes, r.at, 20, "sequence record");
  r.labelOffset = LoadI32(p);
  r.activityOffset = LoadI32(p + 4);
  r.activityWeight = LoadI32(p + 16);
  return r;
}

BodyPartRecord ReadBodyPart(const ModelFile& model, const ModelHeader& header, int32_t index) {
  BodyPartRecord r;
  r.at = TableRecord(0, header.bodyPartOffset, index, kBodyPartRecordSize);
  const unsigned char* p = CheckedPointer(model.bytes, r.at, kBodyPartRecordSize, "body part record");
  r.nameOffset = LoadI32(p);
  r.modelCount = LoadI32(p + 4);
  r.modelOffset = LoadI32(p + 12);
  return r;
}

ModelRecord ReadSubModelAt(const ModelFile& model, int64_t at) {
  ModelRecord r;
  r.at = at;
  const unsigned char* p = CheckedPointer(model.bytes, at, model.layout->modelRecordSize, "sub-model record");
  r.meshCount = LoadI32(p + 72);
  r.meshOffset = LoadI32(p + 76);
  r.vertexCount = LoadI32(p + 80);
  if (model.layout->vertexStorage == VertexStorage::Interleaved) {
    r.vertexOffset = LoadI32(p + 84);
  } else {
    r.positionOffset = LoadI32(p + 84);
    r.normalOffset = LoadI32(p + 88);
    r.texCoordOffset = LoadI32(p + 108);
  }
  return r;
}

ModelRecord ReadSubModel(const ModelFile& model, const BodyPartRecord& bodyPart, int32_t index) {
  return ReadSubModelAt(model, TableRecord(bodyPart.at, bodyPart.modelOffset, index, model.layout->modelRecordSize));
}

std::string_view SubModelName(const ModelFile& model, const ModelRecord& subModel) {
  return ReadString(model.bytes, subModel.at, "sub-model name");
}

MeshRecord ReadMesh(const ModelFile& model, const ModelRecord& subModel, int32_t index) {
  MeshRecord r;
  r.at = TableRecord(subModel.at, subModel.meshOffset, index, kMeshRecordSize);
  const unsigned char* p = CheckedPointer(model.bytes, r.at, 16, "mesh record");
  r.material = LoadI32(p);
  r.modelOffset = LoadI32(p + 4);
  r.vertexBase = LoadI32(p + 12);
  return r;
}

std::string_view TextureName(const ModelFile& model, const ModelHeader& header, int32_t material) {
  TextureRecord texture = ReadTexture(model, header, material);
  return NameAt(model, texture.at, texture.nameOffset, "texture name");
}
