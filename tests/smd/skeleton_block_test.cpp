// The skeleton block at the top of every mesh file.
#include "smd/mesh_export.h"
#include "builder/format_tables.h"
#include "tests/smd/mesh_test_support.h"

namespace {

class SkeletonBlockTest : public MeshTest {
 protected:
  std::string Block(const LoadedModel& loaded) {
    return Capture([&](OutputFile& out) { EXPECT_EQ(WriteSkeletonBlock(loaded.model, out), 1); });
  }
};

constexpr const char* kEmptyBlock = "version 1\nnodes\nend\nskeleton\ntime 0\nend\n";

TEST_F(SkeletonBlockTest, NoBonesGivesTheBareBlock) {
  tb::ModelDescription none = tb::BoxModel(37);
  none.bones.clear();
  tb::ModelDescription negative = tb::BoxModel(37);
  negative.counts.bones = -1;
  LoadedModel noBones(tb::BuildModel(none));
  LoadedModel negativeCount(tb::BuildModel(negative));
  EXPECT_EQ(Block(noBones), kEmptyBlock);
  EXPECT_EQ(Block(negativeCount), kEmptyBlock);

  // An empty table is never looked at, wherever its offset points.
  tb::PutI32(noBones.built.model.bytes, tb::kHeaderBoneOffset, -100000);
  EXPECT_EQ(Block(noBones), kEmptyBlock);
}

TEST_F(SkeletonBlockTest, BonesAreListedAsStoredAndTheSameInEveryFamily) {
  const char* expected =
      "version 1\n"
      "nodes\n"
      "  0 \"root\" -1\n"
      "  1 \"left arm\" 0\n"
      "  2 \"odd_name\" 7\n"
      "end\n"
      "skeleton\n"
      "time 0\n"
      "  0 1.500000 -2.000000 0.000000 0.000000 -0.500000 3.250000\n"
      "  1 0.100000 1000000.000000 -123.456001 -3.141593 0.000000 0.000001\n"
      "  2 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000\n"
      "end\n";
  for (int32_t version : {37, 36, 31, 30, 28}) {
    tb::ModelDescription description = tb::BoxModel(version);
    description.bones = {
        {"root", -1, {1.5f, -2.0f, -0.0f}, {0.0f, -0.5f, 3.25f}},
        {"left arm", 0, {0.1f, 1e6f, -123.456f}, {-3.14159265f, 0.0f, 1e-6f}},
        // Parent indices are not checked; a quote in a name is written as '_'.
        {"odd\"name", 7, {}, {}},
    };
    // Garbage in every unread byte and blocks at odd addresses must not show.
    tb::BuildOptions options = tb::GarbageEverywhere(static_cast<uint32_t>(version));
    options.oddBlocks = {"bones", "bones.names"};
    LoadedModel loaded(tb::BuildModel(description, options));
    EXPECT_EQ(Block(loaded), expected) << "version " << version;
  }
}

}  // namespace
