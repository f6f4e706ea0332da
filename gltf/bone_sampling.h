// The keys of an animation's bones, sampled frame by frame as the animation
// SMD writer samples them: SampleBoneTrack and SampleAngles at blend 0, the
// position as sampled and the rotation as the quaternion of the angles
// (AnglesToQuaternion, in its two steps so that an axis whose angle holds
// keeps its half-angle sine and cosine).
//
// Bones are independent of each other, so the threads take the bones of a
// run one after the other as they get free; each bone's keys depend only on
// its own track, and bad data is reported for the lowest bone that has any,
// so the result is the same for any number of threads.
#pragma once

#include <cstdint>
#include <vector>

#include "model/bone_track.h"
#include "gltf/glb_build.h"

struct SampledBones {
  int32_t frames = 0;
  // Bone first + i's key of frame f at i * frames + f.
  std::vector<Vector3> positions;
  std::vector<Quaternion> rotations;
};

// How many threads to share `boneFrames` samples out to: one for small
// animations, where starting threads costs more than it saves.
int SamplingThreads(int64_t boneFrames, int allowed);

// Samples bones first .. first + count - 1 of `tracks` into `keys`, counting
// replaced values in build.repairs. Throws the FormatError of the lowest bone
// with bad data, with build.place naming that bone and frame.
void SampleBones(GlbBuild& build, std::vector<BoneTrack>& tracks, int32_t first, int32_t count, int32_t frames,
                 int threads, SampledBones& keys);
