// A vertex line is formatted once per strip group and copied for the vertex's
// other corners. These tests reuse vertices heavily, in every corner position,
// across strips, across strip groups with different vertex spans and across
// the meshes and levels of one file, and require every corner to show its own
// vertex's line.
#include <cstdio>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "io/float_format.h"
#include "smd/mesh_export.h"
#include "tests/smd/mesh_test_support.h"

namespace {

// The line of NumberedVertex(i) in the interleaved families (every value is
// exact in binary, so "%f" and the tool's rounding agree).
std::string NumberedVertexLine(int i) {
  char line[160];
  std::snprintf(line, sizeof line, "%d %f 0.500000 %f 0.000000 0.000000 1.000000 %f -0.250000",
                static_cast<int16_t>(i - 1),
                static_cast<double>(i), static_cast<double>(-i), 0.25 * i);
  return line;
}

// The vertex lines of a triangle section (the material lines dropped).
std::vector<std::string> VertexLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line != "skin.bmp" && line != "metal.bmp") lines.push_back(line);
  }
  return lines;
}

// The vertex lines the interleaved families write for a triangle list whose
// entries select model vertices through `vertexOf`: corners 0, 2, 1.
void AppendExpected(std::vector<std::string>& expected, const std::vector<uint16_t>& list,
                    const std::vector<int>& vertexOf) {
  for (size_t t = 0; t + 2 < list.size(); t += 3) {
    for (size_t corner : {t, t + 2, t + 1}) expected.push_back(NumberedVertexLine(vertexOf[list[corner]]));
  }
}

TEST_F(MeshTest, ReusedVerticesShowTheirOwnLineInEveryCornerStripAndGroup) {
  // Group 0: strip vertices 0..5 are model vertices 0..5, in two strips.
  tb::StripGroupDescription first;
  first.vertices = {0, 1, 2, 3, 4, 5};
  first.indices = {0, 1, 2, 2, 1, 0, 1, 2, 3, 3, 4, 5, 5, 4, 3, 0, 5, 0};
  first.strips = {{9, 0}, {9, 9}};
  // Group 1: a different span (model vertices 3..9), reached in reverse, so a
  // line kept from group 0 under the same position would show the wrong vertex.
  tb::StripGroupDescription second;
  second.vertices = {9, 8, 7, 6, 5, 4, 3};
  second.indices = {0, 6, 3, 3, 6, 0, 1, 1, 1, 4, 5, 6, 6, 0, 4};
  second.strips = {{15, 0}};

  tb::SubModelDescription sub;
  sub.name = "reuse";
  sub.vertices = NumberedVertices(10);
  sub.meshes = {tb::MeshDescription{0, 0}, tb::MeshDescription{1, 0}};
  tb::LodDescription lod;
  lod.meshes = {{{first, second}, std::nullopt}, {{second}, std::nullopt}};
  sub.lods = {lod, lod};

  LoadedModel loaded(tb::BuildModel(ModelWith(37, {sub})));
  ExportMeshes(Conv(loaded));

  std::vector<int> firstVertex(first.vertices.begin(), first.vertices.end());
  std::vector<int> secondVertex(second.vertices.begin(), second.vertices.end());
  std::vector<std::string> expected;
  AppendExpected(expected, first.indices, firstVertex);
  AppendExpected(expected, second.indices, secondVertex);
  AppendExpected(expected, second.indices, secondVertex);
  for (const char* name : {"reuse.smd", "lod1_reuse.smd"}) {
    std::string text = Text(name);
    size_t triangles = text.find("triangles\n");
    ASSERT_NE(triangles, std::string::npos);
    std::string section = text.substr(triangles + 10, text.size() - triangles - 10 - 4);
    EXPECT_EQ(VertexLines(section), expected) << name;
  }
}

// Vertices reached from both ends of the widest span a group can have (a
// strip vertex adds an int16 to the mesh's vertexBase), used repeatedly.
TEST_F(MeshTest, ReusedVerticesAtBothEndsOfTheWidestSpan) {
  tb::SubModelDescription sub;
  sub.name = "wide";
  sub.vertices = NumberedVertices(65536);
  sub.meshes = {tb::MeshDescription{0, 32768}};
  tb::StripGroupDescription group;
  group.vertices = {-32768, 32767, 0};
  group.indices = {0, 1, 2, 1, 0, 2, 2, 2, 0};
  group.strips = {{9, 0}};
  tb::LodDescription lod;
  lod.meshes = {{{group}, std::nullopt}};
  sub.lods = {lod};

  LoadedModel loaded(tb::BuildModel(ModelWith(37, {sub})));
  ExportMeshes(Conv(loaded));
  std::vector<std::string> expected;
  AppendExpected(expected, group.indices, {0, 65535, 32768});
  std::string text = Text("wide.smd");
  std::string section = text.substr(text.find("triangles\n") + 10);
  section.resize(section.size() - 4);
  EXPECT_EQ(VertexLines(section), expected);
}

std::string Formatted(float value) {
  char text[kMaxFormattedFloat];
  return std::string(text, FormatFloat(text, value, 6));
}

// Lines far longer than most (numbers of 39 digits) beside short ones, and
// a material name longer than most, each copied into many corners: every
// copy holds its whole text.
TEST_F(MeshTest, LongAndShortLinesAreCopiedWhole) {
  tb::SubModelDescription sub = SubModelWith("far", 6, {{0, 1, 2, 2, 1, 3, 3, 4, 5, 5, 0, 3, 1, 4, 0}});
  for (int i : {1, 4}) sub.vertices[static_cast<size_t>(i)].position = {3e38f, -3e38f, 1e38f};
  tb::ModelDescription model = ModelWith(37, {sub});
  const std::string longName(100, 'm');
  model.textures = {longName, "metal"};
  LoadedModel loaded(tb::BuildModel(model));
  ExportMeshes(Conv(loaded));
  const std::string text = Text("far.smd");
  const std::string section = text.substr(text.find("triangles\n") + 10);
  std::istringstream in(section);
  int materials = 0, longLines = 0, shortLines = 0;
  for (std::string line; std::getline(in, line) && line != "end";) {
    if (line == longName + ".bmp") {
      ++materials;
      continue;
    }
    std::istringstream fields(line);
    std::vector<std::string> words{std::istream_iterator<std::string>(fields), {}};
    ASSERT_EQ(words.size(), 9u) << line;
    if (words[1].size() > 30) {
      EXPECT_EQ(words[1] + " " + words[2] + " " + words[3],
                Formatted(3e38f) + " " + Formatted(-3e38f) + " " + Formatted(1e38f));
      ++longLines;
    } else {
      ++shortLines;
    }
  }
  EXPECT_EQ(materials, 5);
  EXPECT_EQ(longLines, 5);
  EXPECT_EQ(shortLines, 10);
}

}  // namespace
