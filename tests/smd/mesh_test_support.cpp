#include "tests/smd/mesh_test_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>


void MeshTest::ClearScratch() const {
  for (const auto& entry : std::filesystem::directory_iterator(scratch_)) std::filesystem::remove_all(entry.path());
}

std::string MeshTest::Text(const std::string& name) const {
  std::ifstream in(scratch_ / name, std::ios::binary);
  EXPECT_TRUE(in.good()) << "missing file " << name;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool MeshTest::Exists(const std::string& name) const { return std::filesystem::exists(scratch_ / name); }

std::vector<std::string> MeshTest::Files() const {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(scratch_)) {
    if (!entry.is_regular_file()) continue;
    std::string relative = std::filesystem::relative(entry.path(), scratch_).string();
    if (relative != "streams.log") files.push_back(relative);
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> MeshTest::LogLines() const {
  std::vector<std::string> lines;
  if (!Exists("streams.log")) return lines;
  std::string text = Text("streams.log");
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

std::string MeshTest::Capture(const std::function<void(OutputFile&)>& write) {
  OutputFile out;
  EXPECT_EQ(OpenOutputFile(scratch.conv.to, out, "capture.txt"), OpenResult::Opened);
  write(out);
  EXPECT_TRUE(CloseOutputFile(scratch.conv.to, out));
  std::string text = Text("capture.txt");
  std::filesystem::remove(scratch_ / "capture.txt");
  return text;
}

tb::VertexDescription NumberedVertex(int i) {
  tb::VertexDescription v;
  v.bone = static_cast<int16_t>(i - 1);
  v.position = {static_cast<float>(i), 0.5f, static_cast<float>(-i)};
  v.normal = {0, 0, 1};
  v.u = 0.25f * static_cast<float>(i);
  v.v = 0.25f;
  return v;
}

std::vector<tb::VertexDescription> NumberedVertices(int count) {
  std::vector<tb::VertexDescription> vertices;
  for (int i = 0; i < count; ++i) vertices.push_back(NumberedVertex(i));
  return vertices;
}

tb::ModelDescription ModelWith(int32_t version, std::vector<tb::SubModelDescription> subModels) {
  tb::ModelDescription model;
  model.version = version;
  model.bones = {{"root", -1, {}, {}}, {"child", 0, {0, 0, 10}, {}}};
  model.textures = {"skin", "metal"};
  model.bodyParts = {{"body", std::move(subModels), std::nullopt}};
  return model;
}

tb::SubModelDescription SubModelWith(const std::string& name, int vertexCount,
                                     const std::vector<std::vector<uint16_t>>& lodTriangleLists) {
  tb::SubModelDescription subModel;
  subModel.name = name;
  subModel.meshes = {tb::MeshDescription{}};
  subModel.vertices = NumberedVertices(vertexCount);
  for (size_t k = 0; k < lodTriangleLists.size(); ++k)
    subModel.lods.push_back(tb::TriangleLod(static_cast<float>(k), lodTriangleLists[k]));
  return subModel;
}
