// The .glb's animation work: the same file and messages with or without a
// work pool; sampling counted against the output limit as the least SMD text
// the frames stand for; channels that hold keep two keys.
#include <cmath>
#include <limits>

#include "io/work_pool.h"
#include "tests/gltf/glb_test_support.h"

namespace {

using glbtest::Loaded;

// Two animations of `bones` bones and `frames` frames, with a new rotation
// every frame; bone 2's X position and bone 3's X angle are not finite (their
// scale is infinite), each frame's different from the one before.
tb::ModelDescription LongAnimation(int bones, int frames) {
  tb::ModelDescription model = tb::BoxModel(37);
  model.bones = tb::BoneChain(bones);
  model.bones[2].positionScale = {std::numeric_limits<float>::infinity(), 1, 1};
  model.bones[3].angleScale = {std::numeric_limits<float>::infinity(), 1, 1};
  tb::AnimationDescription& anim = model.animations[0];
  anim.frameCount = frames;
  anim.bones.clear();
  std::vector<int16_t> values(static_cast<size_t>(frames)), steps(static_cast<size_t>(frames));
  for (int f = 0; f < frames; ++f) {
    values[static_cast<size_t>(f)] = static_cast<int16_t>((f * 7919) % 20000 - 10000);
    steps[static_cast<size_t>(f)] = static_cast<int16_t>(f % 2);
  }
  for (int b = 0; b < bones; ++b) {
    anim.bones.push_back(tb::CodedBoneAnim({tb::PerFrameStream(b == 2 ? steps : values), {}, {}},
                                           {b == 3 ? tb::PerFrameStream(steps) : tb::PerFrameStream(values),
                                            tb::ConstantStream(100, frames), {}}));
  }
  tb::AnimationDescription second = anim;
  second.name = "second";
  model.animations.push_back(second);
  return model;
}

TEST(GlbAnimationWork, APoolGivesTheSameFileAndMessages) {
  const Loaded loaded(LongAnimation(24, 3000));
  const GlbResult alone = BuildGlb(loaded.model, loaded.strip, "tamberlo tests");
  ASSERT_TRUE(alone.built);
  ASSERT_EQ(alone.messages.size(), 1u);
  // Bone 2's X position and bone 3's rotation at every frame of both animations.
  EXPECT_EQ(alone.messages[0],
            "glb: values glTF cannot hold were replaced: 12000 numbers that are not finite, 0 normals not of unit "
            "length\n");
  for (int threads : {1, 3}) {
    WorkPool pool(threads);
    const GlbResult shared = BuildGlb(loaded.model, loaded.strip, "tamberlo tests", 0, &pool);
    EXPECT_TRUE(shared.bytes == alone.bytes) << threads;
    EXPECT_EQ(shared.messages, alone.messages) << threads;
  }
  const tinygltf::Model gltf = glbtest::ReadGlb(alone.bytes);
  ASSERT_EQ(gltf.animations.size(), 2u);
  for (const tinygltf::AnimationSampler& sampler : gltf.animations[0].samplers) {
    const size_t keys = gltf.accessors.at(static_cast<size_t>(sampler.output)).count;
    EXPECT_TRUE(keys == 3000 || keys == 2) << keys;
  }
}

// The least bytes of the animation SMD text of 1000 frames of one bone:
// "time <f>\n" for f = 0 .. 999 and a bone line of at least 26 bytes each.
constexpr uint64_t kLeastTextOf1000Frames = 6 * 1000 + (10 * 1 + 90 * 2 + 900 * 3) + 1000 * 26;

tb::ModelDescription OneBoneHeld(int animations) {
  tb::ModelDescription model = tb::BoxModel(37);
  model.bones = tb::BoneChain(1);
  tb::AnimationDescription anim;
  anim.frameCount = 1000;
  anim.bones = {tb::RawBoneAnim({1, 2, 3})};
  model.animations.clear();
  for (int i = 0; i < animations; ++i) {
    anim.name = std::to_string(i);
    anim.name.insert(0, 1, 'a');
    model.animations.push_back(anim);
  }
  return model;
}

TEST(GlbAnimationWork, SamplingCountsTheLeastSmdTextAgainstTheOutputLimit) {
  for (int animations : {1, 3}) {
    SCOPED_TRACE(animations);
    const Loaded loaded(OneBoneHeld(animations));
    const uint64_t least = kLeastTextOf1000Frames * static_cast<uint64_t>(animations);
    const GlbResult fits = BuildGlb(loaded.model, loaded.strip, "tamberlo tests", least);
    EXPECT_FALSE(fits.outputLimitReached);
    ASSERT_TRUE(fits.built);
    EXPECT_LT(fits.size, 10000);  // every channel holds: two keys each
    const GlbResult over = BuildGlb(loaded.model, loaded.strip, "tamberlo tests", least - 1);
    EXPECT_TRUE(over.outputLimitReached);
    EXPECT_FALSE(over.built);
    EXPECT_TRUE(over.messages.empty());
  }
}

}  // namespace
