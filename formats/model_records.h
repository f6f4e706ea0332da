// Records of the model file, read in place through the byte view.
//
// Each Read function decodes one fixed-size record at its table position
// (table start + index * record size) into a plain struct; `at` is the
// record's own position, the base of the offsets it holds. Tables are int32
// count + int32 signed offset pairs; a count of 0 or less is an empty table.
// Every read is bounds-checked and throws FormatError when it leaves the file.
#pragma once

#include <cstdint>
#include <string_view>

#include "formats/byte_view.h"
#include "formats/layout.h"
#include "mathlib/vector_types.h"

struct ModelFile {
  ByteView bytes;
  const ModelLayout* layout = nullptr;
};

struct ModelHeader {
  int32_t version = 0;
  Vector3 eyePosition, illumPosition;
  int32_t boneCount = 0, boneOffset = 0;
  int32_t hitboxSetCount = 0, hitboxSetOffset = 0;
  int32_t animDescCount = 0, animDescOffset = 0;
  int32_t sequenceCount = 0, sequenceOffset = 0;
  int32_t textureCount = 0, textureOffset = 0;
  int32_t materialFolderCount = 0, materialFolderOffset = 0;
  int32_t bodyPartCount = 0, bodyPartOffset = 0;
  int32_t attachmentCount = 0, attachmentOffset = 0;
  int32_t poseParamCount = 0, poseParamOffset = 0;
  int32_t surfacePropOffset = 0;  // from the start of the file
};

// The signed version at byte 4; needs only the first 8 bytes.
int32_t ReadModelVersion(const ByteView& bytes);
ModelHeader ReadModelHeader(const ModelFile& model);
std::string_view ModelName(const ModelFile& model);            // inline at byte 12
std::string_view SurfacePropName(const ModelFile& model, const ModelHeader& header);

// ---- descriptive records -------------------------------------------------
struct AttachmentRecord {
  int64_t at = 0;
  int32_t nameOffset = 0;
  int32_t bone = 0;
  Matrix3x4 matrix;
};
struct HitboxSetRecord {
  int64_t at = 0;
  int32_t nameOffset = 0, hitboxCount = 0, hitboxOffset = 0;
};
struct HitboxRecord {
  int64_t at = 0;
  int32_t bone = 0, group = 0;
  Vector3 boxMin, boxMax;
};
struct TextureRecord {
  int64_t at = 0;
  int32_t nameOffset = 0;
};
struct PoseParamRecord {
  int64_t at = 0;
  int32_t nameOffset = 0;
  int32_t flags = 0;
  float start = 0, end = 0, loop = 0;
};

AttachmentRecord ReadAttachment(const ModelFile& model, const ModelHeader& header, int32_t index);
HitboxSetRecord ReadHitboxSet(const ModelFile& model, const ModelHeader& header, int32_t index);
HitboxRecord ReadHitbox(const ModelFile& model, const HitboxSetRecord& set, int32_t index);
TextureRecord ReadTexture(const ModelFile& model, const ModelHeader& header, int32_t index);
PoseParamRecord ReadPoseParam(const ModelFile& model, const ModelHeader& header, int32_t index);
// Material folder names are reached from the start of the file.
std::string_view MaterialFolderName(const ModelFile& model, const ModelHeader& header, int32_t index);
// The name at record start + nameOffset, for any record above that has one.
std::string_view NameAt(const ModelFile& model, int64_t recordAt, int32_t nameOffset, const char* field);

// ---- bones, animations, sequences ---------------------------------------
struct BoneRecord {
  int64_t at = 0;
  int32_t nameOffset = 0;
  int32_t parentIndex = 0;
  Vector3 referencePosition;
  Vector3 referenceAngles;  // radians, about X, Y, Z
  Vector3 positionScale;
  Vector3 angleScale;
};
struct AnimDescRecord {
  int64_t at = 0;
  int32_t nameOffset = 0;
  float fps = 0;
  int32_t frameCount = 0;
  int32_t boneAnimOffset = 0;
};
constexpr uint8_t kPositionCoded = 0x01;
constexpr uint8_t kRotationCoded = 0x02;
// The 28 bytes after animFlags hold stream offsets or raw values, by the flags.
struct BoneAnimRecord {
  int64_t at = 0;
  uint8_t animFlags = 0;
  int32_t positionStreams[3] = {};
  int32_t rotationStreams[3] = {};
  Vector3 rawPosition;
  Quaternion rawQuaternion;
};
struct SequenceRecord {
  int64_t at = 0;
  int32_t labelOffset = 0;
  int32_t activityOffset = 0;
  int32_t activityWeight = 0;
};

BoneRecord ReadBone(const ModelFile& model, const ModelHeader& header, int32_t index);
std::string_view BoneName(const ModelFile& model, const BoneRecord& bone);
AnimDescRecord ReadAnimDesc(const ModelFile& model, const ModelHeader& header, int32_t index);
BoneAnimRecord ReadBoneAnim(const ModelFile& model, const AnimDescRecord& anim, int32_t bone);
SequenceRecord ReadSequence(const ModelFile& model, const ModelHeader& header, int32_t index);

// ---- geometry -------------------------------------------------------------
struct BodyPartRecord {
  int64_t at = 0;
  int32_t nameOffset = 0;
  int32_t modelCount = 0;
  int32_t modelOffset = 0;
};
// One shape for both sub-model records; the split-array fields are 0 in the
// 120-byte record, vertexOffset is 0 in the 116-byte one.
struct ModelRecord {
  int64_t at = 0;
  int32_t meshCount = 0, meshOffset = 0;
  int32_t vertexCount = 0;
  int32_t vertexOffset = 0;                                    // 120-byte record
  int32_t positionOffset = 0, normalOffset = 0, texCoordOffset = 0;  // 116-byte record
};
struct MeshRecord {
  int64_t at = 0;
  int32_t material = 0;
  int32_t modelOffset = 0;  // from this MeshRecord to the sub-model holding its vertices
  int32_t vertexBase = 0;
};
BodyPartRecord ReadBodyPart(const ModelFile& model, const ModelHeader& header, int32_t index);
ModelRecord ReadSubModel(const ModelFile& model, const BodyPartRecord& bodyPart, int32_t index);
ModelRecord ReadSubModelAt(const ModelFile& model, int64_t at);
std::string_view SubModelName(const ModelFile& model, const ModelRecord& subModel);  // inline at byte 0
MeshRecord ReadMesh(const ModelFile& model, const ModelRecord& subModel, int32_t index);
// The material name of texture table entry `material`.
std::string_view TextureName(const ModelFile& model, const ModelHeader& header, int32_t material);
