// Model and strip files cut short at many points, in every family: at every
// block start (so each table, record, name pool and stream is cut in turn),
// inside the header, below the 8 bytes of the version, and one byte before the
// end. Since the kept bytes are the intact file's, every output the tool still
// writes must equal the intact model's; anything it could not finish must be
// missing, with a "Bad data" line and exit status 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tests/hostile/hostile_support.h"
#include "tools/sample_model.h"

namespace {

// The cut points of an image: every block start + 1, the last byte of the
// last block and the fixed ones, from `lowest` on.
std::set<size_t> CutPoints(const tb::BuiltFile& file, std::initializer_list<size_t> fixed, size_t lowest) {
  std::set<size_t> cuts(fixed);
  size_t end = 0;  // of the last block; garbage may follow it
  for (const auto& [name, block] : file.blocks) {
    if (block.size > 0) cuts.insert(block.at + 1);
    end = std::max(end, block.at + block.size);
  }
  cuts.insert(end - 1);
  std::erase_if(cuts, [&](size_t cut) { return cut < lowest || cut >= file.bytes.size(); });
  return cuts;
}

// The sample model of a version, laid out plainly or with garbage in every
// unread byte, blocks at odd addresses and placed before their base (negative
// offsets), so the cuts meet every kind of reference.
struct Layout {
  int32_t version;
  bool scattered;
};

tb::BuiltModel Build(const Layout& layout) {
  tb::BuildOptions options;
  if (layout.scattered) {
    options = tb::GarbageEverywhere(static_cast<uint32_t>(layout.version));
    options.oddBlocks = {"*"};
    options.beforeBase = {"*"};
  }
  return tb::BuildModel(SampleModel(layout.version), options);
}

class Truncation : public ::testing::TestWithParam<Layout> {};

TEST_P(Truncation, ModelFileCutShortAnywhere) {
  const int32_t version = GetParam().version;
  const tb::BuiltModel built = Build(GetParam());
  const HostileRun intact = RunOnBuilt(built);
  ASSERT_EQ(intact.status, 1) << intact.console;
  ASSERT_EQ(intact.outputs.size(), 6u);

  // Inside the header: after the version, inside the counts, one byte short.
  const size_t header = tb::At(built.model, "header") + built.model.blocks.at("header").size;
  for (size_t cut : CutPoints(built.model, {8, 9, 12, 100, 160, 183, 200, header - 1, header}, 8)) {
    std::vector<uint8_t> model(built.model.bytes.begin(), built.model.bytes.begin() + static_cast<long>(cut));
    HostileRun run = RunToolOnImages(model, built.strip.bytes);
    std::string what = "model " + std::to_string(version) + " cut at " + std::to_string(cut);
    ExpectHandledDamage(run, intact, "in/m.mdl: ", what);
    // Whatever was cut, the message says where the file ends.
    EXPECT_NE(run.console.find("(file size " + std::to_string(cut) + ")"), std::string::npos) << what;
  }
}

TEST_P(Truncation, StripFileCutShortAnywhere) {
  const int32_t version = GetParam().version;
  const tb::BuiltModel built = Build(GetParam());
  const HostileRun intact = RunOnBuilt(built);
  ASSERT_EQ(intact.status, 1) << intact.console;
  for (size_t cut : CutPoints(built.strip, {1, 8, 32, 35}, 1)) {
    std::vector<uint8_t> strip(built.strip.bytes.begin(), built.strip.bytes.begin() + static_cast<long>(cut));
    HostileRun run = RunToolOnImages(built.model.bytes, strip);
    std::string what = "strip " + std::to_string(version) + " cut at " + std::to_string(cut);
    ExpectHandledDamage(run, intact, "in/m.dx80.vtx: ", what);
    // The strip file feeds only the level-of-detail lines and the mesh files:
    // the animations never depend on it.
    EXPECT_EQ(run.outputs.count("wave.smd"), 1u) << what;
    EXPECT_EQ(run.outputs.count("idle.smd"), 1u) << what;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryFamily, Truncation,
                         ::testing::Values(Layout{29, false}, Layout{33, false}, Layout{37, false},
                                           Layout{28, true}, Layout{35, true}, Layout{37, true}),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                           return "Version" + std::to_string(info.param.version) +
                                  (info.param.scattered ? "Scattered" : "Plain");
                         });

// Below the version field there is nothing to dispatch on; an empty file is
// one that could not be loaded at all.
TEST(TruncationBelowVersion, TinyModelFilesAreRefused) {
  const tb::BuiltModel built = tb::BuildModel(tb::BoxModel(37));
  for (size_t size : {0u, 1u, 4u, 7u}) {
    std::vector<uint8_t> model(built.model.bytes.begin(), built.model.bytes.begin() + static_cast<long>(size));
    HostileRun run = RunToolOnImages(model, built.strip.bytes);
    std::string what = "model of " + std::to_string(size) + " bytes";
    ExpectContained(run, what);
    EXPECT_TRUE(run.outputs.empty()) << what;
    if (size == 0) {
      EXPECT_EQ(run.status, 0) << what;
      EXPECT_EQ(run.console, "Can't open: in/m.mdl\n") << what;
    } else {
      EXPECT_EQ(run.status, 2) << what;
      EXPECT_EQ(run.console, "Model file too short to hold a version (" + std::to_string(size) +
                                 " bytes): in/m.mdl\n")
          << what;
    }
  }
}

}  // namespace
