// What a preview is made of: the first level of detail's triangles as the
// mesh files hold them, or the bones in the reference pose.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "formats/byte_view.h"
#include "mathlib/math_startup.h"
#include "preview/model_scene.h"
#include "model/model_geometry.h"
#include "tests/support/loaded_model.h"
#include "tools/sample_model.h"

namespace {

void StartMath() { MathStartup(2.2f, 2.2f, 0.0f, 2, 1, 1, 1, 1); }

// The scene of a loaded model, with the walk it points into.
struct WalkedScene {
  ModelGeometry geometry;
  ModelScene scene;
  WalkedScene(const LoadedModel& loaded, bool withPositions)
      : geometry(WalkModelGeometry(loaded.model, loaded.strip)),
        scene(GatherModelScene(loaded.model, geometry, withPositions)) {}
};

TEST(ModelScene, HoldsTheFirstLevelOfDetailOfEverySubModelWithVertices) {
  StartMath();
  for (int32_t version : {37, 31, 28}) {
    LoadedModel loaded(tb::BuildModel(SampleModel(version), tb::GarbageEverywhere(3)));
    // The box and the plate draw 12 triangles each at level 0; the box's
    // second level (6 triangles) and the empty sub-model draw nothing here.
    const WalkedScene walked(loaded, true);
    const ModelScene& scene = walked.scene;
    EXPECT_EQ(scene.lodZeroTriangles, 24) << version;
    EXPECT_EQ(scene.segments.size(), 3u * 6);  // the bones too, drawn when no triangle can be
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
    const WalkedScene countedOnly(loaded, false);
    const ModelScene& counted = countedOnly.scene;
    EXPECT_EQ(counted.lodZeroTriangles, 24);
    EXPECT_TRUE(counted.lods.empty());
    EXPECT_TRUE(counted.segments.empty());
  }
}

TEST(ModelScene, CountsTheWholeTrianglesOfEachStrip) {
  // Strips whose index count is not a whole number of triangles, or is
  // negative: the count, and the corners each walk hands out with or without
  // them, are those of the whole triangles the mesh files write.
  StartMath();
  tb::ModelDescription description = SampleModel(37);
  tb::StripGroupDescription& group = description.bodyParts[0].subModels[0].lods[0].meshes[0].groups[0];
  const int32_t entries = static_cast<int32_t>(group.indices.size());
  ASSERT_EQ(entries, 36);
  group.strips = {{entries - 4, 0}, {-7, 0}, {5, 3}};  // 10 triangles and 2 entries over, none, 1 and 2 over
  LoadedModel loaded(tb::BuildModel(description));
  const WalkedScene walked(loaded, true);
  EXPECT_EQ(walked.scene.lodZeroTriangles, 10 + 1 + 12);  // and the plate's 12
  const PreviewScene preview = walked.scene.Scene();
  size_t corners = 0, spanCorners = 0;
  preview.eachBatch([&](const PreviewBatch& batch) { corners += batch.cornerCount; });
  preview.eachSpan([&](const PreviewBatch& batch) {
    EXPECT_EQ(batch.corners, nullptr);
    spanCorners += batch.cornerCount;
  });
  EXPECT_EQ(corners, 3u * 23);
  EXPECT_EQ(spanCorners, corners);
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
  const WalkedScene walked(loaded, true);
  const ModelScene& scene = walked.scene;
  EXPECT_EQ(scene.lodZeroTriangles, 0);
  EXPECT_TRUE(scene.lods.empty());
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
  EXPECT_THROW(WalkedScene(damaged, true), FormatError);
  EXPECT_THROW(WalkedScene(damaged, false), FormatError);

  tb::ModelDescription nothing = SampleModel(37);
  nothing.bodyParts.clear();
  nothing.bones.clear();
  nothing.animations.clear();
  LoadedModel empty(tb::BuildModel(nothing));
  const WalkedScene walked(empty, true);
  const ModelScene& scene = walked.scene;
  EXPECT_TRUE(scene.lods.empty());
  EXPECT_TRUE(scene.segments.empty());
}

}  // namespace
