#include "tests/gltf/glb_test_support.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "smd/anim_export.h"
#include "formats/layout.h"
#include "smd/mesh_export.h"
#include "tests/support/scratch_conversion.h"

namespace glbtest {

tinygltf::Model ReadGlb(const std::string& bytes) {
  tinygltf::TinyGLTF loader;
  tinygltf::Model gltf;
  std::string error, warning;
  const bool loaded =
      loader.LoadBinaryFromMemory(&gltf, &error, &warning, reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<unsigned int>(bytes.size()));
  EXPECT_TRUE(loaded) << error;
  EXPECT_EQ(warning, "");
  return gltf;
}

std::vector<double> Element(const tinygltf::Model& gltf, int accessorIndex, size_t i) {
  const tinygltf::Accessor& accessor = gltf.accessors.at(static_cast<size_t>(accessorIndex));
  const tinygltf::BufferView& view = gltf.bufferViews.at(static_cast<size_t>(accessor.bufferView));
  const std::vector<unsigned char>& data = gltf.buffers.at(static_cast<size_t>(view.buffer)).data;
  const int components = tinygltf::GetNumComponentsInType(static_cast<uint32_t>(accessor.type));
  const int size = tinygltf::GetComponentSizeInBytes(static_cast<uint32_t>(accessor.componentType));
  const size_t stride = view.byteStride != 0 ? view.byteStride : static_cast<size_t>(components * size);
  EXPECT_LT(i, accessor.count);
  const size_t at = view.byteOffset + accessor.byteOffset + i * stride;
  EXPECT_LE(at + static_cast<size_t>(components * size), data.size());
  std::vector<double> values;
  for (int c = 0; c < components; ++c) {
    const unsigned char* p = data.data() + at + static_cast<size_t>(c * size);
    switch (accessor.componentType) {
      case TINYGLTF_COMPONENT_TYPE_FLOAT: {
        float f;
        std::memcpy(&f, p, 4);
        values.push_back(f);
        break;
      }
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        values.push_back(p[0]);
        break;
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
        values.push_back(p[0] | (p[1] << 8));
        break;
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
        uint32_t u;
        std::memcpy(&u, p, 4);
        values.push_back(u);
        break;
      }
      default:
        ADD_FAILURE() << "unexpected component type " << accessor.componentType;
    }
  }
  return values;
}

std::vector<uint32_t> Scalars(const tinygltf::Model& gltf, int accessor) {
  std::vector<uint32_t> values;
  for (size_t i = 0; i < gltf.accessors.at(static_cast<size_t>(accessor)).count; ++i)
    values.push_back(static_cast<uint32_t>(Element(gltf, accessor, i).at(0)));
  return values;
}

int NodeNamed(const tinygltf::Model& gltf, const std::string& name) {
  for (size_t n = 0; n < gltf.nodes.size(); ++n)
    if (gltf.nodes[n].name == name) return static_cast<int>(n);
  return -1;
}

Smd ParseSmd(const std::string& text) {
  Smd smd;
  std::istringstream in(text);
  std::string line, section;
  SmdTriangle triangle;
  int corner = -1;  // -1: the next line is a material
  while (std::getline(in, line)) {
    if (line == "nodes" || line == "skeleton" || line == "triangles") {
      section = line;
      smd.mesh = smd.mesh || line == "triangles";
      continue;
    }
    if (line == "end" || line.rfind("version", 0) == 0) continue;
    std::istringstream fields(line);
    if (section == "nodes") {
      SmdNode node;
      int index;
      fields >> index;
      const size_t open = line.find('"'), close = line.rfind('"');
      node.name = line.substr(open + 1, close - open - 1);
      node.parent = std::stoi(line.substr(close + 1));
      smd.nodes.push_back(node);
    } else if (section == "skeleton") {
      if (line.rfind("time", 0) == 0) {
        smd.frames.emplace_back();
        continue;
      }
      int bone;
      std::array<double, 6> values{};
      fields >> bone;
      for (double& value : values) fields >> value;
      smd.frames.back().push_back(values);
    } else if (section == "triangles") {
      if (corner < 0) {
        triangle.material = line;
        corner = 0;
        continue;
      }
      SmdVertex& v = triangle.corners[static_cast<size_t>(corner)];
      fields >> v.bone >> v.position[0] >> v.position[1] >> v.position[2] >> v.normal[0] >> v.normal[1] >>
          v.normal[2] >> v.u >> v.v;
      if (++corner == 3) {
        smd.triangles.push_back(triangle);
        corner = -1;
      }
    }
  }
  return smd;
}

std::map<std::string, std::string> SmdFiles(const Loaded& loaded) {
  namespace fs = std::filesystem;
  ScratchConversion scratch;
  scratch.channel.toLogFile = false;
  Conversion& conv = scratch.Of(loaded.model, loaded.strip);
  ExportMeshes(conv);
  ExportAnimations(conv);
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(scratch.path)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    files[fs::relative(entry.path(), scratch.path).string()] = text.str();
  }
  return files;
}

}  // namespace glbtest
