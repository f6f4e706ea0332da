// Writes .glb files for checking them with other glTF tools:
//
//   make_glb <folder>                 the bundled sample, the test box and a
//                                     generated model with levels of detail,
//                                     each in all three version families
//   make_glb <folder> <model> ...     the given models (base names of
//                                     <model>.mdl and <model>.dx80.vtx)
//
// Each becomes <folder>/<name>.glb, and <folder>/<name>_lod<k>.glb for each
// lower level of detail it has; the writer's messages go to standard error.
// Exit status 1 when a model could not be read or its .glb was abandoned or
// reported bad data.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/layout.h"
#include "gltf/gltf_export.h"
#include "model/output_plan.h"
#include "builder/model_builder.h"
#include "tools/sample_model.h"

namespace {

constexpr const char* kGenerator = "Tamberlo make_glb";

// Levels of detail, two sub-models with several meshes and materials, more
// than 256 bones (16-bit joints), held and moving channels.
tb::ModelDescription GeneratedModel(int32_t version) {
  tb::ModelDescription model = SampleModel(version);
  model.name = "generated.mdl";
  std::vector<tb::BoneDescription> chain = tb::BoneChain(300);
  for (size_t b = 0; b < chain.size(); ++b) {
    chain[b].name = "joint" + std::to_string(b);
    chain[b].angles = {0.01f * static_cast<float>(b % 7), -0.02f * static_cast<float>(b % 5), 0.03f};
  }
  model.bones = chain;
  tb::SubModelDescription second = tb::BoxSubModel("second.smd", 1, 299);
  second.meshes.push_back(tb::MeshDescription{0, 0, -1, -1});
  second.lods[0].meshes.push_back(tb::StripMeshDescription{{tb::TriangleGroup({4, 5, 6, 4, 6, 7})}, std::nullopt});
  second.lods.push_back(tb::TriangleLod(10, {0, 1, 2}));
  second.lods[1].meshes.push_back(tb::StripMeshDescription{{tb::TriangleGroup({8, 9, 10})}, std::nullopt});
  model.bodyParts.push_back(tb::BodyPartDescription{"second", {second}, std::nullopt});
  tb::AnimationDescription walk;
  walk.name = "walk";
  walk.fps = 15;
  walk.frameCount = 40;
  for (int b = 0; b < 300; ++b) {
    tb::BoneAnimDescription track = tb::CodedBoneAnim(
        {tb::PerFrameStream(std::vector<int16_t>(40, static_cast<int16_t>(b))), tb::AxisStream{}, tb::AxisStream{}},
        {tb::ConstantStream(static_cast<int16_t>(b), 40), tb::AxisStream{},
         tb::PerFrameStream({0,    300,  600,  900,  1200, 1500, 1800,  2100,  2400,  2700,  3000,  3300, 3600, 3900,
                             4200, 4500, 4800, 5100, 5400, 5700, 6000,  6300,  6600,  6900,  7200,  7500, 7800, 8100,
                             8400, 8700, 9000, 9300, 9600, 9900, 10200, 10500, 10800, 11100, 11400, 11700})});
    walk.bones.push_back(track);
  }
  for (tb::BoneDescription& bone : model.bones) bone.angleScale = {0.001f, 0.001f, 0.001f};
  model.animations.push_back(walk);
  return model;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Builds and writes the .glb files of one model as the plan names them;
// false when one was abandoned or met bad data.
bool WriteGlb(const std::vector<uint8_t>& mdl, const std::vector<uint8_t>& vtx, const std::string& modelPath,
              const std::string& stripPath, const std::filesystem::path& out) {
  if (mdl.size() < 8) throw std::runtime_error(modelPath + " is too short");
  const ByteView modelBytes{mdl.data(), static_cast<int64_t>(mdl.size()), modelPath.c_str()};
  const ModelLayout* layout = LayoutForVersion(ReadModelVersion(modelBytes));
  if (layout == nullptr) throw std::runtime_error(modelPath + ": version not supported");
  const ModelFile model{modelBytes, layout};
  const StripFile strip{ByteView{vtx.data(), static_cast<int64_t>(vtx.size()), stripPath.c_str()}};
  const ModelGeometry geometry = WalkModelGeometry(model, strip);
  PlanChoice choice;
  choice.smd = false;
  choice.glbName = out.filename().string();
  bool good = true;
  for (const PlannedFile& planned : PlanOutputs(model, geometry, choice).files) {
    const int32_t lod = planned.kind == OutputKind::LodGlb ? planned.lod : 0;
    const GlbResult glb = BuildGlb(model, strip, kGenerator, 0, nullptr, &geometry, lod);
    for (const std::string& message : glb.messages) std::fputs(message.c_str(), stderr);
    if (!glb.built) return false;
    if (lod > 0 && glb.meshNodes == 0) continue;
    const std::filesystem::path path = out.parent_path() / planned.name;
    std::ofstream file(path, std::ios::binary);
    file.write(glb.bytes.data(), static_cast<std::streamsize>(glb.bytes.size()));
    if (!file) throw std::runtime_error("cannot write " + path.string());
    std::printf("%s: %lld bytes\n", path.string().c_str(), static_cast<long long>(glb.size));
    good = good && !glb.hadErrors;
  }
  return good;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_glb <folder> [<model base name> ...]\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  bool good = true;
  try {
    std::filesystem::create_directories(folder);
    if (argc == 2) {
      struct Named {
        const char* name;
        tb::ModelDescription (*make)(int32_t);
      } models[] = {{"sample", SampleModel}, {"box", tb::BoxModel}, {"generated", GeneratedModel}};
      for (const Named& model : models) {
        for (int32_t version : {37, 36, 29}) {
          const tb::BuiltModel built = tb::BuildModel(model.make(version));
          const std::string name = std::string(model.name) + "-v" + std::to_string(version);
          good = WriteGlb(built.model.bytes, built.strip.bytes, name + ".mdl", name + ".dx80.vtx",
                          folder / (name + ".glb")) &&
                 good;
        }
      }
    }
    for (int i = 2; i < argc; ++i) {
      const std::string base = argv[i];
      good = WriteGlb(ReadFile(base + ".mdl"), ReadFile(base + ".dx80.vtx"), base + ".mdl", base + ".dx80.vtx",
                      folder / (std::filesystem::path(base).filename().string() + ".glb")) &&
             good;
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "make_glb: %s\n", error.what());
    return 1;
  }
  return good ? 0 : 1;
}
