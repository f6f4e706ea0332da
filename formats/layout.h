// The layout description: one record per version family that says where the
// header fields lie and how large the records are, so that one procedure
// reads and writes every family.
//
// Versions 28 to 36 use the early layout, 37 the current one; the current
// header carries 16 more bytes at 188..203, so every field from sequenceCount
// on lies 16 bytes higher. Modes 28-30 and 31-36 differ only in the sub-model
// record (116 or 120 bytes) and in how vertices are stored.
#pragma once

#include <cstdint>

enum class VersionFamily { Mode28To30, Mode31To36, Mode37 };

enum class VertexStorage {
  Interleaved,  // 64-byte VertexRecords with a bone per vertex
  SplitArrays,  // separate position, normal and texture coordinate arrays, no bone
};

struct ModelLayout {
  VersionFamily family;
  const char* familyLine;  // logged before the writers run

  // ModelHeader field offsets from the start of the file.
  int32_t versionAt;
  int32_t nameAt;
  int32_t eyePositionAt;
  int32_t illumPositionAt;
  int32_t boneCountAt, boneOffsetAt;
  int32_t hitboxSetCountAt, hitboxSetOffsetAt;
  int32_t animDescCountAt, animDescOffsetAt;
  int32_t sequenceCountAt, sequenceOffsetAt;
  int32_t textureCountAt, textureOffsetAt;
  int32_t materialFolderCountAt, materialFolderOffsetAt;
  int32_t bodyPartCountAt, bodyPartOffsetAt;
  int32_t attachmentCountAt, attachmentOffsetAt;
  int32_t poseParamCountAt, poseParamOffsetAt;
  int32_t surfacePropOffsetAt;
  int32_t headerSize;  // bytes up to and including surfacePropOffset

  // Record sizes that depend on the family.
  int32_t sequenceRecordSize;
  int32_t modelRecordSize;

  // Mesh output.
  VertexStorage vertexStorage;
  bool cornersReversed;  // corners written 0, 2, 1 instead of 0, 1, 2
};

// Record sizes shared by every family.
constexpr int32_t kBoneRecordSize = 196;
constexpr int32_t kAnimDescRecordSize = 92;
constexpr int32_t kBoneAnimRecordSize = 32;
constexpr int32_t kBodyPartRecordSize = 16;
constexpr int32_t kMeshRecordSize = 68;
constexpr int32_t kVertexRecordSize = 64;
// Fields of the interleaved VertexRecord that are read in place.
constexpr int32_t kVertexBoneAt = 16;      // int16: the first bone of the weights
constexpr int32_t kVertexPositionAt = 32;  // three float32
constexpr int32_t kVertexNormalAt = 44;    // three float32
constexpr int32_t kVertexTexCoordAt = 56;  // u, v: two float32
constexpr int32_t kAttachmentRecordSize = 60;
constexpr int32_t kHitboxSetRecordSize = 12;
constexpr int32_t kHitboxRecordSize = 68;
constexpr int32_t kTextureRecordSize = 32;
constexpr int32_t kMaterialFolderEntrySize = 4;
constexpr int32_t kPoseParamRecordSize = 20;

// The layout for a model version, or nullptr when the version is not supported.
const ModelLayout* LayoutForVersion(int32_t version);
