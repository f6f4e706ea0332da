// Shared pieces of the .glb tests: built models as the tool sees them, the
// .glb read back with tinygltf (an independent reader), its accessors as
// plain numbers, and the SMD files of the same model, written by the SMD
// writers and parsed, to compare against.
#pragma once

#include "tests/support/loaded_model.h"

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <array>
#include <map>
#include <string>
#include <vector>

#include "formats/model_records.h"
#include "formats/strip_records.h"
#include "gltf/gltf_export.h"
#include "builder/model_builder.h"

namespace glbtest {

// Both built images, viewed as the tool sees them after loading.
struct Loaded : LoadedModel {
  explicit Loaded(tb::BuiltModel images) : LoadedModel(std::move(images)) {}
  explicit Loaded(const tb::ModelDescription& description) : LoadedModel(tb::BuildModel(description)) {}
  // The main file (lod 0) or the file of lower level `lod`.
  GlbResult Glb(int32_t lod = 0) const { return BuildGlb(model, strip, "tamberlo tests", 0, nullptr, nullptr, lod); }
};

// The .glb parsed by tinygltf; a failed parse fails the test.
tinygltf::Model ReadGlb(const std::string& bytes);

// Element `i` of an accessor, each component as a double (integers as
// stored, not normalised); honours the buffer view's byte stride.
std::vector<double> Element(const tinygltf::Model& gltf, int accessor, size_t i);
// Every element of a SCALAR integer accessor.
std::vector<uint32_t> Scalars(const tinygltf::Model& gltf, int accessor);
// The node with this name; -1 when there is none.
int NodeNamed(const tinygltf::Model& gltf, const std::string& name);

// ---- SMD files -----------------------------------------------------------
struct SmdVertex {
  int bone = 0;
  std::array<double, 3> position{}, normal{};
  double u = 0, v = 0;
};
struct SmdTriangle {
  std::string material;
  std::array<SmdVertex, 3> corners;
};
struct SmdNode {
  std::string name;
  int parent = -1;
};
struct Smd {
  bool mesh = false;  // has a triangles section
  std::vector<SmdNode> nodes;
  // Per "time" block, per bone: position and angles.
  std::vector<std::vector<std::array<double, 6>>> frames;
  std::vector<SmdTriangle> triangles;
};
Smd ParseSmd(const std::string& text);

// The mesh and animation SMD files of the model, by file name, written in a
// scratch folder that is removed again.
std::map<std::string, std::string> SmdFiles(const Loaded& loaded);

// |value - printed| within the six-decimal rounding of the SMD text.
inline bool SameAsPrinted(double value, double printed) { return std::abs(value - printed) <= 5.0001e-7; }

}  // namespace glbtest
