// One preparation of an animation's tracks for every writer that samples it:
// the animation description and its name, the charge of its per-bone records
// to the writer's shared budget, and every bone's track (model/bone_track.h).
// The steps are separate so that each writer meets them, and reports what it
// meets, in its own order.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "formats/file_budget.h"
#include "formats/model_records.h"
#include "model/bone_track.h"

struct AnimationEntry {
  AnimDescRecord desc;
  std::string_view name;  // points into the loaded model
};

// Throws FormatError when the description or its name lies outside the file.
AnimationEntry ReadAnimationEntry(const ModelFile& model, const ModelHeader& header, int32_t index);

// Charges the animation's per-bone records (one per bone) to `budget`, which
// the writer shares between all animations (formats/file_budget.h): many
// animations may name one set of records, but not without bound. An animation
// without frames, or a model without bones, reads no records and is charged
// nothing. Throws FormatError past the budget.
void ChargeAnimationRecords(FileBudget& budget, const ModelFile& model, const ModelHeader& header,
                            const AnimDescRecord& anim);

// A FormatError met while preparing one bone's track, with that bone.
struct BoneTrackError : FormatError {
  int32_t bone = -1;
};

// PrepareBoneTrack for bones 0 .. header.boneCount - 1, in order; the first
// bone whose records leave the file throws BoneTrackError. The caller has
// checked that the bone table lies in the file.
std::vector<BoneTrack> PrepareAnimationTracks(const ModelFile& model, const ModelHeader& header,
                                              const AnimDescRecord& anim);
