#include "formats/layout.h"

#include <initializer_list>

namespace {

constexpr ModelLayout kCurrentLayout = {
    .family = VersionFamily::Mode37,
    .familyLine = "Decompiled 37 mode\n",
    .versionAt = 4,
    .nameAt = 12,
    .eyePositionAt = 80,
    .illumPositionAt = 92,
    .boneCountAt = 156,
    .boneOffsetAt = 160,
    .hitboxSetCountAt = 172,
    .hitboxSetOffsetAt = 176,
    .animDescCountAt = 180,
    .animDescOffsetAt = 184,
    .sequenceCountAt = 204,
    .sequenceOffsetAt = 208,
    .textureCountAt = 224,
    .textureOffsetAt = 228,
    .materialFolderCountAt = 232,
    .materialFolderOffsetAt = 236,
    .bodyPartCountAt = 252,
    .bodyPartOffsetAt = 256,
    .attachmentCountAt = 260,
    .attachmentOffsetAt = 264,
    .poseParamCountAt = 316,
    .poseParamOffsetAt = 320,
    .surfacePropOffsetAt = 324,
    .headerSize = 328,
    .sequenceRecordSize = 188,
    .modelRecordSize = 120,
    .vertexStorage = VertexStorage::Interleaved,
    .cornersReversed = true,
};

// The early header lacks the current one's 16 bytes at 188..203: every field
// from sequenceCount on lies 16 bytes lower. Its sequence record is 4284 bytes.
constexpr ModelLayout EarlyLayout(VersionFamily family, const char* familyLine, int32_t modelRecordSize,
                                  VertexStorage vertexStorage, bool cornersReversed) {
  ModelLayout l = kCurrentLayout;
  l.family = family;
  l.familyLine = familyLine;
  for (int32_t* field : {&l.sequenceCountAt, &l.sequenceOffsetAt, &l.textureCountAt, &l.textureOffsetAt,
                         &l.materialFolderCountAt, &l.materialFolderOffsetAt, &l.bodyPartCountAt,
                         &l.bodyPartOffsetAt, &l.attachmentCountAt, &l.attachmentOffsetAt, &l.poseParamCountAt,
                         &l.poseParamOffsetAt, &l.surfacePropOffsetAt, &l.headerSize})
    *field -= 16;
  l.sequenceRecordSize = 4284;
  l.modelRecordSize = modelRecordSize;
  l.vertexStorage = vertexStorage;
  l.cornersReversed = cornersReversed;
  return l;
}

constexpr ModelLayout kEarly31To36Layout =
    EarlyLayout(VersionFamily::Mode31To36, "Decompiled 31-36 mode\n", 120, VertexStorage::Interleaved, true);
constexpr ModelLayout kEarly28To30Layout =
    EarlyLayout(VersionFamily::Mode28To30, "Decompiled 28-30 mode\n", 116, VertexStorage::SplitArrays, false);

static_assert(kEarly31To36Layout.sequenceCountAt == 188 && kEarly31To36Layout.headerSize == 312);

}  // namespace

const ModelLayout* LayoutForVersion(int32_t version) {
  if (version == 37) return &kCurrentLayout;
  if (version >= 31 && version <= 36) return &kEarly31To36Layout;
  if (version >= 28 && version <= 30) return &kEarly28To30Layout;
  return nullptr;
}
