#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "preview/frame_core.h"
#include "preview/line_draw.h"
#include "preview/preview_palette.h"
#include "preview/preview_picture.h"
#include "preview/raster_image.h"
#include "preview/triangle_fill.h"
#include "preview/vertex_cache.h"
#include "preview/view_transform.h"

namespace {

constexpr int kMinSize = 16, kMaxSize = 4096;
constexpr size_t kSegmentFloats = 6;
constexpr float kInf = std::numeric_limits<float>::infinity();

// The box of the segments' ends the core holds, of segments whose ends are
// both finite; empty when there is none. Ends beyond the core are counted in
// far; with a sample, every end is added to it.
SceneBox FiniteSegmentBox(const std::vector<float>& segments, const FrameCore& core, FrameSample* sample,
                          int64_t& far) {
  SceneBox box;
  const size_t count = segments.size() / kSegmentFloats;
  for (size_t item = 0; item < count; ++item) {
    const float* p = segments.data() + item * kSegmentFloats;
    if (!AllFinite<kSegmentFloats>(p)) continue;
    for (size_t corner = 0; corner < kSegmentFloats; corner += 3) {
      if (sample != nullptr) sample->Add(p + corner);
      if (!core.Holds(p + corner)) {
        ++far;
        continue;
      }
      box.Add(p[corner], p[corner + 1], p[corner + 2]);
    }
  }
  return box;
}

// The box of a set of corners, kept in floats while it grows.
struct CornerBox {
  float low[3] = {kInf, kInf, kInf}, high[3] = {-kInf, -kInf, -kInf};
  void Add(const float p[3]) {
    for (int axis = 0; axis < 3; ++axis) low[axis] = std::min(low[axis], p[axis]), high[axis] = std::max(high[axis], p[axis]);
  }
};

// The triangles that can be drawn (every vertex number in range and every
// corner finite): their count and the box of their corners the core holds.
// Corners beyond the core are counted in farVertices, once per batch; with a
// sample, every corner is added to it.
struct Drawable {
  FrameCore core;
  FrameSample* sample = nullptr;
  CornerBox box;
  int64_t triangles = 0;
  int64_t farVertices = 0;
};

void AddDrawable(const PreviewBatch& batch, VertexCache& cache, Drawable& out) {
  cache.Begin(batch, nullptr);
  const auto addVertex = [&batch, &out](CornerBox& box, uint32_t k) {
    float p[3];
    LoadVertex(batch, k, p);
    if (out.sample != nullptr) out.sample->Add(p);
    if (out.core.Holds(p))
      box.Add(p);
    else
      ++out.farVertices;
  };
  // Usually every vertex named is finite: then every triangle is drawable and
  // the box grows by the vertices named.
  CornerBox grown = out.box;
  const int64_t farBefore = out.farVertices;
  const auto addFinite = [&](uint32_t k, VertexCache::State state) {
    if (state != VertexCache::kNotFinite) addVertex(grown, k);
  };
  if (cache.LookAtNamed(addFinite) != VertexCache::kNotFinite) {
    out.box = grown;
    out.triangles += static_cast<int64_t>(batch.cornerCount / 3);
    return;
  }
  // A batch with a vertex that is not finite is taken again corner by
  // corner: the sample may then hold a point twice, which moves its
  // quantiles a little and nothing else.
  out.farVertices = farBefore;
  for (size_t i = 0; i + 3 <= batch.cornerCount; i += 3) {
    const uint16_t* corner = batch.corners + i;
    if (cache.Look(corner[0]) == VertexCache::kNotFinite || cache.Look(corner[1]) == VertexCache::kNotFinite ||
        cache.Look(corner[2]) == VertexCache::kNotFinite)
      continue;
    ++out.triangles;
    for (int c = 0; c < 3; ++c)
      if (cache.FirstTime(corner[c])) addVertex(out.box, corner[c]);
  }
}

// Walks the scene's triangles into `drawable` and returns the box its core
// holds; empty when no triangle can be drawn.
SceneBox DrawableBox(const PreviewScene& scene, VertexCache& cache, Drawable& drawable) {
  if (scene.eachBatch) scene.eachBatch([&](const PreviewBatch& batch) { AddDrawable(batch, cache, drawable); });
  SceneBox box;
  if (drawable.triangles > 0 && drawable.box.low[0] <= drawable.box.high[0]) {
    box.Add(drawable.box.low[0], drawable.box.low[1], drawable.box.low[2]);
    box.Add(drawable.box.high[0], drawable.box.high[1], drawable.box.high[2]);
  }
  return box;
}

// The drawing's work is bounded in proportion to the picture's area, so that
// triangles covering the picture many times over (a small hostile file can
// name one triangle millions of times) cannot take unbounded time. Work is
// counted in pixel centres tested (each triangle's box within the picture)
// plus kTriangleCharge per triangle for its set-up, about what a set-up costs
// against one centre, so that millions of triangles too small to hold a
// centre are bounded too. kWorkPerPixel lets every pixel be tested 64 times
// over. Pictures smaller than kLeastBudgetSide squared get that square's
// budget, 2^28 (the set-up of 4 million triangles), so that a small picture
// of a dense model is not cut: the large benchmark model (600 000 triangles)
// uses 15 % of it at 256 x 256. At 4096 x 4096 the budget is 2^30, which also
// holds the set-up of the 2^24 triangles a model's scene keeps at most.
// Either bound is well under a second of drawing.
constexpr int64_t kTriangleCharge = 64;
constexpr int64_t kWorkPerPixel = 64;
constexpr int64_t kLeastBudgetSide = 2048;

int64_t WorkBudget(int width, int height) {
  return kWorkPerPixel * std::max(int64_t{width} * height, kLeastBudgetSide * kLeastBudgetSide);
}

// Draws the drawable triangles in order while the budget lasts; returns how
// many were drawn (those with a corner beyond the filling's guard band count
// as drawn, though they show nothing).
int64_t DrawTriangles(RasterImage& image, const ViewTransform& view, const PreviewScene& scene, VertexCache& cache) {
  const int64_t budget = WorkBudget(image.width, image.height);
  int64_t work = 0, drawn = 0;
  scene.eachBatch([&](const PreviewBatch& batch) {
    if (work >= budget) return;
    cache.Begin(batch, &view);
    const uint16_t* corners = batch.corners;
    const size_t count = batch.cornerCount / 3 * 3;
    // Usually every vertex named can be a corner: no triangle needs a check.
    if (cache.LookAtNamed([](uint32_t, VertexCache::State) {}) == VertexCache::kOnScreen) {
      for (size_t i = 0; i < count && work < budget; i += 3, ++drawn)
        work += kTriangleCharge + DrawFlatTriangle(image, cache.Corner(corners[i]), cache.Corner(corners[i + 1]),
                                                   cache.Corner(corners[i + 2]));
      return;
    }
    for (size_t i = 0; i < count && work < budget; i += 3) {
      const VertexCache::State a = cache.Look(corners[i]), b = cache.Look(corners[i + 1]),
                               c = cache.Look(corners[i + 2]);
      if (a == VertexCache::kNotFinite || b == VertexCache::kNotFinite || c == VertexCache::kNotFinite) continue;
      ++drawn;
      work += kTriangleCharge;
      if (a == VertexCache::kOnScreen && b == VertexCache::kOnScreen && c == VertexCache::kOnScreen)
        work += DrawFlatTriangle(image, cache.Corner(corners[i]), cache.Corner(corners[i + 1]),
                                 cache.Corner(corners[i + 2]));
    }
  });
  return drawn;
}

// Lines 1 pixel wide, 2 from size 256 up; dots (joints) of 3 or 5 pixels.
int LineThickness(const RasterImage& image) { return image.width >= 256 ? 2 : 1; }
int DotSide(const RasterImage& image) { return 2 * LineThickness(image) + 1; }

bool AnyPixelDrawn(const RasterImage& image) {
  for (size_t i = 3; i < image.rgba.size(); i += 4)
    if (image.rgba[i] != 0) return true;
  return false;
}

// The pixel work charged for a line: its length along its longer axis, at
// most the picture's side, as it is clipped to the picture.
int64_t LineWork(ScreenPoint a, ScreenPoint b, int side) {
  const double length = std::max(std::fabs(double{b.x} - a.x), std::fabs(double{b.y} - a.y));
  return static_cast<int64_t>(std::min(length, static_cast<double>(side))) + 1;
}

// The three edges of every drawable triangle, as lines, under the same kind
// of work budget as the filling.
void DrawEdges(RasterImage& image, const ViewTransform& view, const PreviewScene& scene, VertexCache& cache) {
  const int thickness = LineThickness(image);
  const int64_t budget = WorkBudget(image.width, image.height);
  int64_t work = 0;
  scene.eachBatch([&](const PreviewBatch& batch) {
    cache.Begin(batch, &view);
    const size_t count = batch.cornerCount / 3 * 3;
    for (size_t i = 0; i < count && work < budget; i += 3) {
      const uint16_t* corner = batch.corners + i;
      if (cache.Look(corner[0]) == VertexCache::kNotFinite || cache.Look(corner[1]) == VertexCache::kNotFinite ||
          cache.Look(corner[2]) == VertexCache::kNotFinite)
        continue;
      ScreenPoint p[3];
      for (int c = 0; c < 3; ++c) {
        float v[3];
        LoadVertex(batch, corner[c], v);
        p[c] = ProjectPoint(view, v[0], v[1], v[2]);
      }
      work += kTriangleCharge;
      for (int c = 0; c < 3; ++c) {
        const ScreenPoint a = p[c], b = p[(c + 1) % 3];
        DrawLine(image, a, b, thickness, kEdgeColour);
        work += LineWork(a, b, image.width);
      }
    }
  });
}

void DrawBones(RasterImage& image, const ViewTransform& view, const std::vector<float>& segments) {
  const int thickness = LineThickness(image), dotSide = DotSide(image);
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
  PreviewImage picture;
  VertexCache cache;
  // The frame is the box of what is drawn or, when a few points lie far from
  // the rest, the box of the rest (found by a second walk).
  FrameSample sample;
  Drawable drawable;
  drawable.sample = &sample;
  SceneBox box = DrawableBox(scene, cache, drawable);
  const bool surfaces = !box.empty;
  if (surfaces) {
    const FrameCore core = sample.Core(box);
    if (!core.holdsEverything) {
      drawable = Drawable{};
      drawable.core = core;
      box = DrawableBox(scene, cache, drawable);
      picture.pointsOutOfFrame = drawable.farVertices;
    }
  } else {
    int64_t far = 0;
    box = FiniteSegmentBox(scene.segments, FrameCore{}, &sample, far);
    const FrameCore core = sample.Core(box);
    if (!core.holdsEverything) {
      box = FiniteSegmentBox(scene.segments, core, nullptr, far);
      picture.pointsOutOfFrame = far;
    }
  }
  if (box.empty) return picture;

  const ViewTransform view = ThreeQuarterView(box, size);
  RasterImage image = MakeRasterImage(size, size);
  if (surfaces) {
    picture.trianglesLeftOut = drawable.triangles - DrawTriangles(image, view, scene, cache);
    // Triangles that all show no area (their corners on one line or one
    // point, or seen edge on) would leave the picture empty.
    if (!AnyPixelDrawn(image)) {
      picture.drawnAsEdges = true;
      DrawEdges(image, view, scene, cache);
      // A frame of one point: a dot as large as a joint, not a lone pixel.
      const ScreenPoint low = ProjectPoint(view, box.min[0], box.min[1], box.min[2]);
      const ScreenPoint high = ProjectPoint(view, box.max[0], box.max[1], box.max[2]);
      if (low.x == high.x && low.y == high.y) DrawDot(image, low.x, low.y, DotSide(image), kEdgeColour);
    }
  } else {
    picture.drawnAsBones = true;
    DrawBones(image, view, scene.segments);
  }
  picture.width = image.width;
  picture.height = image.height;
  picture.rgba = std::move(image.rgba);
  return picture;
}
