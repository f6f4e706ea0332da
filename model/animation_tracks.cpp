#include "model/animation_tracks.h"

#include "formats/layout.h"

AnimationEntry ReadAnimationEntry(const ModelFile& model, const ModelHeader& header, int32_t index) {
  AnimationEntry entry;
  entry.desc = ReadAnimDesc(model, header, index);
  entry.name = NameAt(model, entry.desc.at, entry.desc.nameOffset, "animation name");
  return entry;
}

void ChargeAnimationRecords(FileBudget& budget, const ModelFile& model, const ModelHeader& header,
                            const AnimDescRecord& anim) {
  if (anim.frameCount <= 0 || header.boneCount <= 0) return;
  ChargeFileBudget(budget, model.bytes, int64_t{kBoneAnimRecordSize} * header.boneCount,
                   AddOffset(anim.at, anim.boneAnimOffset), "animation per-bone records");
}

std::vector<BoneTrack> PrepareAnimationTracks(const ModelFile& model, const ModelHeader& header,
                                              const AnimDescRecord& anim) {
  std::vector<BoneTrack> tracks;
  if (header.boneCount <= 0) return tracks;
  tracks.reserve(static_cast<size_t>(header.boneCount));
  for (int32_t b = 0; b < header.boneCount; ++b) {
    try {
      tracks.push_back(PrepareBoneTrack(model, header, anim, b));
    } catch (const FormatError& error) {
      BoneTrackError failed;
      static_cast<FormatError&>(failed) = error;
      failed.bone = b;
      throw failed;
    }
  }
  return tracks;
}
