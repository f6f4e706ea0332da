// 150 generated models of every version, tiny to medium, some with stray far
// vertices, triangles without area, only bones, nothing at all or damaged
// bytes, in one batch with -preview: every picture written shows something,
// and every model without one says why in its log.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/batch/batch_support.h"
#include "tests/tool_runner/tool_runner.h"
#include "tools/sample_model.h"

namespace {

// A grid of columns x rows vertices in the XY plane, two triangles per cell.
tb::SubModelDescription GridSubModel(int columns, int rows) {
  tb::SubModelDescription sub;
  sub.name = "grid";
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < columns; ++x)
      sub.vertices.push_back({0, {float(x), float(y), 0.1f * float((x * 7 + y * 3) % 5)}, {0, 0, 1}, 0, 0});
  std::vector<uint16_t> triangles;
  for (int y = 0; y + 1 < rows; ++y)
    for (int x = 0; x + 1 < columns; ++x) {
      const auto at = [columns](int cx, int cy) { return static_cast<uint16_t>(cy * columns + cx); };
      for (uint16_t k : {at(x, y), at(x + 1, y), at(x + 1, y + 1), at(x, y), at(x + 1, y + 1), at(x, y + 1)})
        triangles.push_back(k);
    }
  sub.meshes.push_back(tb::MeshDescription{});
  sub.lods.push_back(tb::TriangleLod(0, triangles));
  return sub;
}

// Every vertex of every sub-model.
template <typename Change>
void EachVertex(tb::ModelDescription& model, Change change) {
  int index = 0;
  for (tb::BodyPartDescription& part : model.bodyParts)
    for (tb::SubModelDescription& sub : part.subModels)
      for (tb::VertexDescription& vertex : sub.vertices) change(vertex.position, index++);
}

// No bones, and nothing that names one.
void WithoutBones(tb::ModelDescription& model) {
  model.bones.clear();
  model.animations.clear();
  model.sequences.clear();
  model.hitboxSets.clear();
  model.attachments.clear();
}

// Model `variant` of version `version`; sets `damaged` when its bytes are cut.
tb::BuiltModel Variant(int variant, int32_t version) {
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  tb::ModelDescription model = SampleModel(version);
  bool cutStrip = false;
  switch (variant) {
    case 0: break;  // as bundled
    case 1: EachVertex(model, [](tb::Vec3& p, int) { p = {p.x * 1e-6f, p.y * 1e-6f, p.z * 1e-6f}; }); break;
    case 2: EachVertex(model, [](tb::Vec3& p, int k) { if (k == 5) p.x = 1e5f; }); break;
    case 3: EachVertex(model, [](tb::Vec3& p, int k) { if (k == 0) p = {1e10f, -1e10f, 1e10f}; }); break;
    case 4: EachVertex(model, [](tb::Vec3& p, int k) { if (k == 3 || k == 30) p.z = k == 3 ? -1e7f : 1e8f; }); break;
    case 5: EachVertex(model, [](tb::Vec3& p, int) { p = {1, 2, 3}; }); break;       // every triangle a point
    case 6: EachVertex(model, [](tb::Vec3& p, int k) { p = {float(k), 0, 0}; }); break;  // on one line
    case 7: model.bodyParts.push_back({"grid", {GridSubModel(40, 30)}, std::nullopt}); break;
    case 8:
      model.bodyParts.push_back({"grid", {GridSubModel(60, 50)}, std::nullopt});
      model.bodyParts.back().subModels[0].vertices[17].position = {3e9f, 3e9f, -3e9f};
      break;
    case 9: model.bodyParts.clear(); break;  // the bones alone
    case 10:
      model.bodyParts.clear();
      model.bones[2].position = {0, 0, 1e9f};
      break;
    case 11:  // nothing to draw
      model.bodyParts.clear();
      WithoutBones(model);
      break;
    case 12: EachVertex(model, [kNaN](tb::Vec3& p, int) { p.y = kNaN; }); break;  // the bones instead
    case 13:  // nothing finite at all
      EachVertex(model, [kNaN](tb::Vec3& p, int) { p.y = kNaN; });
      WithoutBones(model);
      break;
    default: cutStrip = true; break;
  }
  tb::BuiltModel built = tb::BuildModel(model);
  if (cutStrip) built.strip.bytes.resize(built.strip.bytes.size() / 2);
  return built;
}

// True when the PNG file decodes and has a pixel that is not transparent.
bool ShowsSomething(const fs::path& file) {
  const std::string bytes = ReadFileText(file);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return false;
  image.format = PNG_FORMAT_RGBA;
  std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return false;
  for (size_t i = 3; i < pixels.size(); i += 4)
    if (pixels[i] != 0) return true;
  return false;
}

TEST(BatchPictures, EveryPictureShowsSomethingAndEveryModelWithoutOneSaysWhy) {
  ScratchDir dir;
  constexpr int kVariants = 15;
  for (int32_t version = 28; version <= 37; ++version)
    for (int variant = 0; variant < kVariants; ++variant) {
      const fs::path base = dir.path / "in" / ("v" + std::to_string(version)) / ("model" + std::to_string(variant));
      fs::create_directories(base.parent_path());
      tb::WriteModelFiles(Variant(variant, version), base.parent_path().string(), base.filename().string());
    }

  RunTool(dir.path, {"-batch", "in", "-out", "out", "-preview", "-quiet"});
  const nlohmann::json report = ReadReport(dir.path / "out");
  ASSERT_EQ(report["models"].size(), 10u * kVariants);
  int pictures = 0, farLines = 0, edgeLines = 0;
  for (const nlohmann::json& model : report["models"]) {
    const std::string input = model["input"];
    const fs::path folder = dir.path / "out" / model["output"].get<std::string>();
    const std::string log = ReadFileText(folder / "streams.log");
    const bool damaged = log.find("Bad data: ") != std::string::npos;
    if (fs::exists(folder / "preview.png")) {
      ++pictures;
      EXPECT_TRUE(ShowsSomething(folder / "preview.png")) << input;
    } else {
      EXPECT_TRUE(damaged || log.find("preview.png: nothing to draw: ") != std::string::npos) << input << "\n" << log;
    }
    farLines += log.find(" far from the rest of the model left out of the frame\n") != std::string::npos;
    edgeLines += log.find("preview.png: the triangles show no area: drawn as edges\n") != std::string::npos;
  }
  // Variants 0-10 and 12 draw (12 of 15), for every version; the cut strip
  // file (14) is damaged before the picture.
  EXPECT_EQ(pictures, 10 * 12);
  EXPECT_EQ(farLines, 10 * 5);   // variants 2, 3, 4, 8 and 10
  EXPECT_EQ(edgeLines, 10 * 2);  // variants 5 and 6
}

}  // namespace
