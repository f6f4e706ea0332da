// Shared pieces of the mesh export tests: a scratch folder to run in, built
// images wrapped as the tool's file views, and reading results back.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "io/output_file.h"
#include "formats/model_records.h"
#include "formats/strip_records.h"
#include "builder/model_builder.h"
#include "tests/support/loaded_model.h"
#include "tests/support/scratch_conversion.h"

// Runs each test's conversions into a fresh empty folder (removed afterwards),
// with the log going to "streams.log" there.
class MeshTest : public ::testing::Test {
 protected:
  // The conversion of a loaded model into the scratch folder, with a fresh status.
  Conversion& Conv(const LoadedModel& loaded) { return scratch.Of(loaded.model, loaded.strip); }
  bool HadErrors() const { return scratch.HadErrors(); }

  // Removes everything inside the scratch folder.
  void ClearScratch() const;
  // The whole text of a file in the scratch folder; fails the test when absent.
  std::string Text(const std::string& name) const;
  bool Exists(const std::string& name) const;
  // Every regular file below the scratch folder except the log, as relative paths.
  std::vector<std::string> Files() const;
  // The lines of "streams.log", each with its "\n".
  std::vector<std::string> LogLines() const;
  // What `write` puts into a fresh output file.
  std::string Capture(const std::function<void(OutputFile&)>& write);

  ScratchConversion scratch;
  const std::filesystem::path& scratch_ = scratch.path;
};

// Vertex i of the small test sub-models: position x = i (so an output line
// tells which vertex it shows), bone i - 1, y = 0.5, z = -i, normal (0, 0, 1),
// u = 0.25 * i, v = 0.25.
tb::VertexDescription NumberedVertex(int i);
std::vector<tb::VertexDescription> NumberedVertices(int count);

// A model of the given version with bones "root" and "child", textures "skin"
// and "metal", and one body part "body" holding `subModels`.
tb::ModelDescription ModelWith(int32_t version, std::vector<tb::SubModelDescription> subModels);
// A sub-model with one mesh (material 0) on NumberedVertices(count) and one
// level of detail per triangle list.
tb::SubModelDescription SubModelWith(const std::string& name, int vertexCount,
                                     const std::vector<std::vector<uint16_t>>& lodTriangleLists);
