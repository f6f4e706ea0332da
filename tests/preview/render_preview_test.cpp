#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <initializer_list>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "preview/preview_palette.h"
#include "preview/preview_picture.h"
#include "preview/view_transform.h"
#include "tests/preview/corner_scene.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN(), kInf = std::numeric_limits<float>::infinity();

// The 12 triangles of the box [x0, x1] x [y0, y1] x [z0, z1].
std::vector<float> BoxTriangles(float x0, float y0, float z0, float x1, float y1, float z1) {
  const int faces[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 3, 7, 6}};
  std::vector<float> out;
  for (const auto& face : faces)
    for (const int c : {face[0], face[1], face[2], face[0], face[2], face[3]})
      out.insert(out.end(), {(c & 1) ? x1 : x0, (c & 2) ? y1 : y0, (c & 4) ? z1 : z0});
  return out;
}

Rgba At(const PreviewImage& image, int x, int y) {
  if (x < 0 || y < 0 || x >= image.width || y >= image.height) {
    ADD_FAILURE() << "no pixel " << x << ", " << y << " in a " << image.width << " x " << image.height << " image";
    return Rgba{};
  }
  const uint8_t* p = image.rgba.data() + (static_cast<size_t>(y) * image.width + x) * 4;
  return Rgba{p[0], p[1], p[2], p[3]};
}

// The picture is size x size, each pixel transparent (all 0) or opaque;
// returns the opaque colours.
std::set<uint32_t> CheckedColours(const PreviewImage& image, int size) {
  EXPECT_EQ(image.width, size);
  EXPECT_EQ(image.height, size);
  EXPECT_EQ(image.rgba.size(), static_cast<size_t>(size) * size * 4);
  std::set<uint32_t> colours;
  for (size_t i = 0; i + 3 < image.rgba.size(); i += 4) {
    const uint8_t* p = image.rgba.data() + i;
    EXPECT_TRUE(p[3] == 255 || (p[0] | p[1] | p[2] | p[3]) == 0) << "pixel " << i / 4;
    if (p[3]) colours.insert(uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]);
  }
  return colours;
}

void ExpectSamePicture(const PreviewImage& a, const PreviewImage& b, const std::string& what) {
  EXPECT_EQ(a.width, b.width) << what;
  EXPECT_EQ(a.height, b.height) << what;
  EXPECT_TRUE(a.rgba == b.rgba) << what;
  EXPECT_EQ(a.trianglesLeftOut, b.trianglesLeftOut) << what;
  EXPECT_EQ(a.pointsOutOfFrame, b.pointsOutOfFrame) << what;
  EXPECT_EQ(a.drawnAsEdges, b.drawnAsEdges) << what;
  EXPECT_EQ(a.drawnAsBones, b.drawnAsBones) << what;
}

uint32_t Packed(Rgba c) { return uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b; }

TEST(RenderPreview, NothingFiniteToDrawGivesAnEmptyImage) {
  TestScene scenes[4];
  scenes[1] = CornerScene({kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN});
  scenes[2].segments = {0, 0, 0, 1, kInf, 0};
  scenes[3].positions = {1, 2, 3, 4, 5, 6, 7, 8};  // two vertices and a part
  scenes[3].corners = {0, 1, 2, 0, 1};             // vertex 2 does not exist
  scenes[3].segments = {kNaN, 0, 0, 1, 1, 1, 2, 2};
  for (const TestScene& scene : scenes) {
    const PreviewImage image = RenderPreview(scene.Scene(), 64);
    EXPECT_TRUE(image.width == 0 && image.height == 0 && image.rgba.empty());
  }
}

TEST(RenderPreview, ABoxShowsThreeGreysTheTopBrightestFramedInTheMargin) {
  const TestScene scene = CornerScene(BoxTriangles(-1, -2, 0, 3, 1, 2.5f));
  const PreviewImage image = RenderPreview(scene.Scene(), 64);
  EXPECT_EQ(CheckedColours(image, 64).size(), 3u);
  int minX = 64, maxX = -1, minY = 64, maxY = -1;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      if (At(image, x, y).a) minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = y;
  EXPECT_TRUE(minX >= 4 && minY >= 4 && maxX <= 59 && maxY <= 59);  // a margin of 64 / 16
  EXPECT_GE(std::max(maxX - minX, maxY - minY), 54);
  // The centres of the top face (+Z), the front (+X) and the left side (+Y).
  SceneBox box;
  box.Add(-1, -2, 0);
  box.Add(3, 1, 2.5f);
  const auto colourAt = [&, view = ThreeQuarterView(box, 64)](float x, float y, float z) {
    const ScreenPoint p = ProjectPoint(view, x, y, z);
    return At(image, static_cast<int>(p.x), static_cast<int>(p.y));
  };
  const Rgba top = colourAt(1, -0.5f, 2.5f), front = colourAt(3, -0.5f, 1.25f), side = colourAt(1, 1, 1.25f);
  EXPECT_GT(top.r, front.r);
  EXPECT_GT(top.r, side.r);
  EXPECT_NE(front, side);
  EXPECT_GE(std::min(front.r, side.r), static_cast<int>(kSurfaceColour.r * kAmbient));  // never black
}

TEST(RenderPreview, DamagedTrianglesAreLeftOutOfThePictureAndItsFrame) {
  std::vector<float> corners = BoxTriangles(0, 0, 0, 1, 2, 3);
  const TestScene clean = CornerScene(corners);
  for (const float bad : {kNaN, kInf, -kInf})  // one far away, one inside
    corners.insert(corners.end(), {1e30f, 1e30f, 1e30f, -1e30f, 5, 5, bad, 0, 0, 0.5f, 1, 1.5f, 0.5f, bad, 1.5f, 1, 1, 1});
  TestScene damaged = CornerScene(corners);
  // A vertex far away that only a triangle naming a missing vertex uses.
  damaged.positions.insert(damaged.positions.end(), {1e30f, -1e30f, 1e30f});
  const uint16_t far = static_cast<uint16_t>(damaged.positions.size() / 3 - 1);
  damaged.corners.insert(damaged.corners.end(), {0, far, static_cast<uint16_t>(far + 1), 1, 2});  // and trailing numbers
  damaged.positions.insert(damaged.positions.end(), {1e30f, 1e30f});
  EXPECT_EQ(RenderPreview(damaged.Scene(), 48).rgba, RenderPreview(clean.Scene(), 48).rgba);
}

// The box of the opaque pixels: left, top, right, bottom; all -1 when none.
std::array<int, 4> DrawnBox(const PreviewImage& image) {
  std::array<int, 4> box = {-1, -1, -1, -1};
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      if (image.rgba[(static_cast<size_t>(y) * image.width + x) * 4 + 3] == 0) continue;
      if (box[0] < 0) box = {x, y, x, y};
      box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
    }
  return box;
}

TEST(RenderPreview, HostileAndDegenerateScenesGiveASanePicture) {
  const float values[] = {1e38f, -1e38f, 3.4e38f, -kInf, kInf, kNaN, 0, 1, -1, 1e-38f, 1e-45f, 65536};
  std::vector<float> corners;
  uint32_t seed = 7;
  for (int n = 0; n < 9 * 300; ++n) {
    seed = seed * 1664525u + 1013904223u;
    corners.push_back(values[(seed >> 8) % std::size(values)]);
  }
  TestScene hostile = CornerScene(corners), bones;
  for (int n = 0; n < 3 * 300; ++n) {  // vertex numbers in and out of range
    seed = seed * 1664525u + 1013904223u;
    hostile.corners.push_back(static_cast<uint16_t>(seed % 1000));
  }
  bones.segments.assign(corners.begin(), corners.begin() + 6 * 300);
  for (const int size : {16, 200, 256}) {
    CheckedColours(RenderPreview(hostile.Scene(), size), size);
    CheckedColours(RenderPreview(bones.Scene(), size), size);
  }
  CheckedColours(RenderPreview(hostile.Scene(), 3), 16);  // sizes are clamped to 16..4096
  CheckedColours(RenderPreview(bones.Scene(), -100), 16);
  const TestScene point = CornerScene({2, 3, 4, 2, 3, 4, 2, 3, 4});
  const TestScene line = CornerScene({0, 0, 0, 1, 1, 1, 2, 2, 2});
  const TestScene flat = CornerScene({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0});
  TestScene joint;
  joint.segments = {5, 5, 5, 5, 5, 5};
  // Triangles without area are drawn as their edges: a point as a dot at the
  // centre, a line as a line through it.
  for (const TestScene* degenerate : {&point, &line}) {
    const PreviewImage image = RenderPreview(degenerate->Scene(), 32);
    EXPECT_TRUE(image.drawnAsEdges);
    EXPECT_EQ(CheckedColours(image, 32), std::set<uint32_t>{Packed(kEdgeColour)});
    EXPECT_EQ(At(image, 16, 16), kEdgeColour);
  }
  const std::array<int, 4> dot = DrawnBox(RenderPreview(point.Scene(), 32));
  EXPECT_EQ(dot[2] - dot[0], 2);  // a joint's size, not a lone pixel
  const PreviewImage flatImage = RenderPreview(flat.Scene(), 32);
  EXPECT_FALSE(flatImage.drawnAsEdges);
  EXPECT_EQ(CheckedColours(flatImage, 32).size(), 1u);
  EXPECT_EQ(At(RenderPreview(joint.Scene(), 32), 16, 16), kJointColour);  // a bone of length 0: its joint, centred
}

TEST(RenderPreview, AFewFarPointsAreLeftOutOfTheFrameAndCounted) {
  // A row of 20 unit boxes; with a stray vertex 1e5 to 1e10 away the boxes
  // still fill the frame as they do alone. The stray vertex belongs to a
  // triangle of its own, and to one of the boxes' triangles.
  std::vector<float> row;
  for (int i = 0; i < 20; ++i) {
    const std::vector<float> box = BoxTriangles(2.0f * i, 0, 0, 2.0f * i + 1, 1, 1);
    row.insert(row.end(), box.begin(), box.end());
  }
  const PreviewImage alone = RenderPreview(CornerScene(row).Scene(), 128);
  EXPECT_EQ(alone.pointsOutOfFrame, 0);
  for (const float far : {1e5f, -3e7f, 1e10f}) {
    TestScene scene = CornerScene(row);
    scene.positions.insert(scene.positions.end(), {far, far, 0.5f, 1, 1, 1, 0, 1, 1});
    for (uint16_t k = 0; k < 3; ++k) scene.corners.push_back(static_cast<uint16_t>(scene.positions.size() / 3 - 3 + k));
    scene.positions[0] = far;  // the first corner of the first box
    const PreviewImage image = RenderPreview(scene.Scene(), 128);
    EXPECT_EQ(image.pointsOutOfFrame, 2) << far;
    EXPECT_FALSE(image.drawnAsEdges);
    const std::array<int, 4> drawn = DrawnBox(image), expected = DrawnBox(alone);
    for (int side = 0; side < 4; ++side) EXPECT_NEAR(drawn[side], expected[side], 2) << far << " side " << side;
  }
  // A model made of two parts far apart keeps both: neither is a few points.
  std::vector<float> twoParts = BoxTriangles(0, 0, 0, 1, 1, 1);
  const std::vector<float> other = BoxTriangles(1e4f, 0, 0, 1e4f + 1, 1, 1);
  twoParts.insert(twoParts.end(), other.begin(), other.end());
  EXPECT_EQ(RenderPreview(CornerScene(twoParts).Scene(), 64).pointsOutOfFrame, 0);
  // Bones: a far joint is left out the same way, the other bones framed.
  TestScene bones;
  for (int i = 0; i < 10; ++i) bones.segments.insert(bones.segments.end(), {0, 0, float(i), 0, 0, float(i + 1)});
  bones.segments.insert(bones.segments.end(), {0, 0, 10, 1e9f, 0, 10});
  const PreviewImage skeleton = RenderPreview(bones.Scene(), 64);
  EXPECT_TRUE(skeleton.drawnAsBones);
  EXPECT_EQ(skeleton.pointsOutOfFrame, 1);
  const std::array<int, 4> drawn = DrawnBox(skeleton);
  EXPECT_GT(drawn[3] - drawn[1], 40);  // the chain of ten stands up the picture
}

TEST(RenderPreview, BonesAreDrawnWhenNoTriangleCanBe) {
  TestScene scene = CornerScene({kNaN, 0, 0, 1, 0, 0, 0, 1, 0});
  scene.segments = {0, 0, 0, 0, 0, 10, 0, 0, 10, 5, 0, 12, 0, 0, 10, 0, 5, 12};
  PreviewScene bonesAlone;  // no batches at all
  bonesAlone.segments = scene.segments;
  ExpectSamePicture(RenderPreview(bonesAlone, 64), RenderPreview(scene.Scene(), 64), "bones without batches");
  for (const int size : {64, 256}) {
    const PreviewImage image = RenderPreview(scene.Scene(), size);
    EXPECT_EQ(CheckedColours(image, size), (std::set{Packed(kBoneColour), Packed(kJointColour)}));
    // The spine runs up the middle: 1 pixel wide below size 256, 2 from 256.
    int boneWidth = 0;
    for (int x = 0; x < size; ++x) boneWidth += At(image, x, size / 3) == kBoneColour ? 1 : 0;
    EXPECT_EQ(boneWidth, size >= 256 ? 2 : 1) << size;
  }
}

TEST(RenderPreview, ASkeletonIsFramedByItsBonesAlone) {
  // Triangles that each have a corner that is not finite cannot be drawn;
  // their finite vertices, far from the bones, play no part in the frame of
  // the skeleton drawn instead.
  TestScene scene;
  for (int i = 0; i < 100; ++i) {
    scene.positions.insert(scene.positions.end(), {kNaN, 0, 0, 1e6f + i, 1e6f, 1e6f, 1e6f + i, 1e6f + 1, 1e6f});
    for (int c = 0; c < 3; ++c) scene.corners.push_back(static_cast<uint16_t>(3 * i + c));
  }
  for (int i = 0; i < 10; ++i) scene.segments.insert(scene.segments.end(), {0, 0, float(i), 0, 0, float(i + 1)});
  TestScene bonesAlone;
  bonesAlone.segments = scene.segments;
  const PreviewImage skeleton = RenderPreview(scene.Scene(), 64);
  EXPECT_TRUE(skeleton.drawnAsBones);
  EXPECT_EQ(skeleton.pointsOutOfFrame, 0);
  ExpectSamePicture(skeleton, RenderPreview(bonesAlone.Scene(), 64), "the skeleton alone");
}

TEST(RenderPreview, FrameFillingTrianglesStopAtABudgetInProportionToThePicture) {
  // One triangle named 20 000 times: it frames the picture, so each copy
  // covers about half of it. At 4096 x 4096 the copies drawn may test each
  // pixel 64 times over, no more; the rest are counted, and the picture is
  // that of the triangle alone.
  const TestScene once = CornerScene({0, 0, 0, 0, 10, 0, 0, 0, 10});
  TestScene many = once;
  for (int n = 1; n < 20000; ++n) many.corners.insert(many.corners.end(), {0, 1, 2});
  const std::clock_t start = std::clock();  // processor time: other work on the machine does not stretch it
  const PreviewImage image = RenderPreview(many.Scene(), 4096);
  EXPECT_LT(static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC, 10.0);
  const int64_t drawn = 20000 - image.trianglesLeftOut;
  // The triangle's box within the picture holds fewer centres than the
  // picture, more than a quarter of them.
  EXPECT_GE(drawn, 64);
  EXPECT_LE(drawn, 256);
  const PreviewImage alone = RenderPreview(once.Scene(), 4096);
  EXPECT_EQ(alone.trianglesLeftOut, 0);
  EXPECT_TRUE(image.rgba == alone.rgba);
}

TEST(RenderPreview, MillionsOfTrianglesTooSmallForAPixelAreBoundedTooButADenseModelIsNotCut) {
  // A triangle that frames the picture, then copies of one far smaller than
  // a pixel, each charged its set-up: 600 000 (as many as the large
  // benchmark model has) are all drawn, even at the smallest size; of
  // 5 million some are left out.
  TestScene scene = CornerScene({0, 0, 0, 0, 10, 0, 0, 0, 10, 0, 5, 5, 0, 5.001f, 5, 0, 5, 5.001f});
  const std::vector<uint16_t> tiny = {3, 4, 5};
  for (int n = 1; n < 600000; ++n) scene.corners.insert(scene.corners.end(), tiny.begin(), tiny.end());
  for (const int size : {16, 256}) EXPECT_EQ(RenderPreview(scene.Scene(), size).trianglesLeftOut, 0) << size;
  for (int n = 600000; n < 5000000; ++n) scene.corners.insert(scene.corners.end(), tiny.begin(), tiny.end());
  const int64_t leftOut = RenderPreview(scene.Scene(), 256).trianglesLeftOut;
  EXPECT_GT(leftOut, 0);
  EXPECT_LT(leftOut, 1000000);
}

// Test scenes drawn as one, a batch each; withSpans also offers the batches
// without their corners (eachSpan). The parts must outlive the scene.
PreviewScene Batches(const std::vector<TestScene>& parts, bool withSpans) {
  PreviewScene scene;
  scene.eachBatch = [&parts](const PreviewBatchVisitor& visit) {
    for (const TestScene& part : parts)
      if (!part.corners.empty()) visit(part.Batch());
  };
  if (withSpans) {
    scene.eachSpan = [&parts](const PreviewBatchVisitor& visit) {
      for (const TestScene& part : parts) {
        PreviewBatch batch = part.Batch();
        batch.corners = nullptr;
        if (!part.corners.empty()) visit(batch);
      }
    };
  }
  return scene;
}

// A grid of columns x rows vertices over [x0, x0 + columns) x [0, rows),
// two triangles a cell.
TestScene Grid(int columns, int rows, float x0) {
  TestScene grid;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c)
      grid.positions.insert(grid.positions.end(), {x0 + c, float(r), 0.3f * std::sin(0.4f * c) * std::cos(0.3f * r)});
  for (int r = 0; r + 1 < rows; ++r)
    for (int c = 0; c + 1 < columns; ++c) {
      const auto v = [columns](int row, int column) { return static_cast<uint16_t>(row * columns + column); };
      grid.corners.insert(grid.corners.end(), {v(r, c), v(r + 1, c), v(r, c + 1), v(r, c + 1), v(r + 1, c), v(r + 1, c + 1)});
    }
  return grid;
}

TEST(RenderPreview, AFrameGuessedFromTheVerticesNeverChangesThePicture) {
  // Each scene is drawn with its spans (the frame guessed from every vertex,
  // then checked against the triangles) and without (framed from the
  // triangles): the pictures and their counts are the same, whether the
  // guess holds or the triangles leave vertices out, far or near, finite or
  // not.
  std::vector<std::pair<std::string, std::vector<TestScene>>> scenes;
  const auto add = [&scenes](std::string name, std::vector<TestScene> parts) {
    scenes.emplace_back(std::move(name), std::move(parts));
  };
  // Its first triangle twice, so that the corners outnumber the vertices
  // with one more vertex (beyond that the frame is not guessed).
  TestScene box = CornerScene(BoxTriangles(-1, -2, 0, 3, 1, 2.5f));
  box.corners.insert(box.corners.end(), {0, 1, 2});
  add("a box", {box});
  TestScene unnamedFar = box;
  unnamedFar.positions.insert(unnamedFar.positions.end(), {1e6f, 0, 0});
  add("a box and a vertex no triangle names, far away", {unnamedFar});
  TestScene unnamedNear = box;
  unnamedNear.positions.insert(unnamedNear.positions.end(), {3, 1, 5});
  add("a box and a vertex no triangle names, above it", {unnamedNear});
  TestScene unnamedBad = box;
  unnamedBad.positions.insert(unnamedBad.positions.end(), {kNaN, 0, 0, 1, kInf, 1});
  add("a box and vertices no triangle names, not finite", {unnamedBad});
  std::vector<float> row;
  for (int i = 0; i < 20; ++i) {
    const std::vector<float> one = BoxTriangles(2.0f * i, 0, 0, 2.0f * i + 1, 1, 1);
    row.insert(row.end(), one.begin(), one.end());
  }
  TestScene strayed = CornerScene(row);
  strayed.positions[0] = 1e10f;
  strayed.positions.insert(strayed.positions.end(), {1e10f, 1e10f, 0.5f, 1, 1, 1, 0, 1, 1});
  for (uint16_t k = 0; k < 3; ++k) strayed.corners.push_back(static_cast<uint16_t>(strayed.positions.size() / 3 - 3 + k));
  add("a row of boxes and a far vertex", {strayed});
  // Vertices no triangle names, at one end of the row: the guess's sample,
  // and so its core, differ from the triangles'.
  TestScene strayedMore = strayed;
  for (int i = 0; i < 300; ++i) strayedMore.positions.insert(strayedMore.positions.end(), {0.5f, 0.5f, 0.5f});
  strayedMore.positions.insert(strayedMore.positions.end(), {-1e10f, 0, 0});
  add("a row of boxes, a far vertex and vertices no triangle names", {strayedMore});
  std::vector<float> damagedCorners = BoxTriangles(0, 0, 0, 1, 2, 3);
  for (const float bad : {kNaN, kInf, -kInf})
    damagedCorners.insert(damagedCorners.end(),
                          {1e30f, 1e30f, 1e30f, -1e30f, 5, 5, bad, 0, 0, 0.5f, 1, 1.5f, 0.5f, bad, 1.5f, 1, 1, 1});
  add("triangles with corners that are not finite", {CornerScene(damagedCorners)});
  TestScene noneDrawable = CornerScene({kNaN, 0, 0, 1, 0, 0, 0, 1, 0});
  noneDrawable.positions.insert(noneDrawable.positions.end(), {5, 5, 5});
  noneDrawable.segments = {0, 0, 0, 0, 0, 10, 0, 0, 10, 5, 0, 12};
  add("no drawable triangle, a finite vertex none names, and bones", {noneDrawable});
  add("a point", {CornerScene({2, 3, 4, 2, 3, 4, 2, 3, 4})});
  add("a line", {CornerScene({0, 0, 0, 1, 1, 1, 2, 2, 2})});
  TestScene fewCorners = CornerScene({0, 0, 0, 1, 0, 0, 0, 1, 0});
  for (int i = 0; i < 100; ++i) fewCorners.positions.insert(fewCorners.positions.end(), {float(i), 0, 9});
  add("more vertices than corners", {fewCorners});
  std::vector<TestScene> grids = {Grid(100, 60, 0), Grid(100, 60, 100), Grid(100, 60, 200)};
  grids[1].positions.insert(grids[1].positions.end(), {150, 30, 40});  // above the middle grid, named by none
  add("three grids, one with a vertex no triangle names", grids);
  // Far more tiny triangles than the work budget draws, then a box that
  // widens the frame though it is left out.
  TestScene tiny = CornerScene({0, 5, 5, 0, 5.001f, 5, 0, 5, 5.001f});
  for (int n = 1; n < 4500000; ++n) tiny.corners.insert(tiny.corners.end(), {0, 1, 2});
  add("a budget spent before the last batch", {CornerScene(BoxTriangles(0, 0, 0, 10, 10, 10)), tiny, box});
  for (const auto& [name, parts] : scenes) {
    for (const int size : {48, 256}) {
      const PreviewImage guessed = parts.size() == 1 ? RenderPreview(parts[0].Scene(true), size)
                                                     : RenderPreview(Batches(parts, true), size);
      const PreviewImage walked =
          parts.size() == 1 ? RenderPreview(parts[0].Scene(), size) : RenderPreview(Batches(parts, false), size);
      ExpectSamePicture(guessed, walked, name + " at " + std::to_string(size));
      EXPECT_GT(guessed.width, 0) << name;
    }
  }
  // What the scenes are meant to show.
  EXPECT_EQ(RenderPreview(strayedMore.Scene(true), 64).pointsOutOfFrame, 2);
  EXPECT_TRUE(RenderPreview(noneDrawable.Scene(true), 64).drawnAsBones);
  EXPECT_GT(RenderPreview(Batches(scenes.back().second, true), 64).trianglesLeftOut, 0);
  for (const TestScene* unnamed : {&unnamedFar, &unnamedNear})
    ExpectSamePicture(RenderPreview(unnamed->Scene(true), 64), RenderPreview(box.Scene(), 64), "the box alone");
}

}  // namespace
