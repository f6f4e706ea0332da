#include <algorithm>
#include <cmath>
#include <utility>

#include "preview/line_draw.h"
#include "preview/preview_palette.h"
#include "preview/preview_picture.h"
#include "preview/raster_image.h"
#include "preview/triangle_fill.h"
#include "preview/view_transform.h"

namespace {

constexpr int kMinSize = 16, kMaxSize = 4096;
constexpr size_t kTriangleFloats = 9, kSegmentFloats = 6;

bool AllFinite(const float* values, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (!std::isfinite(values[i])) return false;
  return true;
}

// The box of the items (of `stride` floats, corners of 3) whose corners are
// all finite; empty when there is none.
SceneBox FiniteBox(const std::vector<float>& items, size_t stride) {
  SceneBox box;
  const size_t count = items.size() / stride;
  for (size_t item = 0; item < count; ++item) {
    const float* p = items.data() + item * stride;
    if (!AllFinite(p, stride)) continue;
    for (size_t corner = 0; corner < stride; corner += 3) box.Add(p[corner], p[corner + 1], p[corner + 2]);
  }
  return box;
}

void DrawTriangles(RasterImage& image, const ViewTransform& view, const std::vector<float>& triangles) {
  const size_t count = triangles.size() / kTriangleFloats;
  for (size_t t = 0; t < count; ++t) {
    const float* p = triangles.data() + t * kTriangleFloats;
    if (!AllFinite(p, kTriangleFloats)) continue;
    DrawFlatTriangle(image, ProjectPoint(view, p[0], p[1], p[2]), ProjectPoint(view, p[3], p[4], p[5]),
                     ProjectPoint(view, p[6], p[7], p[8]));
  }
}

void DrawBones(RasterImage& image, const ViewTransform& view, const std::vector<float>& segments) {
  const int thickness = image.width >= 256 ? 2 : 1;
  const int dotSide = 2 * thickness + 1;
  const size_t count = segments.size() / kSegmentFloats;
  for (size_t s = 0; s < count; ++s) {
    const float* p = segments.data() + s * kSegmentFloats;
    if (!AllFinite(p, kSegmentFloats)) continue;
    DrawLine(image, ProjectPoint(view, p[0], p[1], p[2]), ProjectPoint(view, p[3], p[4], p[5]), thickness,
             kBoneColour);
  }
  // Joints go on top of every line, so none is hidden.
  for (size_t s = 0; s < count; ++s) {
    const float* p = segments.data() + s * kSegmentFloats;
    if (!AllFinite(p, kSegmentFloats)) continue;
    for (int end = 0; end < 2; ++end) {
      const ScreenPoint joint = ProjectPoint(view, p[end * 3], p[end * 3 + 1], p[end * 3 + 2]);
      DrawDot(image, joint.x, joint.y, dotSide, kJointColour);
    }
  }
}

}  // namespace

PreviewImage RenderPreview(const PreviewScene& scene, int size) {
  size = std::clamp(size, kMinSize, kMaxSize);
  SceneBox box = FiniteBox(scene.triangles, kTriangleFloats);
  const bool surfaces = !box.empty;
  if (!surfaces) box = FiniteBox(scene.segments, kSegmentFloats);
  if (box.empty) return PreviewImage{};

  const ViewTransform view = ThreeQuarterView(box, size);
  RasterImage image = MakeRasterImage(size, size);
  if (surfaces)
    DrawTriangles(image, view, scene.triangles);
  else
    DrawBones(image, view, scene.segments);
  return PreviewImage{image.width, image.height, std::move(image.rgba)};
}
