// How the .glb is laid out: winding, exact vertex values, index and joint
// sizes, scenes and levels of detail, materials, static models.
#include <cmath>
#include <cstring>

#include "tests/gltf/glb_test_support.h"
#include "tools/sample_model.h"

namespace {

using glbtest::Element;
using glbtest::Loaded;

tinygltf::Model GlbOf(const tb::ModelDescription& description) {
  const GlbResult glb = Loaded(description).Glb();
  EXPECT_FALSE(glb.hadErrors);
  return glbtest::ReadGlb(glb.bytes);
}

std::array<double, 3> Vector(const std::vector<double>& v) { return {v.at(0), v.at(1), v.at(2)}; }

// For every triangle: the dot product of its geometric normal (the winding's,
// counter-clockwise front faces) with its corners' stored normal.
std::vector<double> WindingAgreement(const tinygltf::Model& gltf) {
  std::vector<double> dots;
  for (const tinygltf::Mesh& mesh : gltf.meshes) {
    for (const tinygltf::Primitive& primitive : mesh.primitives) {
      const std::vector<uint32_t> indices = glbtest::Scalars(gltf, primitive.indices);
      for (size_t t = 0; t + 2 < indices.size(); t += 3) {
        std::array<std::array<double, 3>, 3> p;
        for (size_t c = 0; c < 3; ++c)
          p[c] = Vector(Element(gltf, primitive.attributes.at("POSITION"), indices[t + c]));
        const std::array<double, 3> e1{p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
        const std::array<double, 3> e2{p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
        const std::array<double, 3> n = Vector(Element(gltf, primitive.attributes.at("NORMAL"), indices[t]));
        dots.push_back((e1[1] * e2[2] - e1[2] * e2[1]) * n[0] + (e1[2] * e2[0] - e1[0] * e2[2]) * n[1] +
                       (e1[0] * e2[1] - e1[1] * e2[0]) * n[2]);
      }
    }
  }
  return dots;
}

// The test box lists its strips counter-clockwise; the interleaved families
// store strips in the other winding (their SMD lists corners 0, 2, 1), so
// there the closed box of the family's own convention has its corners swapped.
tb::ModelDescription ClosedBox(int32_t version, bool familyWinding) {
  tb::ModelDescription model = tb::BoxModel(version);
  if (familyWinding && tb::FamilyForVersion(version) != tb::Family::Mode28To30) {
    std::vector<uint16_t>& indices = model.bodyParts[0].subModels[0].lods[0].meshes[0].groups[0].indices;
    for (size_t t = 0; t + 2 < indices.size(); t += 3) std::swap(indices[t + 1], indices[t + 2]);
  }
  return model;
}

TEST(GlbLayout, ClosedBoxFacesOutwardCounterClockwiseInEveryFamily) {
  for (int32_t version : {37, 33, 31, 30, 28}) {
    const std::vector<double> dots = WindingAgreement(GlbOf(ClosedBox(version, true)));
    ASSERT_EQ(dots.size(), 12u);
    for (double dot : dots) EXPECT_GT(dot, 0) << "version " << version;
  }
  // The writer follows the family's corner order, not a fixed one: the test
  // box as built is inside out for the interleaved families.
  for (double dot : WindingAgreement(GlbOf(ClosedBox(37, false)))) EXPECT_LT(dot, 0);
}

TEST(GlbLayout, VertexValuesAreTheStoredFloats) {
  for (int32_t version : {37, 29}) {
    tb::ModelDescription model = tb::BoxModel(version);
    tb::SubModelDescription& box = model.bodyParts[0].subModels[0];
    box.vertices[0] = {0, {0.1f, 1 / 3.0f, -7.25e-3f}, {0.6f, 0.8f, 0}, 0.3f, 0.7f};
    const tinygltf::Model gltf = GlbOf(model);
    const tinygltf::Primitive& primitive = gltf.meshes.at(0).primitives.at(0);
    // Vertex 0 of the sub-model is the first corner of the first triangle.
    const uint32_t first = glbtest::Scalars(gltf, primitive.indices).at(0);
    auto asFloats = [](const std::vector<double>& values) { return std::vector<float>(values.begin(), values.end()); };
    EXPECT_EQ(asFloats(Element(gltf, primitive.attributes.at("POSITION"), first)),
              (std::vector<float>{0.1f, 1 / 3.0f, -7.25e-3f}));
    EXPECT_EQ(asFloats(Element(gltf, primitive.attributes.at("NORMAL"), first)), (std::vector<float>{0.6f, 0.8f, 0}));
    // Top-left texture origin in the model file and in glTF alike: v as stored.
    EXPECT_EQ(asFloats(Element(gltf, primitive.attributes.at("TEXCOORD_0"), first)), (std::vector<float>{0.3f, 0.7f}));
  }
}

TEST(GlbLayout, IndexAndJointSizesFollowTheCounts) {
  // 65536 vertices in one mesh: strip vertex i reaches vertexBase + (int16)i.
  tb::ModelDescription model = tb::BoxModel(37);
  model.bones = tb::BoneChain(300);
  tb::SubModelDescription& big = model.bodyParts[0].subModels[0];
  big.vertices.clear();
  std::vector<uint16_t> triangles;
  for (int i = 0; i < 65536; ++i) {
    big.vertices.push_back({static_cast<int16_t>(i % 300), {static_cast<float>(i), 0, 0}, {0, 0, 1}, 0, 0});
    triangles.push_back(static_cast<uint16_t>(i));
  }
  triangles.push_back(0);
  triangles.push_back(1);  // 65538 entries, 21846 triangles
  big.meshes[0].vertexBase = 32768;
  big.lods = {tb::TriangleLod(0, triangles)};
  const tinygltf::Model gltf = GlbOf(model);
  const tinygltf::Primitive& primitive = gltf.meshes.at(0).primitives.at(0);
  EXPECT_EQ(gltf.accessors.at(static_cast<size_t>(primitive.indices)).componentType,
            TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
  const int joints = primitive.attributes.at("JOINTS_0");
  EXPECT_EQ(gltf.accessors.at(static_cast<size_t>(joints)).componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
  const std::vector<uint32_t> indices = glbtest::Scalars(gltf, primitive.indices);
  ASSERT_EQ(indices.size(), 65538u);
  // The last triangle's entries 0 and 1 in corner order 0, 2, 1: vertex 0 is
  // entry 0's, vertex 2 entry 1's.
  EXPECT_EQ(indices[65536], 2u);
  EXPECT_EQ(indices[65537], 0u);
  for (uint32_t k = 0; k < 65536; k += 4099) {
    // Vertices are numbered by first use, so corner k is vertex k; it is the
    // triangle's entry of corner order 0, 2, 1, which reaches model vertex
    // 32768 + (int16)entry.
    EXPECT_EQ(indices[k], k);
    const uint32_t entry = k % 3 == 0 ? k : k % 3 == 1 ? k + 1 : k - 1;
    const int modelVertex = 32768 + static_cast<int16_t>(entry);
    EXPECT_EQ(Element(gltf, primitive.attributes.at("POSITION"), k)[0], modelVertex);
    EXPECT_EQ(Element(gltf, joints, k)[0], modelVertex % 300);
  }
  // The box's 24 vertices with few bones: 16-bit indices, 8-bit joints.
  const tinygltf::Model box = GlbOf(tb::BoxModel(37));
  const tinygltf::Primitive& small = box.meshes.at(0).primitives.at(0);
  EXPECT_EQ(box.accessors.at(static_cast<size_t>(small.indices)).componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
  EXPECT_EQ(box.accessors.at(static_cast<size_t>(small.attributes.at("JOINTS_0"))).componentType,
            TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE);
}

// Importers show every node of a file: the main file holds level 0 alone,
// each lower level has a file of its own with the skeleton and no animations.
TEST(GlbLayout, EachFileShowsOneLevelOfDetail) {
  const Loaded loaded(SampleModel(37));
  const tinygltf::Model gltf = glbtest::ReadGlb(loaded.Glb().bytes);
  EXPECT_EQ(gltf.asset.generator, "tamberlo tests");
  ASSERT_EQ(gltf.scenes.size(), 1u);
  EXPECT_EQ(gltf.defaultScene, 0);
  const int root = glbtest::NodeNamed(gltf, "sample/arm.mdl");
  const int box = glbtest::NodeNamed(gltf, "arm_box"), plate = glbtest::NodeNamed(gltf, "plate");
  EXPECT_EQ(gltf.scenes[0].name, "sample/arm.mdl");
  EXPECT_EQ(gltf.scenes[0].nodes, (std::vector<int>{root, box, plate}));
  EXPECT_EQ(glbtest::NodeNamed(gltf, "lod1_arm_box"), -1);
  EXPECT_EQ(gltf.meshes.size(), 2u);
  EXPECT_EQ(gltf.animations.size(), 2u);

  const GlbResult lowerResult = loaded.Glb(1);
  EXPECT_EQ(lowerResult.meshNodes, 1);
  EXPECT_TRUE(lowerResult.messages.empty());
  const tinygltf::Model lower = glbtest::ReadGlb(lowerResult.bytes);
  ASSERT_EQ(lower.scenes.size(), 1u);
  EXPECT_EQ(lower.scenes[0].name, "sample/arm.mdl LOD 1");
  const int lod = glbtest::NodeNamed(lower, "lod1_arm_box");
  EXPECT_EQ(lower.scenes[0].nodes, (std::vector<int>{glbtest::NodeNamed(lower, "sample/arm.mdl"), lod}));
  EXPECT_EQ(lower.meshes.size(), 1u);
  EXPECT_EQ(lower.skins.at(0).joints, gltf.skins.at(0).joints);
  EXPECT_TRUE(lower.animations.empty());
  // A level no sub-model has draws nothing.
  EXPECT_EQ(loaded.Glb(2).meshNodes, 0);
  // The skinned mesh nodes carry no transform of their own.
  for (const auto& [file, node] : {std::pair{&gltf, box}, {&gltf, plate}, {&lower, lod}}) {
    EXPECT_TRUE(file->nodes[static_cast<size_t>(node)].rotation.empty());
    EXPECT_TRUE(file->nodes[static_cast<size_t>(node)].translation.empty());
  }
  // One material per texture name the meshes use, named after it.
  ASSERT_EQ(gltf.materials.size(), 2u);
  EXPECT_EQ(gltf.materials[0].name, "arm_skin");
  EXPECT_EQ(gltf.materials[1].name, "arm_metal");
  EXPECT_TRUE(gltf.images.empty());
}

TEST(GlbLayout, ModelWithoutBonesHasStaticMeshesUnderTheTurnedRoot) {
  tb::ModelDescription model = SampleModel(37);
  model.bones.clear();
  model.animations.clear();
  model.hitboxSets.clear();
  model.attachments.clear();
  const Loaded loaded(model);
  const tinygltf::Model gltf = glbtest::ReadGlb(loaded.Glb().bytes);
  EXPECT_TRUE(gltf.skins.empty());
  EXPECT_TRUE(gltf.animations.empty());
  const int root = glbtest::NodeNamed(gltf, "sample/arm.mdl");
  EXPECT_EQ(gltf.scenes.at(0).nodes, (std::vector<int>{root}));
  EXPECT_EQ(gltf.nodes[static_cast<size_t>(root)].children,
            (std::vector<int>{glbtest::NodeNamed(gltf, "arm_box"), glbtest::NodeNamed(gltf, "plate")}));
  const tinygltf::Model lower = glbtest::ReadGlb(loaded.Glb(1).bytes);
  const int lowerRoot = glbtest::NodeNamed(lower, "sample/arm.mdl");
  EXPECT_EQ(lower.scenes.at(0).nodes, (std::vector<int>{lowerRoot}));
  EXPECT_EQ(lower.nodes[static_cast<size_t>(lowerRoot)].rotation, gltf.nodes[static_cast<size_t>(root)].rotation);
  EXPECT_EQ(lower.nodes[static_cast<size_t>(lowerRoot)].children,
            (std::vector<int>{glbtest::NodeNamed(lower, "lod1_arm_box")}));
  EXPECT_EQ(gltf.meshes.at(0).primitives.at(0).attributes.count("JOINTS_0"), 0u);
}

}  // namespace
