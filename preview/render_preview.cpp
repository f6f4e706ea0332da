#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "preview/line_draw.h"
#include "preview/preview_palette.h"
#include "preview/preview_picture.h"
#include "preview/raster_image.h"
#include "preview/triangle_fill.h"
#include "preview/view_transform.h"

namespace {

constexpr int kMinSize = 16, kMaxSize = 4096;
constexpr size_t kSegmentFloats = 6;

// Without an early exit or a branch per value, so the loop vectorizes: a
// float is finite when its exponent bits are not all ones.
template <size_t kCount>
bool AllFinite(const float* values) {
  uint32_t nonFinite = 0;
  for (size_t i = 0; i < kCount; ++i)
    nonFinite |= static_cast<uint32_t>((std::bit_cast<uint32_t>(values[i]) & 0x7f800000u) == 0x7f800000u);
  return nonFinite == 0;
}

// The box of the segments whose ends are both finite; empty when there is none.
SceneBox FiniteSegmentBox(const std::vector<float>& segments) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  // Named variables, not arrays: they stay in registers.
  float lowX = kInf, lowY = kInf, lowZ = kInf, highX = -kInf, highY = -kInf, highZ = -kInf;
  const size_t count = segments.size() / kSegmentFloats;
  for (size_t item = 0; item < count; ++item) {
    const float* p = segments.data() + item * kSegmentFloats;
    if (!AllFinite<kSegmentFloats>(p)) continue;
    for (size_t corner = 0; corner < kSegmentFloats; corner += 3) {
      lowX = std::min(lowX, p[corner]), highX = std::max(highX, p[corner]);
      lowY = std::min(lowY, p[corner + 1]), highY = std::max(highY, p[corner + 1]);
      lowZ = std::min(lowZ, p[corner + 2]), highZ = std::max(highZ, p[corner + 2]);
    }
  }
  SceneBox box;
  if (lowX <= highX) {
    box.Add(lowX, lowY, lowZ);
    box.Add(highX, highY, highZ);
  }
  return box;
}

// The triangles that can be drawn: every vertex number in range and every
// corner finite. `drawn` marks the vertices they use; their box is returned.
SceneBox DrawableTriangles(const PreviewScene& scene, std::vector<uint8_t>& finite, std::vector<uint8_t>& drawn) {
  const size_t vertexCount = scene.positions.size() / 3;
  finite.resize(vertexCount);
  for (size_t v = 0; v < vertexCount; ++v) finite[v] = AllFinite<3>(scene.positions.data() + 3 * v);
  drawn.assign(vertexCount, 0);
  const size_t count = scene.triangles.size() / 3;
  for (size_t t = 0; t < count; ++t) {
    const uint32_t* corner = scene.triangles.data() + 3 * t;
    if (corner[0] >= vertexCount || corner[1] >= vertexCount || corner[2] >= vertexCount) continue;
    if (!(finite[corner[0]] & finite[corner[1]] & finite[corner[2]])) continue;
    drawn[corner[0]] = drawn[corner[1]] = drawn[corner[2]] = 1;
  }
  SceneBox box;
  for (size_t v = 0; v < vertexCount; ++v) {
    if (drawn[v]) box.Add(scene.positions[3 * v], scene.positions[3 * v + 1], scene.positions[3 * v + 2]);
  }
  return box;
}

void DrawTriangles(RasterImage& image, const ViewTransform& view, const PreviewScene& scene,
                   const std::vector<uint8_t>& finite, const std::vector<uint8_t>& drawn) {
  const size_t vertexCount = drawn.size();
  std::vector<ScreenPoint> screen(vertexCount);
  for (size_t v = 0; v < vertexCount; ++v) {
    const float* p = scene.positions.data() + 3 * v;
    if (drawn[v]) screen[v] = ProjectPoint(view, p[0], p[1], p[2]);
  }
  const size_t count = scene.triangles.size() / 3;
  for (size_t t = 0; t < count; ++t) {
    const uint32_t* corner = scene.triangles.data() + 3 * t;
    if (corner[0] >= vertexCount || corner[1] >= vertexCount || corner[2] >= vertexCount) continue;
    if (!(finite[corner[0]] & finite[corner[1]] & finite[corner[2]])) continue;
    DrawFlatTriangle(image, screen[corner[0]], screen[corner[1]], screen[corner[2]]);
  }
}

void DrawBones(RasterImage& image, const ViewTransform& view, const std::vector<float>& segments) {
  const int thickness = image.width >= 256 ? 2 : 1;
  const int dotSide = 2 * thickness + 1;
  const size_t count = segments.size() / kSegmentFloats;
  for (size_t s = 0; s < count; ++s) {
    const float* p = segments.data() + s * kSegmentFloats;
    if (!AllFinite<kSegmentFloats>(p)) continue;
    DrawLine(image, ProjectPoint(view, p[0], p[1], p[2]), ProjectPoint(view, p[3], p[4], p[5]), thickness, kBoneColour);
  }
  // Joints go on top of every line, so none is hidden.
  for (size_t s = 0; s < count; ++s) {
    const float* p = segments.data() + s * kSegmentFloats;
    if (!AllFinite<kSegmentFloats>(p)) continue;
    for (int end = 0; end < 2; ++end) {
      const ScreenPoint joint = ProjectPoint(view, p[end * 3], p[end * 3 + 1], p[end * 3 + 2]);
      DrawDot(image, joint.x, joint.y, dotSide, kJointColour);
    }
  }
}

}  // namespace

PreviewImage RenderPreview(const PreviewScene& scene, int size) {
  size = std::clamp(size, kMinSize, kMaxSize);
  std::vector<uint8_t> finite, drawn;
  SceneBox box = DrawableTriangles(scene, finite, drawn);
  const bool surfaces = !box.empty;
  if (!surfaces) box = FiniteSegmentBox(scene.segments);
  if (box.empty) return PreviewImage{};

  const ViewTransform view = ThreeQuarterView(box, size);
  RasterImage image = MakeRasterImage(size, size);
  if (surfaces)
    DrawTriangles(image, view, scene, finite, drawn);
  else
    DrawBones(image, view, scene.segments);
  return PreviewImage{image.width, image.height, std::move(image.rgba)};
}
