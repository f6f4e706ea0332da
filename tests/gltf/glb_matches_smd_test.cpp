// The .glb holds what the SMD files of the same model hold: every joint and
// its rest pose, every triangle in order with its vertices and material, and
// every animation key; in all three version families. The .glb is read back
// with tinygltf, the SMD files are written by the SMD writers and parsed.
#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

#include "mathlib/rotation.h"
#include "tests/gltf/glb_test_support.h"
#include "tools/sample_model.h"

namespace {

using glbtest::Element;
using glbtest::Loaded;
using glbtest::SameAsPrinted;
using glbtest::Smd;

// Two body parts, meshes with their own materials and vertex bases, a strip
// vertex below its mesh's base, a sub-model with three levels of detail, one
// without vertices; an animation with raw, coded, moving and held bones and
// one of a single frame.
tb::ModelDescription MixedModel(int32_t version) {
  tb::ModelDescription model;
  model.version = version;
  model.name = "mixed.mdl";
  model.bones = {{"root", -1, {0, 0, 1.5f}, {0, 0, -1.5f}},
                 {"child", 0, {2, 0, 0}, {0.25f, 0.1f, -0.3f}},
                 {"tip", 1, {1 / 3.0f, 0.1f, 0}, {-0.7f, 0.2f, 0.9f}}};
  model.bones[1].angleScale = {0.001f, 0.001f, 0.001f};
  model.bones[1].positionScale = {0.01f, 0.01f, 0.01f};
  model.textures = {"skin", "t1", "t2", "metal"};
  tb::SubModelDescription shape;
  shape.name = "shape.mdl";
  shape.vertices = {{0, {1, 2, 3}, {0, 0, 1}, 0, 0},
                    {1, {-1, 0.5f, 0}, {0, -1, 0}, 1, 0.25f},
                    {2, {0, 0, -2.5f}, {1, 0, 0}, 0.5f, 1},
                    {1, {4, 4, 4}, {0.6f, 0.8f, 0}, 0.75f, -0.5f}};
  shape.meshes = {{3, 0}, {0, 2}};  // {material, vertexBase}
  tb::StripGroupDescription second{{0, 1, -2}, {0, 1, 2, 2, 1, 0, 1}, {{7, 0}}, std::nullopt};
  shape.lods = {tb::LodDescription{0,
                                   {tb::StripMeshDescription{{tb::TriangleGroup({0, 1, 2})}, std::nullopt},
                                    tb::StripMeshDescription{{second}, std::nullopt}}}};
  tb::SubModelDescription arm = tb::BoxSubModel("arm.smd", 1, 2);
  arm.lods.push_back(tb::TriangleLod(20, {0, 1, 2, 4, 5, 6, 8, 9, 10}));
  arm.lods.push_back(tb::TriangleLod(40, {12, 13, 14}));
  tb::SubModelDescription empty;
  empty.name = "none";
  model.bodyParts = {{"torso", {shape}, std::nullopt}, {"limbs", {arm, empty}, std::nullopt}};

  tb::AnimationDescription swing;
  swing.name = "swing";
  swing.fps = 24;
  swing.frameCount = 5;
  swing.bones.push_back(tb::RawBoneAnim({1, 2, 3}, {0.1825742f, 0.3651484f, 0.5477226f, 0.7302967f}));
  tb::BoneAnimDescription child =
      tb::CodedBoneAnim({tb::PerFrameStream({0, 50, 100, 150, 200}), tb::AxisStream{}, tb::AxisStream{}},
                        {tb::AxisStream{}, tb::AxisStream{}, tb::PerFrameStream({0, 200, 400, 600, 800})});
  swing.bones.push_back(child);
  swing.bones.push_back(tb::CodedBoneAnim({tb::AxisStream{}, tb::AxisStream{}, tb::AxisStream{}},
                                          {tb::ConstantStream(300, 5), tb::AxisStream{}, tb::AxisStream{}}));
  tb::AnimationDescription still;
  still.name = "still";
  still.fps = 30;
  still.frameCount = 1;
  model.animations = {swing, still};
  return model;
}

// Long enough that its bones are sampled on several threads.
tb::ModelDescription LongModel(int32_t version) {
  tb::ModelDescription model = tb::BoxModel(version);
  model.bones = tb::BoneChain(30);
  tb::AnimationDescription& anim = model.animations[0];
  anim.name = "long";
  anim.fps = 60;
  anim.frameCount = 1000;
  anim.bones.clear();
  for (int b = 0; b < 30; ++b) {
    model.bones[static_cast<size_t>(b)].angleScale = {0.0005f, 0.0005f, 0.0005f};
    std::vector<int16_t> x, z;
    for (int f = 0; f < 1000; ++f) {
      x.push_back(static_cast<int16_t>(3000 * std::sin(0.01 * f + b)));
      z.push_back(static_cast<int16_t>(2000 * std::cos(0.017 * f - b)));
    }
    anim.bones.push_back(tb::CodedBoneAnim(
        {b == 0 ? tb::PerFrameStream(x) : tb::AxisStream{}, {}, {}},
        {tb::PerFrameStream(x), tb::ConstantStream(static_cast<int16_t>(b), 1000), tb::PerFrameStream(z)}));
  }
  return model;
}

tb::ModelDescription Describe(const std::string& kind, int32_t version) {
  if (kind == "sample") return SampleModel(version);
  if (kind == "box") return tb::BoxModel(version);
  if (kind == "long") return LongModel(version);
  return MixedModel(version);
}

class GlbMatchesSmd : public ::testing::TestWithParam<std::tuple<const char*, int32_t>> {
 protected:
  void SetUp() override {
    description_ = Describe(std::get<0>(GetParam()), std::get<1>(GetParam()));
    loaded_ = std::make_unique<Loaded>(description_);
    const GlbResult glb = loaded_->Glb();
    ASSERT_TRUE(glb.built);
    EXPECT_FALSE(glb.hadErrors);
    EXPECT_TRUE(glb.messages.empty()) << glb.messages.front();
    gltf_ = glbtest::ReadGlb(glb.bytes);
    levels_[0] = gltf_;
    for (int32_t lod = 1; lod <= 8; ++lod) {
      const GlbResult lower = loaded_->Glb(lod);
      EXPECT_TRUE(lower.messages.empty()) << lower.messages.front();
      if (lower.meshNodes > 0) levels_[lod] = glbtest::ReadGlb(lower.bytes);
    }
    for (const auto& [name, text] : glbtest::SmdFiles(*loaded_)) smd_[name] = glbtest::ParseSmd(text);
    ASSERT_EQ(gltf_.skins.size(), 1u);
    joints_ = gltf_.skins[0].joints;
    for (size_t n = 0; n < gltf_.nodes.size(); ++n)
      for (int child : gltf_.nodes[n].children) parent_[child] = static_cast<int>(n);
  }

  const Smd& AnyMeshSmd() const {
    for (const auto& [name, smd] : smd_)
      if (smd.mesh) return smd;
    throw std::logic_error("no mesh SMD");
  }

  tb::ModelDescription description_;
  std::unique_ptr<Loaded> loaded_;
  tinygltf::Model gltf_;
  std::map<int32_t, tinygltf::Model> levels_;  // the main file as 0, the file of each lower level
  std::map<std::string, Smd> smd_;
  std::vector<int> joints_;
  std::map<int, int> parent_;
};

Quaternion QuaternionOfPrinted(const std::array<double, 6>& line) {
  Quaternion q;
  AnglesToQuaternion(Vector3{static_cast<float>(line[3]), static_cast<float>(line[4]), static_cast<float>(line[5])}, q);
  return q;
}

// q and -q are one rotation.
void ExpectRotation(const std::vector<double>& rotation, const Quaternion& expected, const std::string& what) {
  ASSERT_EQ(rotation.size(), 4u) << what;
  double dot = 0;
  for (int i = 0; i < 4; ++i) dot += rotation[static_cast<size_t>(i)] * expected[i];
  const double sign = dot < 0 ? -1 : 1;
  for (int i = 0; i < 4; ++i)
    EXPECT_NEAR(rotation[static_cast<size_t>(i)], sign * expected[i], 1e-6) << what << " " << i;
}

// R = Rz * Ry * Rx of radian angles, as a 4x4 row-major matrix in double.
std::array<std::array<double, 4>, 4> EulerMatrix(const std::array<double, 6>& line) {
  const double cx = std::cos(line[3]), sx = std::sin(line[3]), cy = std::cos(line[4]), sy = std::sin(line[4]),
               cz = std::cos(line[5]), sz = std::sin(line[5]);
  return {{{cz * cy, cz * sy * sx - sz * cx, cz * sy * cx + sz * sx, line[0]},
           {sz * cy, sz * sy * sx + cz * cx, sz * sy * cx - cz * sx, line[1]},
           {-sy, cy * sx, cy * cx, line[2]},
           {0, 0, 0, 1}}};
}

std::array<std::array<double, 4>, 4> Product(const std::array<std::array<double, 4>, 4>& a,
                                             const std::array<std::array<double, 4>, 4>& b) {
  std::array<std::array<double, 4>, 4> p{};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      for (int k = 0; k < 4; ++k) p[r][c] += a[r][k] * b[k][c];
  return p;
}

TEST_P(GlbMatchesSmd, JointsAndRestPoseAreTheSkeletonBlocks) {
  const Smd& smd = AnyMeshSmd();
  ASSERT_EQ(joints_.size(), smd.nodes.size());
  ASSERT_EQ(smd.frames.size(), 1u);
  const int root = gltf_.scenes.at(static_cast<size_t>(gltf_.defaultScene)).nodes.at(0);
  const double half = std::sqrt(0.5);
  ExpectRotation(gltf_.nodes[static_cast<size_t>(root)].rotation,
                 Quaternion{static_cast<float>(-half), 0, 0, static_cast<float>(half)}, "root");
  std::vector<std::array<std::array<double, 4>, 4>> world;
  for (size_t b = 0; b < joints_.size(); ++b) {
    const tinygltf::Node& node = gltf_.nodes[static_cast<size_t>(joints_[b])];
    const std::array<double, 6>& rest = smd.frames[0][b];
    EXPECT_EQ(node.name, smd.nodes[b].name);
    const int parent = smd.nodes[b].parent;
    EXPECT_EQ(parent_.at(joints_[b]), parent < 0 ? root : joints_[static_cast<size_t>(parent)]) << node.name;
    ASSERT_EQ(node.translation.size(), 3u);
    for (size_t axis = 0; axis < 3; ++axis) {
      EXPECT_TRUE(SameAsPrinted(node.translation[axis], rest[axis])) << node.name << " " << axis;
    }
    // The stored floats themselves, not only their printed form.
    const tb::Vec3& stored = description_.bones[b].position;
    EXPECT_EQ(node.translation, (std::vector<double>{stored.x, stored.y, stored.z}));
    ExpectRotation(node.rotation, QuaternionOfPrinted(rest), node.name);

    // The inverse bind matrix undoes the rest pose built from the SMD's
    // Euler angles, a route independent of the quaternions.
    world.push_back(parent < 0 ? EulerMatrix(rest) : Product(world[static_cast<size_t>(parent)], EulerMatrix(rest)));
    const std::vector<double> m = Element(gltf_, gltf_.skins[0].inverseBindMatrices, b);
    std::array<std::array<double, 4>, 4> inverse{};
    for (int c = 0; c < 4; ++c)
      for (int r = 0; r < 4; ++r) inverse[r][c] = m[static_cast<size_t>(4 * c + r)];
    const auto identity = Product(inverse, world.back());
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) EXPECT_NEAR(identity[r][c], r == c ? 1 : 0, 2e-5) << node.name << r << c;
  }
}

TEST_P(GlbMatchesSmd, TrianglesAreTheMeshFilesInOrder) {
  size_t meshFiles = 0;
  for (const auto& [file, smd] : smd_) {
    if (!smd.mesh) continue;
    ++meshFiles;
    const std::string name = file.substr(0, file.size() - 4);
    // Level 0 is in the main file, level k in the file of level k; each
    // file's one scene shows its level.
    const int32_t level = name.rfind("lod", 0) == 0 ? std::stoi(name.substr(3)) : 0;
    ASSERT_EQ(levels_.count(level), 1u) << name;
    const tinygltf::Model& gltf = levels_.at(level);
    const int node = glbtest::NodeNamed(gltf, name);
    ASSERT_GE(node, 0) << name;
    EXPECT_EQ(gltf.nodes[static_cast<size_t>(node)].skin, 0);
    ASSERT_EQ(gltf.scenes.size(), 1u);
    const std::vector<int>& shown = gltf.scenes[0].nodes;
    EXPECT_NE(std::find(shown.begin(), shown.end(), node), shown.end()) << name;
    const tinygltf::Mesh& mesh = gltf.meshes.at(static_cast<size_t>(gltf.nodes[static_cast<size_t>(node)].mesh));
    size_t t = 0;
    for (const tinygltf::Primitive& primitive : mesh.primitives) {
      const std::vector<uint32_t> indices = glbtest::Scalars(gltf, primitive.indices);
      ASSERT_EQ(indices.size() % 3, 0u);
      for (size_t k = 0; k < indices.size(); ++k) {
        ASSERT_LT(t + k / 3, smd.triangles.size()) << name;
        const glbtest::SmdTriangle& triangle = smd.triangles[t + k / 3];
        EXPECT_EQ(gltf.materials.at(static_cast<size_t>(primitive.material)).name + ".bmp", triangle.material);
        const glbtest::SmdVertex& expected = triangle.corners[k % 3];
        const auto attribute = [&](const char* semantic) {
          return Element(gltf, primitive.attributes.at(semantic), indices[k]);
        };
        const std::vector<double> position = attribute("POSITION"), normal = attribute("NORMAL"),
                                  texCoord = attribute("TEXCOORD_0");
        for (size_t axis = 0; axis < 3; ++axis) {
          EXPECT_TRUE(SameAsPrinted(position[axis], expected.position[axis])) << name << " corner " << k;
          EXPECT_TRUE(SameAsPrinted(normal[axis], expected.normal[axis])) << name << " corner " << k;
        }
        // The SMD writes -v for its bottom-left texture origin.
        EXPECT_TRUE(SameAsPrinted(texCoord[0], expected.u));
        EXPECT_TRUE(SameAsPrinted(-texCoord[1], expected.v));
        EXPECT_EQ(attribute("JOINTS_0"), (std::vector<double>{static_cast<double>(expected.bone), 0, 0, 0}));
        EXPECT_EQ(attribute("WEIGHTS_0"), (std::vector<double>{255, 0, 0, 0}));
      }
      t += indices.size() / 3;
    }
    EXPECT_EQ(t, smd.triangles.size()) << name;
  }
  EXPECT_GT(meshFiles, 0u);
  size_t meshes = 0;
  for (const auto& [level, gltf] : levels_) meshes += gltf.meshes.size();
  EXPECT_EQ(meshes, meshFiles);
}

TEST_P(GlbMatchesSmd, KeysAreTheAnimationFiles) {
  size_t animations = 0;
  for (const auto& [file, smd] : smd_) {
    if (smd.mesh) continue;
    ++animations;
    const std::string name = file.substr(0, file.size() - 4);
    const tinygltf::Animation* animation = nullptr;
    for (const tinygltf::Animation& a : gltf_.animations)
      if (a.name == name) animation = &a;
    ASSERT_NE(animation, nullptr) << name;
    float fps = 0;
    for (const tb::AnimationDescription& a : description_.animations)
      if (a.name == name) fps = a.fps;
    ASSERT_EQ(animation->channels.size(), 2 * joints_.size());
    std::set<std::pair<int, std::string>> targets;
    for (const tinygltf::AnimationChannel& channel : animation->channels) {
      targets.emplace(channel.target_node, channel.target_path);
      const size_t bone =
          static_cast<size_t>(std::find(joints_.begin(), joints_.end(), channel.target_node) - joints_.begin());
      ASSERT_LT(bone, joints_.size());
      const tinygltf::AnimationSampler& sampler = animation->samplers.at(static_cast<size_t>(channel.sampler));
      EXPECT_EQ(sampler.interpolation, "LINEAR");
      const size_t keys = gltf_.accessors.at(static_cast<size_t>(sampler.output)).count;
      // A channel that holds has its value at the first and the last frame,
      // so the clip lasts (frames - 1) / fps seconds.
      const size_t frames = smd.frames.size();
      const bool held = keys < frames;
      ASSERT_TRUE(keys == frames || keys == std::min<size_t>(2, frames)) << name << " bone " << bone;
      if (held) {
        EXPECT_EQ(Element(gltf_, sampler.input, 1)[0], static_cast<float>((frames - 1) / static_cast<double>(fps)));
      }
      for (size_t f = 0; f < frames; ++f) {
        const size_t key = held ? 0 : f;
        EXPECT_EQ(Element(gltf_, sampler.input, key)[0], static_cast<float>(key / static_cast<double>(fps)));
        const std::vector<double> value = Element(gltf_, sampler.output, key);
        const std::array<double, 6>& line = smd.frames[f][bone];
        if (channel.target_path == "translation") {
          for (size_t axis = 0; axis < 3; ++axis) EXPECT_TRUE(SameAsPrinted(value[axis], line[axis]));
        } else {
          ExpectRotation(value, QuaternionOfPrinted(line), name + " frame " + std::to_string(f));
        }
      }
    }
    EXPECT_EQ(targets.size(), animation->channels.size()) << "one channel per bone and path";
  }
  EXPECT_EQ(gltf_.animations.size(), animations);
}

// Positions are the sampled floats themselves: a raw position as stored, a
// coded one reference + value * scale rounded once to float, an axis without
// a stream the reference.
TEST(GlbKeys, PositionsAreTheSampledFloats) {
  for (int32_t version : {37, 29}) {
    const Loaded loaded(MixedModel(version));
    const tinygltf::Model gltf = glbtest::ReadGlb(loaded.Glb().bytes);
    const tinygltf::Animation& swing = gltf.animations.at(0);
    ASSERT_EQ(swing.name, "swing");
    const std::vector<int>& joints = gltf.skins.at(0).joints;
    auto translationKey = [&](int bone, size_t frame) {
      for (const tinygltf::AnimationChannel& channel : swing.channels) {
        if (channel.target_node != joints[static_cast<size_t>(bone)] || channel.target_path != "translation") continue;
        const int output = swing.samplers[static_cast<size_t>(channel.sampler)].output;
        const size_t keys = gltf.accessors[static_cast<size_t>(output)].count;
        const std::vector<double> value = Element(gltf, output, keys < 5 ? 0 : frame);
        return std::vector<float>(value.begin(), value.end());
      }
      return std::vector<float>();
    };
    const int16_t stored[5] = {0, 50, 100, 150, 200};
    for (size_t f = 0; f < 5; ++f) {
      EXPECT_EQ(translationKey(0, f), (std::vector<float>{1, 2, 3}));
      const float x = static_cast<float>(2.0 + stored[f] * static_cast<double>(0.01f));
      EXPECT_EQ(translationKey(1, f), (std::vector<float>{x, 0, 0}));
      EXPECT_EQ(translationKey(2, f), (std::vector<float>{1 / 3.0f, 0.1f, 0}));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Families, GlbMatchesSmd,
                         ::testing::Combine(::testing::Values("sample", "box", "mixed", "long"),
                                            ::testing::Values(37, 36, 29)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param)) + "_v" + std::to_string(std::get<1>(info.param));
                         });

}  // namespace
