// What a preview is made of: the first level of detail's triangles as the
// mesh files hold them, or the bones in the reference pose.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "formats/byte_view.h"
#include "mathlib/math_startup.h"
#include "preview/model_scene.h"
#include "smd/mesh_export.h"
#include "tests/support/loaded_model.h"
#include "tests/support/scratch_conversion.h"
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
    EXPECT_TRUE(scene.segments.empty());
    // Both passes see the same 24 triangles, every corner a corner of the
    // side-2 cube around the origin.
    const PreviewScene preview = scene.Scene();
    for (int pass = 0; pass < 2; ++pass) {
      size_t corners = 0;
      preview.eachBatch([&](const PreviewBatch& batch) {
        corners += batch.cornerCount;
        for (size_t i = 0; i < batch.cornerCount; ++i) {
          ASSERT_LT(batch.corners[i], batch.vertexCount);
          float p[3];
          std::memcpy(p, batch.positions + batch.corners[i] * batch.stride, sizeof p);
          for (float value : p) EXPECT_EQ(std::fabs(value), 1.0f) << version;
        }
      });
      EXPECT_EQ(corners, 24u * 3) << version;
    }
    const ModelScene counted = GatherModelScene(loaded.model, loaded.strip, false);
    EXPECT_EQ(counted.lodZeroTriangles, 24);
    EXPECT_TRUE(counted.plans.empty());
    EXPECT_TRUE(counted.segments.empty());
  }
}

// The mesh files' own level-0 plans make the same picture and count as the
// scene's own walk, in every family and also without triangles.
TEST(ModelScene, TheMeshFilesPlansMakeTheSameScene) {
  StartMath();
  tb::ModelDescription bones = SampleModel(37);
  bones.bodyParts[0].subModels.erase(bones.bodyParts[0].subModels.begin());
  bones.bodyParts.pop_back();
  for (const tb::ModelDescription& description : {SampleModel(37), SampleModel(33), SampleModel(29), bones}) {
    LoadedModel loaded(tb::BuildModel(description, tb::GarbageEverywhere(5)));
    ScratchConversion scratch;
    LodZeroPlans plans;
    ExportMeshes(scratch.Of(loaded.model, loaded.strip), &plans);
    const ModelScene fromPlans = SceneOfPlans(loaded.model, plans, true);
    const ModelScene walked = GatherModelScene(loaded.model, loaded.strip, true);
    EXPECT_EQ(fromPlans.lodZeroTriangles, walked.lodZeroTriangles);
    EXPECT_EQ(fromPlans.segments, walked.segments);
    const PreviewImage a = RenderPreview(fromPlans.Scene(), 64), b = RenderPreview(walked.Scene(), 64);
    EXPECT_EQ(a.width, 64);
    EXPECT_EQ(a.rgba, b.rgba);
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
  EXPECT_TRUE(scene.plans.empty());
  const std::vector<float> expected = {1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 12, 3, 7, 8, 9, 7, 8, 9};
  ASSERT_EQ(scene.segments.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(scene.segments[i], expected[i], 1e-5) << i;
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
  EXPECT_TRUE(scene.plans.empty());
  EXPECT_TRUE(scene.segments.empty());
}

}  // namespace
