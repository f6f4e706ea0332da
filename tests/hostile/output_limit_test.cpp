// The run's output limit (-max-output): a small file may ask for any number of
// animation frames, and the limit, not a frame count, decides how much is
// written. Reaching it abandons the file in progress, says so once, writes and
// says nothing more, and ends with 2, identically for any number of workers.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/hostile/hostile_support.h"

namespace {

// The box model and animations "a", "b", "c" of 2,000 frames (about 130 KB
// each) and a short "d".
tb::BuiltModel LongAnimations() {
  tb::ModelDescription d = tb::BoxModel(37);
  d.animations.clear();
  for (const char* name : {"a", "b", "c", "d"}) {
    tb::AnimationDescription anim;
    anim.name = name;
    anim.frameCount = name[0] == 'd' ? 2 : 2000;
    anim.bones = {tb::RawBoneAnim({1, 2, 3})};
    d.animations.push_back(anim);
  }
  return tb::BuildModel(d);
}

TEST(OutputLimit, TheFileThatReachesItIsAbandonedAndNothingFollows) {
  const tb::BuiltModel built = LongAnimations();
  const HostileRun whole = RunOnBuilt(built);
  ASSERT_EQ(whole.status, 1);
  const size_t kept = whole.outputs.at("dec.qc").size() + whole.outputs.at("box.smd").size() +
                      whole.outputs.at("a.smd").size() + whole.outputs.at("b.smd").size();
  ASSERT_LT(kept + 1000, 300u * 1024);  // the $cd line is not in outputs
  ASSERT_GT(kept + whole.outputs.at("c.smd").size(), 300u * 1024);

  HostileRun first;
  for (const char* jobs : {"1", "2", "4"}) {
    SCOPED_TRACE(jobs);
    const HostileRun run = RunOnBuilt(built, {"-max-output", "300K", "-jobs", jobs});
    ExpectContained(run, "output limit");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(OutputNames(run), (std::set<std::string>{"dec.qc", "box.smd", "a.smd", "b.smd"}));
    for (const auto& [name, text] : run.outputs) EXPECT_TRUE(text == whole.outputs.at(name)) << name;
    const std::string tail = "Output limit reached (300K): c.smd; -max-output raises it\n";
    ASSERT_GE(run.console.size(), tail.size());
    EXPECT_EQ(run.console.substr(run.console.size() - tail.size()), tail) << run.console;
    if (first.status < 0) first = run;
    EXPECT_EQ(run.console, first.console);
  }
}

TEST(OutputLimit, AFileLargerThanTheWholeLimitStopsItself) {
  const tb::BuiltModel built = LongAnimations();
  for (const char* jobs : {"1", "3"}) {
    const HostileRun run = RunOnBuilt(built, {"-max-output", "64k", "-jobs", jobs});
    EXPECT_EQ(run.status, 2) << jobs;
    EXPECT_EQ(OutputNames(run), (std::set<std::string>{"dec.qc", "box.smd"})) << jobs;
    EXPECT_NE(run.console.find("Output limit reached (64K): a.smd; -max-output raises it\n"), std::string::npos)
        << run.console;
  }
}

TEST(OutputLimit, TheScriptCountsAndZeroMeansNoLimit) {
  const tb::BuiltModel built = tb::BuildModel(tb::BoxModel(37));
  const HostileRun tiny = RunOnBuilt(built, {"-max-output", "100"});
  EXPECT_EQ(tiny.status, 2);
  EXPECT_TRUE(tiny.outputs.empty());
  EXPECT_EQ(tiny.console, "Decompiled 37 mode\nOutput limit reached (100): dec.qc; -max-output raises it\n");

  const HostileRun unlimited = RunOnBuilt(built, {"-max-output", "0"});
  EXPECT_EQ(unlimited.status, 1);
  EXPECT_EQ(OutputNames(unlimited), (std::set<std::string>{"dec.qc", "box.smd", "idle.smd"}));
}

// An animation with no bones writes a "time" line per frame.
tb::BuiltModel FramesOnly(int32_t frames) {
  tb::ModelDescription d;
  d.version = 37;
  tb::AnimationDescription anim;
  anim.name = "long";
  anim.frameCount = frames;
  d.animations = {anim};
  return tb::BuildModel(d);
}

TEST(OutputLimit, MoreThanAMillionFramesAreWritten) {
  const HostileRun run = RunOnBuilt(FramesOnly(1000001));
  EXPECT_EQ(run.status, 1) << run.console;
  const std::string& text = run.outputs.at("long.smd");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4 + 1000001 + 1);
  EXPECT_NE(text.find("\ntime 1000000\nend\n"), std::string::npos);

  // The largest frame count ends at the limit, at once.
  const HostileRun largest = RunOnBuilt(FramesOnly(INT32_MAX), {"-max-output", "1M"});
  EXPECT_EQ(largest.status, 2);
  EXPECT_EQ(OutputNames(largest), std::set<std::string>{"dec.qc"});
  EXPECT_NE(largest.console.find("Output limit reached (1M): long.smd; -max-output raises it\n"), std::string::npos);
}

}  // namespace
