// What a preview is made of: the first level of detail's triangles as the
// mesh files hold them, or the bones in the reference pose.
#include <gtest/gtest.h>

#include <cmath>

#include "formats/byte_view.h"
#include "mathlib/math_startup.h"
#include "preview/model_scene.h"
#include "tests/support/loaded_model.h"
#include "tools/sample_model.h"

namespace {

void StartMath() { MathStartup(2.2f, 2.2f, 0.0f, 2, 1, 1, 1, 1); }

TEST(ModelScene, HoldsTheFirstLevelOfDetailOfEverySubModelWithVertices) {
  StartMath();
  for (int32_t version : {37, 31, 28}) {
    LoadedModel loaded(tb::BuildModel(SampleModel(version), tb::GarbageEverywhere(3)));
    // The box and the plate draw 12 triangles each at level 0; the box's
    // second level (6 triangles) and the empty sub-model draw nothing here.
    const ModelScene scene = GatherModelScene(loaded.model, loaded.strip, true);
    EXPECT_EQ(scene.lodZeroTriangles, 24) << version;
    ASSERT_EQ(scene.scene.triangles.size(), 24u * 3) << version;
    EXPECT_TRUE(scene.scene.segments.empty());
    // Every corner is a corner of the side-2 cube around the origin.
    for (uint32_t vertex : scene.scene.triangles) {
      ASSERT_LT(vertex, scene.scene.positions.size() / 3);
      for (int axis = 0; axis < 3; ++axis)
        EXPECT_EQ(std::fabs(scene.scene.positions[3 * vertex + axis]), 1.0f) << version;
    }

    const ModelScene counted = GatherModelScene(loaded.model, loaded.strip, false);
    EXPECT_EQ(counted.lodZeroTriangles, 24);
    EXPECT_TRUE(counted.scene.triangles.empty());
    EXPECT_TRUE(counted.scene.positions.empty());
    EXPECT_TRUE(counted.scene.segments.empty());
  }
}

TEST(ModelScene, WithoutTrianglesHoldsTheBonesInTheReferencePose) {
  StartMath();
  tb::ModelDescription description = SampleModel(37);
  description.bodyParts.clear();
  // The root turns a quarter about Z, so its child's 10 units along X lie
  // along Y in model space; the third bone names a later bone as parent
  // (damaged) and stays where it is, alone.
  description.bones[0].position = {1, 2, 3};
  description.bones[0].angles = {0, 0, static_cast<float>(M_PI / 2)};
  description.bones[1].position = {10, 0, 0};
  description.bones[2].parent = 5;
  description.bones[2].position = {7, 8, 9};
  LoadedModel loaded(tb::BuildModel(description));
  const ModelScene scene = GatherModelScene(loaded.model, loaded.strip, true);
  EXPECT_EQ(scene.lodZeroTriangles, 0);
  EXPECT_TRUE(scene.scene.triangles.empty());
  const std::vector<float> expected = {1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 12, 3, 7, 8, 9, 7, 8, 9};
  ASSERT_EQ(scene.scene.segments.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(scene.scene.segments[i], expected[i], 1e-5) << i;
}

TEST(ModelScene, DamagedGeometryThrowsAndAModelWithNothingIsEmpty) {
  StartMath();
  tb::BuiltModel built = tb::BuildModel(SampleModel(37));
  // The strip group's index array points far outside the strip file.
  const size_t group = tb::At(built.strip, tb::StripMeshKey(0, 0, 0, 0) + ".groups");
  tb::PutI32(built.strip.bytes, group + 12, 0x7fffff00);
  LoadedModel damaged(std::move(built));
  EXPECT_THROW(GatherModelScene(damaged.model, damaged.strip, true), FormatError);
  EXPECT_THROW(GatherModelScene(damaged.model, damaged.strip, false), FormatError);

  tb::ModelDescription nothing = SampleModel(37);
  nothing.bodyParts.clear();
  nothing.bones.clear();
  nothing.animations.clear();
  LoadedModel empty(tb::BuildModel(nothing));
  const ModelScene scene = GatherModelScene(empty.model, empty.strip, true);
  EXPECT_TRUE(scene.scene.triangles.empty());
  EXPECT_TRUE(scene.scene.segments.empty());
}

}  // namespace
