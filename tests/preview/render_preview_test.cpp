#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

#include "preview/preview_palette.h"
#include "preview/preview_picture.h"
#include "preview/view_transform.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// The 12 triangles of the box [x0, x1] x [y0, y1] x [z0, z1].
std::vector<float> BoxTriangles(float x0, float y0, float z0, float x1, float y1, float z1) {
  const float xs[2] = {x0, x1}, ys[2] = {y0, y1}, zs[2] = {z0, z1};
  const int faces[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 3, 7, 6}};
  std::vector<float> out;
  for (const auto& face : faces)
    for (const int corner : {face[0], face[1], face[2], face[0], face[2], face[3]})
      for (const float v : {xs[corner & 1], ys[(corner >> 1) & 1], zs[(corner >> 2) & 1]}) out.push_back(v);
  return out;
}

SceneBox BoxOf(const std::vector<float>& corners) {
  SceneBox box;
  for (size_t i = 0; i + 2 < corners.size(); i += 3) box.Add(corners[i], corners[i + 1], corners[i + 2]);
  return box;
}

Rgba At(const PreviewImage& image, int x, int y) {
  if (x < 0 || y < 0 || x >= image.width || y >= image.height) {
    ADD_FAILURE() << "no pixel " << x << ", " << y << " in a " << image.width << " x " << image.height << " image";
    return Rgba{};
  }
  const uint8_t* p = image.rgba.data() + (static_cast<size_t>(y) * image.width + x) * 4;
  return Rgba{p[0], p[1], p[2], p[3]};
}

// The distinct colours of the opaque pixels; fails on a pixel that is
// neither transparent (all 0) nor opaque.
std::set<std::tuple<int, int, int>> OpaqueColours(const PreviewImage& image) {
  std::set<std::tuple<int, int, int>> colours;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const Rgba c = At(image, x, y);
      if (c.a == 0) {
        EXPECT_EQ(c, Rgba{}) << x << ", " << y;
      } else {
        EXPECT_EQ(c.a, 255) << x << ", " << y;
        colours.insert({c.r, c.g, c.b});
      }
    }
  return colours;
}

struct DrawnRect {
  int minX = 1 << 30, minY = 1 << 30, maxX = -1, maxY = -1;
};
DrawnRect Drawn(const PreviewImage& image) {
  DrawnRect r;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      if (At(image, x, y).a != 0) {
        r.minX = std::min(r.minX, x), r.maxX = std::max(r.maxX, x);
        r.minY = std::min(r.minY, y), r.maxY = std::max(r.maxY, y);
      }
  return r;
}

void ExpectSquare(const PreviewImage& image, int size) {
  EXPECT_EQ(image.width, size);
  EXPECT_EQ(image.height, size);
  EXPECT_EQ(image.rgba.size(), static_cast<size_t>(size) * size * 4);
}

int Brightness(const Rgba& c) { return c.r + c.g + c.b; }

TEST(RenderPreview, NothingFiniteToDrawGivesAnEmptyImage) {
  PreviewScene scenes[4];
  scenes[1].triangles = {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN};
  scenes[2].segments = {0, 0, 0, 1, kInf, 0};
  scenes[3].triangles = {1, 2, 3, 4, 5, 6, 7, 8};  // short of one triangle
  scenes[3].segments = {kNaN, 0, 0, 1, 1, 1, 2, 2};
  for (const PreviewScene& scene : scenes) {
    const PreviewImage image = RenderPreview(scene, 64);
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_TRUE(image.rgba.empty());
  }
}

TEST(RenderPreview, ABoxShowsThreeGreysWithTheTopBrightestFramedInTheMargin) {
  PreviewScene scene;
  scene.triangles = BoxTriangles(-1, -2, 0, 3, 1, 2.5f);
  const PreviewImage image = RenderPreview(scene, 64);
  ExpectSquare(image, 64);
  EXPECT_EQ(OpaqueColours(image).size(), 3u);
  const DrawnRect r = Drawn(image);
  // The margin is 4 pixels; the longer side spans the rest.
  EXPECT_GE(r.minX, 4);
  EXPECT_GE(r.minY, 4);
  EXPECT_LE(r.maxX, 59);
  EXPECT_LE(r.maxY, 59);
  EXPECT_GE(std::max(r.maxX - r.minX, r.maxY - r.minY), 54);
  // The faces' centres: the top one (+Z), the front one (+X, at the lower
  // left) and the left one (+Y, at the lower right).
  const ViewTransform view = ThreeQuarterView(BoxOf(scene.triangles), 64);
  const auto colourAt = [&](float x, float y, float z) {
    const ScreenPoint p = ProjectPoint(view, x, y, z);
    return At(image, static_cast<int>(p.x), static_cast<int>(p.y));
  };
  const Rgba top = colourAt(1, -0.5f, 2.5f), front = colourAt(3, -0.5f, 1.25f), side = colourAt(1, 1, 1.25f);
  EXPECT_GT(Brightness(top), Brightness(front));
  EXPECT_GT(Brightness(top), Brightness(side));
  EXPECT_NE(front, side);
  // Even the face turned from the light is not black.
  for (const Rgba& c : {top, front, side}) EXPECT_GE(c.r, static_cast<int>(kSurfaceColour.r * kAmbient));
}

TEST(RenderPreview, DamagedTrianglesAreLeftOutOfThePictureAndItsFrame) {
  PreviewScene clean;
  clean.triangles = BoxTriangles(0, 0, 0, 1, 2, 3);
  PreviewScene damaged = clean;
  for (const float bad : {kNaN, kInf, -kInf}) {
    // A triangle far away with one bad corner, and one in the middle.
    for (const float v : {1e30f, 1e30f, 1e30f, -1e30f, 5.0f, 5.0f, bad, 0.0f, 0.0f}) damaged.triangles.push_back(v);
    for (const float v : {0.5f, 1.0f, 1.5f, 0.5f, bad, 1.5f, 1.0f, 1.0f, 1.0f}) damaged.triangles.push_back(v);
  }
  damaged.triangles.insert(damaged.triangles.end(), {1e30f, 1e30f, 1e30f, 1e30f, 1e30f});  // trailing floats
  EXPECT_EQ(RenderPreview(damaged, 48).rgba, RenderPreview(clean, 48).rgba);
}

TEST(RenderPreview, HostileMagnitudesNeverBreakThePicture) {
  const float values[] = {1e38f, -1e38f, 3.4e38f, -kInf, kInf, kNaN, 0, 1, -1, 1e-38f, 1e-45f, 65536};
  PreviewScene scene;
  uint32_t seed = 7;
  for (int n = 0; n < 9 * 300; ++n) {
    seed = seed * 1664525u + 1013904223u;
    scene.triangles.push_back(values[(seed >> 8) % std::size(values)]);
  }
  for (const int size : {16, 200, 256}) {
    const PreviewImage image = RenderPreview(scene, size);
    ExpectSquare(image, size);
    OpaqueColours(image);
    PreviewScene bones;
    bones.segments.assign(scene.triangles.begin(), scene.triangles.begin() + 6 * 300);
    const PreviewImage skeleton = RenderPreview(bones, size);
    ExpectSquare(skeleton, size);
    OpaqueColours(skeleton);
  }
}

TEST(RenderPreview, DegenerateScenesGiveAPicture) {
  PreviewScene point;
  point.triangles = {2, 3, 4, 2, 3, 4, 2, 3, 4};
  ExpectSquare(RenderPreview(point, 32), 32);

  PreviewScene onALine;
  onALine.triangles = {0, 0, 0, 1, 1, 1, 2, 2, 2};
  ExpectSquare(RenderPreview(onALine, 32), 32);

  // A flat square in the ground plane shows as one grey.
  PreviewScene flat;
  flat.triangles = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0};
  const PreviewImage ground = RenderPreview(flat, 32);
  ExpectSquare(ground, 32);
  EXPECT_EQ(OpaqueColours(ground).size(), 1u);

  // A bone of length 0: its joint dot at the centre.
  PreviewScene joint;
  joint.segments = {5, 5, 5, 5, 5, 5};
  const PreviewImage dot = RenderPreview(joint, 32);
  ExpectSquare(dot, 32);
  EXPECT_EQ(At(dot, 16, 16), kJointColour);
}

TEST(RenderPreview, BonesAreDrawnWhenThereAreNoDrawableTriangles) {
  PreviewScene scene;
  scene.triangles = {kNaN, 0, 0, 1, 0, 0, 0, 1, 0};
  scene.segments = {0, 0, 0, 0, 0, 10, 0, 0, 10, 5, 0, 12, 0, 0, 10, 0, 5, 12};
  for (const int size : {64, 256}) {
    const PreviewImage image = RenderPreview(scene, size);
    ExpectSquare(image, size);
    const auto colours = OpaqueColours(image);
    EXPECT_EQ(colours, (std::set<std::tuple<int, int, int>>{{kBoneColour.r, kBoneColour.g, kBoneColour.b},
                                                            {kJointColour.r, kJointColour.g, kJointColour.b}}));
    // The spine is vertical (it runs along +Z) through the middle column,
    // 1 pixel wide below 256 and 2 from 256 up.
    const int y = size / 3;
    int boneWidth = 0;
    for (int x = 0; x < size; ++x) boneWidth += At(image, x, y) == kBoneColour ? 1 : 0;
    EXPECT_EQ(boneWidth, size >= 256 ? 2 : 1) << size;
  }
}

TEST(RenderPreview, SizeIsClampedAndThreadsDrawAlike) {
  PreviewScene scene;
  scene.triangles = BoxTriangles(0, 0, 0, 1, 1, 1);
  ExpectSquare(RenderPreview(scene, 3), 16);
  ExpectSquare(RenderPreview(scene, -100), 16);

  const PreviewImage alone = RenderPreview(scene, 96);
  PreviewImage parallel[2];
  std::thread first([&] { parallel[0] = RenderPreview(scene, 96); });
  std::thread second([&] { parallel[1] = RenderPreview(scene, 96); });
  first.join();
  second.join();
  EXPECT_EQ(parallel[0].rgba, alone.rgba);
  EXPECT_EQ(parallel[1].rgba, alone.rgba);
}

}  // namespace
