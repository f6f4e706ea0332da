// The animations of the .glb: one glTF animation per animation description,
// named like its SMD file, with a translation and a rotation channel for
// every bone. Keys are the animation's frames at frame / fps seconds,
// interpolated linearly; a channel whose value never changes has two keys, at the first and
// the last frame, so the clip keeps its length in every importer.
//
// The values are the animation SMD's: the tracks are prepared and sampled
// frame after frame as the animation SMD writer does it (model/
// animation_tracks.h, model/frame_sampling.h), the position as sampled and
// the rotation as the quaternion of the sampled Euler angles
// (AnglesToQuaternion). The per-bone records are charged to a budget of the
// model file's size, as there. An animation without frames, or a model
// without bones, has nothing to key and is left out.
//
// The work is bounded like the SMD text it stands for: before an animation
// is sampled, the least number of bytes its animation SMD file would hold
// (see LeastAnimationTextBytes in the source) is counted, over all
// animations, against the run's output limit; past it the .glb is abandoned
// as over the limit. Memory follows the file: a channel holds one key until
// its value changes, and all its keys only from then on.
//
// Bad data in the samples is reported for the first frame that has any, and
// in that frame for the lowest bone, as in the SMD file. With a work pool
// the bones of a long animation are sampled in parts on the pool's threads;
// the file and the messages are the same with or without one.
#pragma once

#include "gltf/glb_build.h"

// Throws FormatError for bad data, with build.place naming the item, and
// GlbTooLarge past the output limit or the format's size.
void AddAnimations(GlbBuild& build);
