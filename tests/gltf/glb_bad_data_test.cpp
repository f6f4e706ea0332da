// Damaged input: bad data abandons the whole .glb with one message; data
// faults the file can still hold are reported and the file is built; values
// glTF cannot hold are replaced.
#include <limits>

#include "builder/format_tables.h"
#include "io/work_pool.h"
#include "tests/gltf/glb_test_support.h"
#include "tools/sample_model.h"

namespace {

using glbtest::Loaded;

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

TEST(GlbBadData, EveryTruncationAbandonsTheFileWithOneMessageOrIsValid) {
  for (int32_t version : {37, 36, 29}) {
    const tb::BuiltModel whole = tb::BuildModel(SampleModel(version));
    for (bool cutStrip : {false, true}) {
      const size_t size = (cutStrip ? whole.strip : whole.model).bytes.size();
      for (size_t length = 8; length < size; ++length) {
        tb::BuiltModel cut;  // the bytes alone: the block map is not needed
        cut.model.bytes = whole.model.bytes;
        cut.strip.bytes = whole.strip.bytes;
        (cutStrip ? cut.strip : cut.model).bytes.resize(length);
        const GlbResult glb = Loaded(std::move(cut)).Glb();
        if (!glb.built) {
          ASSERT_EQ(glb.messages.size(), 1u) << version << " " << length;
          EXPECT_TRUE(StartsWith(glb.messages[0], "Bad data: glb ")) << glb.messages[0];
          EXPECT_EQ(glb.messages[0].back(), '\n');
          EXPECT_TRUE(glb.hadErrors);
        } else {
          // The cut removed only bytes nothing reads.
          EXPECT_FALSE(glb.hadErrors) << version << " " << length;
          glbtest::ReadGlb(glb.bytes);
        }
      }
    }
  }
}

TEST(GlbBadData, MessagesNameTheItemTheFieldAndTheOffset) {
  const tb::BuiltModel whole = tb::BuildModel(SampleModel(37));
  tb::BuiltModel cut = whole;
  // Inside the last vertex record of the box: its mesh is named.
  const size_t vertexAt = tb::VertexAt(whole, 0, 0, 23);
  cut.model.bytes.resize(vertexAt + 40);
  GlbResult glb = Loaded(std::move(cut)).Glb();
  ASSERT_EQ(glb.messages.size(), 1u);
  EXPECT_EQ(glb.messages[0],
            "Bad data: glb mesh \"arm_box\" (body part 0, sub-model 0, LOD 0, mesh 0): strip group 0: "
            "test.mdl: vertex record at offset " +
                std::to_string(tb::VertexAt(whole, 0, 0, 0) + 16) +
                " (1520 bytes) lies outside the "
                "file (file size " +
                std::to_string(vertexAt + 40) + ")\n");

  // A value stream of the animation: the animation, bone and frame are named.
  // The elbow's Z stream is a run of 3 values over 4 frames and a run of 1
  // over 2; the second run loses its value.
  tb::BuiltModel noValue = whole;
  const size_t secondRun = tb::At(whole.model, "anim0.bone1.rotation2") + 2 + 2 * 3;
  tb::PutU8(noValue.model.bytes, secondRun, 0);
  glb = Loaded(std::move(noValue)).Glb();
  ASSERT_EQ(glb.messages.size(), 1u);
  EXPECT_TRUE(StartsWith(glb.messages[0], "Bad data: glb animation 0 \"wave\" bone 1 frame 4: test.mdl: "))
      << glb.messages[0];
  EXPECT_FALSE(glb.built);
}

TEST(GlbBadData, TheFirstFrameWithBadDataIsReportedWithItsLowestBoneWithOrWithoutAPool) {
  // 40 bones of 1000 frames each, sampled in parts on a pool's threads.
  tb::ModelDescription model = tb::BoxModel(37);
  model.bones = tb::BoneChain(40);
  model.animations[0].frameCount = 1000;
  model.animations[0].bones.clear();
  std::vector<int16_t> values(1000);
  for (int f = 0; f < 1000; ++f) values[static_cast<size_t>(f)] = static_cast<int16_t>(f);
  for (int b = 0; b < 40; ++b)
    model.animations[0].bones.push_back(tb::CodedBoneAnim({}, {tb::PerFrameStream(values), {}, {}}));
  tb::BuiltModel built = tb::BuildModel(model);
  // Per-frame streams hold runs of 255 frames: bone 3 loses the values of
  // its run from frame 765 on, bones 20 and 31 of their second run (frame
  // 255 on). The SMD file names the same frame and bone.
  tb::PutU8(built.model.bytes, tb::At(built.model, "anim0.bone3.rotation0") + 3 * (2 + 2 * 255), 0);
  tb::PutU8(built.model.bytes, tb::At(built.model, "anim0.bone31.rotation0") + 2 + 2 * 255, 0);
  tb::PutU8(built.model.bytes, tb::At(built.model, "anim0.bone20.rotation0") + 2 + 2 * 255, 0);
  const Loaded loaded(std::move(built));
  WorkPool pool(3);
  for (WorkPool* with : {static_cast<WorkPool*>(nullptr), &pool}) {
    const GlbResult glb = BuildGlb(loaded.model, loaded.strip, "tamberlo tests", 0, with);
    EXPECT_FALSE(glb.built);
    ASSERT_EQ(glb.messages.size(), 1u);
    EXPECT_TRUE(StartsWith(glb.messages[0], "Bad data: glb animation 0 \"idle\" bone 20 frame 255: test.mdl: "))
        << glb.messages[0];
  }
}

// Values the SMD files carry as stored are repaired and noted, not bad data.
TEST(GlbBadData, VertexBonesOutsideTheTableGoToBoneZeroNotedOncePerMesh) {
  tb::ModelDescription model = SampleModel(37);
  tb::SubModelDescription& box = model.bodyParts[0].subModels[0];
  box.vertices[1].bone = 7;
  box.vertices[5].bone = -1;
  const Loaded loaded(model);
  const GlbResult glb = loaded.Glb();
  ASSERT_TRUE(glb.built);
  EXPECT_FALSE(glb.hadErrors);  // a note, not bad data
  // Level 0 and level 1 both use vertex 1; only level 0 uses vertex 5. Each
  // level's file notes its own meshes.
  ASSERT_EQ(glb.messages.size(), 1u);
  const std::string offset = std::to_string(tb::VertexAt(loaded.built, 0, 0, 1) + 16);
  EXPECT_EQ(glb.messages[0],
            "glb mesh \"arm_box\" (body part 0, sub-model 0, LOD 0, mesh 0): test.mdl: vertex bone at offset " +
                offset + " names bone 7 of a table of 3 (2 such vertices), which glTF cannot hold; they are "
                "weighted to bone 0\n");
  const GlbResult lower = loaded.Glb(1);
  ASSERT_EQ(lower.messages.size(), 1u);
  EXPECT_TRUE(StartsWith(lower.messages[0], "glb mesh \"lod1_arm_box\" (body part 0, sub-model 0, LOD 1, "));

  const tinygltf::Model gltf = glbtest::ReadGlb(glb.bytes);
  const tinygltf::Primitive& primitive = gltf.meshes.at(0).primitives.at(0);
  for (uint32_t v = 0; v < 24; ++v) {
    // The box's vertices keep bone 1; vertex 1 (a corner of face +X) and
    // vertex 5 (of face -X) have bone 0.
    const std::vector<double> position = glbtest::Element(gltf, primitive.attributes.at("POSITION"), v);
    const std::vector<double> normal = glbtest::Element(gltf, primitive.attributes.at("NORMAL"), v);
    const bool stray = (position == std::vector<double>{1, 1, -1} && normal == std::vector<double>{1, 0, 0}) ||
                       (position == std::vector<double>{-1, -1, -1} && normal == std::vector<double>{-1, 0, 0});
    EXPECT_EQ(glbtest::Element(gltf, primitive.attributes.at("JOINTS_0"), v)[0], stray ? 0 : 1) << v;
    EXPECT_EQ(glbtest::Element(gltf, primitive.attributes.at("WEIGHTS_0"), v)[0], 255);
  }
}

TEST(GlbBadData, ParentThatIsNotAnEarlierBoneHangsOnTheRoot) {
  tb::ModelDescription model = SampleModel(37);
  model.bones[1].parent = 2;  // elbow on wrist, wrist on elbow: a loop
  const Loaded loaded(model);
  const GlbResult glb = loaded.Glb();
  ASSERT_TRUE(glb.built);
  EXPECT_FALSE(glb.hadErrors);  // a note, not bad data
  ASSERT_EQ(glb.messages.size(), 1u);
  EXPECT_TRUE(StartsWith(glb.messages[0], "glb skeleton bone 1: test.mdl: bone parent index at offset "))
      << glb.messages[0];
  // The lower level's file has the same skeleton and does not say it again.
  const GlbResult lower = loaded.Glb(1);
  EXPECT_EQ(lower.meshNodes, 1);
  EXPECT_TRUE(lower.messages.empty());
  const tinygltf::Model gltf = glbtest::ReadGlb(glb.bytes);
  const int root = glbtest::NodeNamed(gltf, "sample/arm.mdl");
  EXPECT_EQ(gltf.nodes[static_cast<size_t>(root)].children,
            (std::vector<int>{glbtest::NodeNamed(gltf, "shoulder"), glbtest::NodeNamed(gltf, "elbow")}));
  EXPECT_EQ(gltf.nodes[static_cast<size_t>(glbtest::NodeNamed(gltf, "elbow"))].children,
            (std::vector<int>{glbtest::NodeNamed(gltf, "wrist")}));
}

TEST(GlbBadData, ValuesGltfCannotHoldAreReplacedAndCounted) {
  tb::ModelDescription model = tb::BoxModel(37);
  tb::SubModelDescription& box = model.bodyParts[0].subModels[0];
  box.vertices[0].position.y = std::numeric_limits<float>::quiet_NaN();
  box.vertices[1].normal = {0, 0, 0};
  box.vertices[2].normal = {0, 2, 0};
  model.animations[0].fps = 0;
  const GlbResult glb = Loaded(model).Glb();
  EXPECT_FALSE(glb.hadErrors);
  ASSERT_EQ(glb.messages.size(), 2u);
  EXPECT_EQ(glb.messages[0],
            "glb animation 0 \"idle\": frame rate 0 gives no increasing key times; they are timed at 30 frames per "
            "second\n");
  EXPECT_EQ(
      glb.messages[1],
      "glb: values glTF cannot hold were replaced: 1 numbers that are not finite, 2 normals not of unit length\n");
  const tinygltf::Model gltf = glbtest::ReadGlb(glb.bytes);
  const tinygltf::Primitive& primitive = gltf.meshes.at(0).primitives.at(0);
  const uint32_t first = glbtest::Scalars(gltf, primitive.indices).at(0);  // vertex 0, then 2 and 1
  EXPECT_EQ(glbtest::Element(gltf, primitive.attributes.at("POSITION"), first), (std::vector<double>{1, 0, -1}));
  EXPECT_EQ(glbtest::Element(gltf, primitive.attributes.at("NORMAL"), first + 1), (std::vector<double>{0, 1, 0}));
  EXPECT_EQ(glbtest::Element(gltf, primitive.attributes.at("NORMAL"), first + 2), (std::vector<double>{0, 0, 1}));
}

}  // namespace
