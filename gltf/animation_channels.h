// The animations of the .glb: one glTF animation per animation description,
// named like its SMD file, with a translation and a rotation channel for
// every bone. Keys are the animation's frames at frame / fps seconds,
// interpolated linearly; a channel whose value never changes has one key.
//
// The values are the animation SMD's: each bone's track is prepared and
// sampled frame by frame as the animation SMD writer does it
// (PrepareBoneTrack, SampleBoneTrack, SampleAngles at blend 0), the position
// as sampled and the rotation as the quaternion of the sampled Euler angles
// (AnglesToQuaternion). The same limits apply: the per-bone records are
// charged to a budget of the model file's size, and more than
// kMaxAnimationFrames frames is bad data. An animation without frames, or a
// model without bones, has nothing to key and is left out.
#pragma once

#include "gltf/glb_build.h"

// Throws FormatError for bad data, with build.place naming the item.
void AddAnimations(GlbBuild& build);
