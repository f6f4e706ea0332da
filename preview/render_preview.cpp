#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
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

// Vertex k of a batch, read in place.
void LoadVertex(const PreviewBatch& batch, size_t k, float out[3]) {
  std::memcpy(out, batch.positions + k * batch.stride, 3 * sizeof(float));
}

// Per vertex of the batch in hand: whether it was looked at yet, whether it
// is finite, and where it lies on the screen. A vertex is looked at only when
// a triangle names it, so the work follows the triangles, not the batches'
// vertex counts; the stamps are never cleared, a new batch only changes the
// stamp that counts.
class VertexCache {
 public:
  void Begin(const PreviewBatch& batch) {
    batch_ = &batch;
    if (stamps_.size() < batch.vertexCount) {
      stamps_.resize(batch.vertexCount, 0);
      framed_.resize(batch.vertexCount, 0);
      finite_.resize(batch.vertexCount);
      screen_.resize(batch.vertexCount);
    }
    ++stamp_;
  }
  // True the first time it is asked for vertex k of the batch in hand.
  bool FirstTime(uint32_t k) {
    if (framed_[k] == stamp_) return false;
    framed_[k] = stamp_;
    return true;
  }
  // False when vertex k does not exist or is not finite; `view` projects it.
  bool Usable(uint32_t k, const ViewTransform* view) {
    if (k >= batch_->vertexCount) return false;
    if (stamps_[k] != stamp_) {
      stamps_[k] = stamp_;
      float p[3];
      LoadVertex(*batch_, k, p);
      finite_[k] = AllFinite<3>(p);
      if (finite_[k] && view != nullptr) screen_[k] = ProjectPoint(*view, p[0], p[1], p[2]);
    }
    return finite_[k];
  }
  const ScreenPoint& Screen(uint32_t k) const { return screen_[k]; }

 private:
  const PreviewBatch* batch_ = nullptr;
  uint64_t stamp_ = 0;
  std::vector<uint64_t> stamps_, framed_;
  std::vector<uint8_t> finite_;
  std::vector<ScreenPoint> screen_;
};

// The box of the corners of every triangle that can be drawn: every vertex
// number in range and every corner finite.
SceneBox DrawableBox(const PreviewScene& scene, VertexCache& cache) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  float low[3] = {kInf, kInf, kInf}, high[3] = {-kInf, -kInf, -kInf};
  if (scene.eachBatch) {
    scene.eachBatch([&](const PreviewBatch& batch) {
      cache.Begin(batch);
      for (size_t i = 0; i + 3 <= batch.cornerCount; i += 3) {
        const uint16_t* corner = batch.corners + i;
        if (!(cache.Usable(corner[0], nullptr) && cache.Usable(corner[1], nullptr) &&
              cache.Usable(corner[2], nullptr)))
          continue;
        for (int c = 0; c < 3; ++c) {
          if (!cache.FirstTime(corner[c])) continue;
          float p[3];
          LoadVertex(batch, corner[c], p);
          for (int axis = 0; axis < 3; ++axis) low[axis] = std::min(low[axis], p[axis]), high[axis] = std::max(high[axis], p[axis]);
        }
      }
    });
  }
  SceneBox box;
  if (low[0] <= high[0]) {
    box.Add(low[0], low[1], low[2]);
    box.Add(high[0], high[1], high[2]);
  }
  return box;
}

void DrawTriangles(RasterImage& image, const ViewTransform& view, const PreviewScene& scene, VertexCache& cache) {
  scene.eachBatch([&](const PreviewBatch& batch) {
    cache.Begin(batch);
    for (size_t i = 0; i + 3 <= batch.cornerCount; i += 3) {
      const uint16_t* corner = batch.corners + i;
      if (!(cache.Usable(corner[0], &view) && cache.Usable(corner[1], &view) && cache.Usable(corner[2], &view)))
        continue;
      DrawFlatTriangle(image, cache.Screen(corner[0]), cache.Screen(corner[1]), cache.Screen(corner[2]));
    }
  });
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
  VertexCache cache;
  SceneBox box = DrawableBox(scene, cache);
  const bool surfaces = !box.empty;
  if (!surfaces) box = FiniteSegmentBox(scene.segments);
  if (box.empty) return PreviewImage{};

  const ViewTransform view = ThreeQuarterView(box, size);
  RasterImage image = MakeRasterImage(size, size);
  if (surfaces)
    DrawTriangles(image, view, scene, cache);
  else
    DrawBones(image, view, scene.segments);
  return PreviewImage{image.width, image.height, std::move(image.rgba)};
}
