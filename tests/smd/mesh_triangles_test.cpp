// The triangle section of one mesh: which triangles of which strips and groups,
// which vertices they reach, and which meshes are refused. Line formats, corner
// order and bone per family are pinned by the whole-file tests.
#include <sstream>

#include "smd/mesh_export.h"
#include "tests/smd/mesh_test_support.h"
#include "tests/support/text_lines.h"

namespace {

bool IsVertexLine(const std::string& line) { return !line.empty() && (line[0] == '-' || std::isdigit(line[0])); }

// Which vertex each vertex line shows: the position x of a NumberedVertex.
std::vector<int> CornerVertices(const std::string& text) {
  std::vector<int> vertices;
  for (const std::string& line : Lines(text)) {
    if (!IsVertexLine(line)) continue;
    std::istringstream fields(line);
    int bone = 0;
    double x = 0;
    fields >> bone >> x;
    vertices.push_back(static_cast<int>(x));
  }
  return vertices;
}

// Every triangle is one material line and three vertex lines.
void ExpectTriangleShape(const std::string& text) {
  std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size() % 4, 0u) << text;
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(IsVertexLine(lines[i]), i % 4 != 0) << text;
}

class TriangleTest : public MeshTest {
 protected:
  struct Output {
    int result = -1;
    std::string text;
  };
  // Mesh 0 of sub-model 0 of body part 0 at level 0.
  Output Write(const LoadedModel& loaded) {
    const ModelFile& model = loaded.model;
    ModelRecord record = ReadSubModel(model, ReadBodyPart(model, ReadModelHeader(model), 0), 0);
    StripModel stripModel = ReadStripModel(loaded.strip, ReadStripBodyPart(loaded.strip, 0), 0);
    StripMesh stripMesh = ReadStripMesh(loaded.strip, ReadStripLod(loaded.strip, stripModel, 0), 0);
    Output output;
    output.text = Capture([&](OutputFile& out) {
      MeshPlan plan;
      output.result = PlanMeshTriangles(model, loaded.strip, ReadMesh(model, record, 0), stripMesh, plan);
      if (output.result != 0) WritePlannedTriangles(plan, out);
    });
    return output;
  }
};

TEST_F(TriangleTest, OnlyWholeTrianglesOfEachStripAreWritten) {
  struct Case {
    std::vector<tb::StripDescription> strips;  // {indexCount, firstIndex}
    std::vector<int> expected;
  };
  const std::vector<uint16_t> indices = {0, 1, 2, 3, 1, 0, 2, 3, 1};
  const Case cases[] = {
      {{{9, 0}}, {0, 1, 2, 3, 1, 0, 2, 3, 1}},
      {{{8, 0}}, {0, 1, 2, 3, 1, 0}},
      {{{7, 0}}, {0, 1, 2, 3, 1, 0}},
      {{{5, 0}}, {0, 1, 2}},
      {{{3, 3}}, {3, 1, 0}},
      {{{2, 0}}, {}},
      {{{1, 0}}, {}},
      {{{0, 0}}, {}},
      {{{-3, 0}}, {}},
      {{{-7, 0}}, {}},
      // Strips in table order, each from its own first entry; empty strips in between are skipped.
      {{{3, 6}, {0, 0}, {-2, 0}, {4, 0}}, {2, 3, 1, 0, 1, 2}},
  };
  for (const Case& c : cases) {
    tb::SubModelDescription subModel = SubModelWith("m", 4, {});
    tb::StripGroupDescription group{{0, 1, 2, 3}, indices, c.strips, std::nullopt};
    subModel.lods = {tb::LodDescription{0, {tb::StripMeshDescription{{group}, std::nullopt}}}};
    // Version 28 keeps the corners in stored order.
    LoadedModel loaded(tb::BuildModel(ModelWith(28, {subModel})));
    Output output = Write(loaded);
    EXPECT_EQ(output.result, 1);
    ExpectTriangleShape(output.text);
    EXPECT_EQ(CornerVertices(output.text), c.expected) << "first strip count " << c.strips[0].indexCount;
  }
}

TEST_F(TriangleTest, AtMostFiveStripGroupsAreWrittenInOrder) {
  struct Case {
    int groups;                       // groups actually stored
    std::optional<int32_t> groupCount;  // stored count, when it differs
    int result;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {5, std::nullopt, 1, {0, 1, 2, 1, 2, 3, 2, 3, 4, 3, 4, 5, 4, 5, 6}},
      {2, std::nullopt, 1, {0, 1, 2, 1, 2, 3}},
      {6, std::nullopt, 0, {}},
      {2, 6, 0, {}},
      {2, 0, 1, {}},
      {2, -1, 1, {}},
  };
  for (const Case& c : cases) {
    tb::StripMeshDescription stripMesh;
    // Group g draws one triangle over vertices g, g + 1, g + 2 through its own strip vertices.
    for (int g = 0; g < c.groups; ++g) {
      int16_t base = static_cast<int16_t>(g);
      stripMesh.groups.push_back({{base, static_cast<int16_t>(base + 1), static_cast<int16_t>(base + 2)},
                                  {0, 1, 2},
                                  {{3, 0}},
                                  std::nullopt});
    }
    stripMesh.groupCount = c.groupCount;
    tb::SubModelDescription subModel = SubModelWith("m", 8, {});
    subModel.lods = {tb::LodDescription{0, {stripMesh}}};
    LoadedModel loaded(tb::BuildModel(ModelWith(28, {subModel})));
    Output output = Write(loaded);
    EXPECT_EQ(output.result, c.result) << c.groups << " groups";
    EXPECT_EQ(CornerVertices(output.text), c.expected) << c.groups << " groups";
    if (c.result == 0) {
      EXPECT_EQ(output.text, "");
    }
  }
}

TEST_F(TriangleTest, VerticesComeFromTheSubModelTheMeshNamesPlusItsVertexBase) {
  for (int32_t version : {37, 28}) {
    // Sub-model 0's own vertices sit at x = 50 + i; its mesh uses sub-model 1's.
    tb::SubModelDescription walked = SubModelWith("walked", 4, {});
    for (tb::VertexDescription& v : walked.vertices) v.position.x += 50;
    walked.meshes[0].ownerBodyPart = 0;
    walked.meshes[0].ownerSubModel = 1;
    walked.meshes[0].vertexBase = 3;
    // meshVertexIndex is signed: -3 reaches vertex 0.
    tb::StripGroupDescription group{{-3, -1, 0, 2}, {0, 3, 1, 2, 0, 1}, {{6, 0}}, std::nullopt};
    walked.lods = {tb::LodDescription{0, {tb::StripMeshDescription{{group}, std::nullopt}}}};
    LoadedModel loaded(tb::BuildModel(ModelWith(version, {walked, SubModelWith("owner", 6, {})})));
    Output output = Write(loaded);
    std::vector<int> expected = version == 28 ? std::vector<int>{0, 5, 2, 3, 0, 2} : std::vector<int>{0, 2, 5, 3, 2, 0};
    EXPECT_EQ(CornerVertices(output.text), expected) << "version " << version;
  }
}

}  // namespace
