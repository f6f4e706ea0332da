// Throughput of the mesh export on a large model. Disabled by default; run
// with --gtest_also_run_disabled_tests --gtest_filter='*Throughput*'.
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "smd/mesh_export.h"
#include "tests/smd/mesh_test_support.h"

namespace {

TEST_F(MeshTest, DISABLED_Throughput) {
  constexpr int kVertices = 30000;
  constexpr int kTrianglesPerMesh = 60000;
  constexpr int kMeshes = 4;
  tb::SubModelDescription big;
  big.name = "big";
  uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / static_cast<float>(1 << 24);
  };
  for (int i = 0; i < kVertices; ++i) {
    tb::VertexDescription v;
    v.bone = static_cast<int16_t>(i % 40);
    v.position = {next() * 200 - 100, next() * 200 - 100, next() * 50};
    v.normal = {next() * 2 - 1, next() * 2 - 1, next() * 2 - 1};
    v.u = next();
    v.v = next();
    big.vertices.push_back(v);
  }
  tb::LodDescription lod;
  for (int m = 0; m < kMeshes; ++m) {
    big.meshes.push_back({m % 2, 0});
    std::vector<uint16_t> list;
    // Corners near each other, walking through the vertex array, as a mesh
    // optimised for drawing has them.
    for (int t = 0; t < 3 * kTrianglesPerMesh; ++t) {
      int near = t / 6 + static_cast<int>(next() * 16);
      list.push_back(static_cast<uint16_t>(near % kVertices));
    }
    lod.meshes.push_back({{tb::TriangleGroup(list)}, std::nullopt});
  }
  big.lods = {lod};
  for (int32_t version : {37, 28}) {
    LoadedModel loaded(tb::BuildModel(ModelWith(version, {big})));
    auto start = std::chrono::steady_clock::now();
    ExportMeshes(Conv(loaded));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double megabytes = static_cast<double>(std::filesystem::file_size("big.smd")) / 1e6;
    std::printf("version %d: %.1f MB of mesh text in %.3f s: %.1f MB/s\n", version, megabytes, seconds,
                megabytes / seconds);
    std::filesystem::remove(scratch_ / "big.smd");
  }
}

}  // namespace
