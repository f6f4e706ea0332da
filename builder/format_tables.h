// Byte positions of the model and strip file formats, as the test builder
// writes them. Kept apart from the tool's own layout description on purpose:
// a test that builds with these tables and reads with the tool catches a
// field that either side has in the wrong place. Tests may use these to
// patch single fields of a built image.
#pragma once

#include <cstdint>

#include "builder/model_builder.h"

namespace tb {

// ---- model file header -------------------------------------------------------
// The fields up to animDescOffset lie at the same place in every family; the
// early header lacks the 16 bytes at 188..203 of the current one, so every
// field from sequenceCount on lies 16 bytes lower there.
struct HeaderTable {
  int32_t sequenceCount, sequenceOffset;
  int32_t textureCount, textureOffset;
  int32_t materialFolderCount, materialFolderOffset;
  int32_t bodyPartCount, bodyPartOffset;
  int32_t attachmentCount, attachmentOffset;
  int32_t poseParamCount, poseParamOffset;
  int32_t surfacePropOffset;
  int32_t size;  // the header record written: up to and including surfacePropOffset
};
constexpr HeaderTable kCurrentHeader = {204, 208, 224, 228, 232, 236, 252, 256, 260, 264, 316, 320, 324, 328};
constexpr HeaderTable kEarlyHeader = {188, 192, 208, 212, 216, 220, 236, 240, 244, 248, 300, 304, 308, 312};
inline const HeaderTable& HeaderFor(Family family) {
  return family == Family::Mode37 ? kCurrentHeader : kEarlyHeader;
}

constexpr int32_t kHeaderVersion = 4;
constexpr int32_t kHeaderName = 12;
constexpr int32_t kHeaderNameRoom = 68;  // 12..79
constexpr int32_t kHeaderEyePosition = 80;
constexpr int32_t kHeaderIllumPosition = 92;
constexpr int32_t kHeaderBoneCount = 156;
constexpr int32_t kHeaderBoneOffset = 160;
constexpr int32_t kHeaderHitboxSetCount = 172;
constexpr int32_t kHeaderHitboxSetOffset = 176;
constexpr int32_t kHeaderAnimDescCount = 180;
constexpr int32_t kHeaderAnimDescOffset = 184;

// ---- model file records --------------------------------------------------------
constexpr int32_t kBoneSize = 196;
constexpr int32_t kBoneName = 0, kBoneParent = 4, kBonePosition = 32, kBoneAngles = 44, kBonePositionScale = 56,
                  kBoneAngleScale = 68;

constexpr int32_t kAnimDescSize = 92;
constexpr int32_t kAnimDescName = 0, kAnimDescFps = 4, kAnimDescFrameCount = 12, kAnimDescBoneAnims = 48;

constexpr int32_t kBoneAnimSize = 32;
constexpr int32_t kBoneAnimFlags = 0, kBoneAnimPosition = 4, kBoneAnimRotation = 16;

constexpr int32_t kCurrentSequenceSize = 188;
constexpr int32_t kEarlySequenceSize = 4284;
constexpr int32_t kSequenceLabel = 0, kSequenceActivity = 4, kSequenceActivityWeight = 16;

constexpr int32_t kTextureSize = 32;
constexpr int32_t kTextureName = 0;
constexpr int32_t kMaterialFolderEntrySize = 4;

constexpr int32_t kPoseParamSize = 20;
constexpr int32_t kPoseParamName = 0, kPoseParamFlags = 4, kPoseParamStart = 8, kPoseParamEnd = 12,
                  kPoseParamLoop = 16;

constexpr int32_t kHitboxSetSize = 12;
constexpr int32_t kHitboxSetName = 0, kHitboxSetCount = 4, kHitboxSetOffset = 8;
constexpr int32_t kHitboxSize = 68;
constexpr int32_t kHitboxBone = 0, kHitboxGroup = 4, kHitboxMin = 8, kHitboxMax = 20;

constexpr int32_t kAttachmentSize = 60;
constexpr int32_t kAttachmentName = 0, kAttachmentBone = 8, kAttachmentMatrix = 12;

constexpr int32_t kBodyPartSize = 16;
constexpr int32_t kBodyPartName = 0, kBodyPartModelCount = 4, kBodyPartModelOffset = 12;

// Sub-model record: 120 bytes with interleaved vertices, 116 with split arrays.
constexpr int32_t kSubModelSize = 120;
constexpr int32_t kSplitSubModelSize = 116;
constexpr int32_t kSubModelName = 0, kSubModelNameRoom = 72;
constexpr int32_t kSubModelMeshCount = 72, kSubModelMeshOffset = 76, kSubModelVertexCount = 80;
constexpr int32_t kSubModelVertexOffset = 84;                                   // interleaved
constexpr int32_t kSubModelPositionOffset = 84, kSubModelNormalOffset = 88, kSubModelTexCoordOffset = 108;  // split
inline int32_t SubModelSizeFor(Family family) {
  return family == Family::Mode28To30 ? kSplitSubModelSize : kSubModelSize;
}
inline int32_t SequenceSizeFor(Family family) {
  return family == Family::Mode37 ? kCurrentSequenceSize : kEarlySequenceSize;
}

constexpr int32_t kMeshSize = 68;
constexpr int32_t kMeshMaterial = 0, kMeshModelOffset = 4, kMeshVertexBase = 12;

constexpr int32_t kVertexSize = 64;
constexpr int32_t kVertexBone = 16, kVertexPosition = 32, kVertexNormal = 44, kVertexTexCoord = 56;
constexpr int32_t kSplitPositionSize = 12, kSplitNormalSize = 12, kSplitTexCoordSize = 8;

// ---- strip file (packed records) ------------------------------------------------
constexpr int32_t kStripHeaderSize = 36;
constexpr int32_t kStripHeaderBodyPartOffset = 32;
constexpr int32_t kStripBodyPartRecordSize = 8, kStripBodyPartModelOffset = 4;
constexpr int32_t kStripModelRecordSize = 8, kStripModelLodCount = 0, kStripModelLodOffset = 4;
constexpr int32_t kStripLodRecordSize = 12, kStripLodMeshOffset = 4, kStripLodSwitchDistance = 8;
constexpr int32_t kStripMeshRecordSize = 9, kStripMeshGroupCount = 0, kStripMeshGroupOffset = 4;
constexpr int32_t kStripGroupRecordSize = 25, kStripGroupVertexOffset = 4, kStripGroupIndexOffset = 12,
                  kStripGroupStripCount = 16, kStripGroupStripOffset = 20;
constexpr int32_t kStripVertexRecordSize = 15, kStripVertexMeshVertexIndex = 12;
constexpr int32_t kStripRecordSize = 27, kStripIndexCount = 0, kStripFirstIndex = 4;
constexpr int32_t kStripIndexEntrySize = 2;

}  // namespace tb
