// A file of a few hundred bytes may ask for 130 million frames. The animation
// SMD text of them passes the output limit; the .glb stands for the same text
// and stops at the same limit, at once and in little memory, with the same
// exit status, however many such animations the file holds.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/hostile/hostile_support.h"

namespace {

constexpr int32_t kFrames = 130000000;

// One bone and `animations` animations of kFrames frames holding one pose.
tb::BuiltModel EndlessPoses(int animations) {
  tb::ModelDescription d;
  d.version = 37;
  d.bones = tb::BoneChain(1);
  for (int i = 0; i < animations; ++i) {
    tb::AnimationDescription anim;
    anim.name = "pose" + std::to_string(i);
    anim.frameCount = kFrames;
    anim.bones = {tb::RawBoneAnim({1, 2, 3})};
    d.animations.push_back(anim);
  }
  return tb::BuildModel(d);
}

struct TimedRun {
  HostileRun run;
  double seconds = 0;
};

TimedRun Timed(const tb::BuiltModel& built, const std::vector<std::string>& args) {
  const auto start = std::chrono::steady_clock::now();
  TimedRun timed{RunOnBuilt(built, args)};
  timed.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return timed;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(AnimationBounds, AFewHundredBytesOfFramesStopAtTheOutputLimitAsGltf) {
  for (int animations : {1, 200}) {
    SCOPED_TRACE(animations);
    const tb::BuiltModel built = EndlessPoses(animations);
    if (animations == 1) {
      ASSERT_LT(built.model.bytes.size(), 1000u);
    }
    const TimedRun gltf = Timed(built, {"-format", "gltf"});
    EXPECT_LT(gltf.seconds, 10.0);
    EXPECT_LE(gltf.run.peakRssKb, 200 * 1024);
    EXPECT_EQ(gltf.run.status, 2);
    EXPECT_TRUE(Contains(gltf.run.console, "Output limit reached (4G): m.glb; -max-output raises it\n"))
        << gltf.run.console;
    EXPECT_TRUE(gltf.run.outputs.empty());

    // The SMD text of the same frames stops at the limit too; a smaller one
    // spares the disk the gigabytes written before it is reached.
    for (const char* format : {"smd", "gltf", "all"}) {
      SCOPED_TRACE(format);
      const TimedRun limited = Timed(built, {"-format", format, "-max-output", "16M"});
      EXPECT_LT(limited.seconds, 10.0);
      EXPECT_EQ(limited.run.status, 2);
      EXPECT_TRUE(Contains(limited.run.console, "Output limit reached (16M): ")) << limited.run.console;
    }
  }
}

}  // namespace
