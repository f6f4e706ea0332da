// A small strip file can name one frame-filling triangle millions of times
// (strips may share their index array). The picture's drawing is bounded in
// proportion to its area, so such a run still ends within seconds at the
// largest picture size.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <filesystem>

#include "builder/model_builder.h"
#include "tests/tool_runner/tool_runner.h"

namespace fs = std::filesystem;

namespace {

// The bound is for the tool as built for use; sanitizer builds run a few
// times slower.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double kSlowdown = 4;
#else
constexpr double kSlowdown = 1;
#endif

// User and system time of the finished child processes so far.
double ChildProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One sub-model with a single triangle, which frames the picture and so fills
// about half of it, and `strips` strips that each name the same index array:
// the triangle `repeats` times.
tb::BuiltModel SharedTriangleModel(int strips, int repeats) {
  tb::ModelDescription description = tb::BoxModel();
  tb::SubModelDescription& subModel = description.bodyParts[0].subModels[0];
  subModel.vertices = {{0, {0, 0, 0}, {1, 0, 0}, 0, 0}, {0, {0, 40, 0}, {1, 0, 0}, 1, 0},
                       {0, {0, 0, 40}, {1, 0, 0}, 0, 1}};
  subModel.meshes.resize(1);
  tb::StripGroupDescription group;
  group.vertices = {0, 1, 2};
  for (int i = 0; i < repeats; ++i) group.indices.insert(group.indices.end(), {0, 1, 2});
  for (int i = 0; i < strips; ++i) group.strips.push_back({3 * repeats, 0});
  tb::LodDescription lod;
  lod.meshes.push_back(tb::StripMeshDescription{{group}, std::nullopt});
  subModel.lods = {lod};
  return tb::BuildModel(description);
}

TEST(PreviewBudget, SixtyStripsSharingOneFrameFillingTriangleEndWithinSeconds) {
  ScratchDir dir;
  // 60 strips of 70 000 triangles: 4.2 million frame-filling triangles from
  // a strip file of about 420 KB.
  const tb::BuiltModel built = SharedTriangleModel(60, 70000);
  ASSERT_LT(built.strip.bytes.size(), 500000u);
  tb::WriteFileBytes((dir.path / "m.mdl").string(), built.model.bytes);
  tb::WriteFileBytes((dir.path / "m.dx80.vtx").string(), built.strip.bytes);

  // Processor time, which the machine's other work does not stretch as it
  // does the time on the clock.
  const double before = ChildProcessorSeconds();
  const ToolRun run = RunTool(dir.path, {"-file", "m", "-out", "out", "-format", "gltf", "-preview-size", "4096"});
  EXPECT_LT(ChildProcessorSeconds() - before, 5.0 * kSlowdown);
  EXPECT_EQ(run.status, 1) << run.console;
  EXPECT_TRUE(fs::exists(dir.path / "out" / "preview.png")) << run.console;
  EXPECT_NE(run.console.find(" triangles left out: the picture's work budget was spent\n"), std::string::npos)
      << run.console;
}

}  // namespace
