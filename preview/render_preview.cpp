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
// corner finite): their count, the box of their corners and the box of those
// the core holds. Corners beyond the core are counted in farVertices, once
// per batch; with a sample, every corner is added to it.
struct Drawable {
  FrameCore core;
  FrameSample* sample = nullptr;
  CornerBox all, held;  // held is kept only when the core does not hold everything
  int64_t triangles = 0;
  int64_t farVertices = 0;

  void Add(const float p[3], CornerBox& toAll, CornerBox& toHeld) {
    if (sample != nullptr) sample->Add(p);
    toAll.Add(p);
    if (core.holdsEverything) return;
    if (core.Holds(p))
      toHeld.Add(p);
    else
      ++farVertices;
  }
  const CornerBox& Held() const { return core.holdsEverything ? all : held; }
};

// Adds a batch the cache has begun (with or without a view) to `out`, and
// returns the least state of the vertices its triangles name, as
// VertexCache::LookAtNamed gives it.
VertexCache::State AddDrawable(const PreviewBatch& batch, VertexCache& cache, Drawable& out) {
  // Usually every vertex named is finite: then every triangle is drawable and
  // the boxes grow by the vertices named.
  CornerBox all = out.all, held = out.held;
  const int64_t farBefore = out.farVertices;
  const auto addFinite = [&](uint32_t k, VertexCache::State state) {
    if (state == VertexCache::kNotFinite) return;
    float p[3];
    LoadVertex(batch, k, p);
    out.Add(p, all, held);
  };
  const VertexCache::State least = cache.LookAtNamed(addFinite);
  if (least != VertexCache::kNotFinite) {
    out.all = all;
    out.held = held;
    out.triangles += static_cast<int64_t>(batch.cornerCount / 3);
    return least;
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
    for (int c = 0; c < 3; ++c) {
      if (!cache.FirstTime(corner[c])) continue;
      float p[3];
      LoadVertex(batch, corner[c], p);
      out.Add(p, out.all, out.held);
    }
  }
  return least;
}

// A drawable's box as the frame takes it; empty when no triangle can be drawn.
SceneBox FrameBox(const Drawable& drawable, const CornerBox& corners) {
  SceneBox box;
  if (drawable.triangles > 0 && corners.low[0] <= corners.high[0]) {
    box.Add(corners.low[0], corners.low[1], corners.low[2]);
    box.Add(corners.high[0], corners.high[1], corners.high[2]);
  }
  return box;
}

// Walks the scene's triangles into `drawable`.
void WalkDrawable(const PreviewScene& scene, VertexCache& cache, Drawable& drawable) {
  if (!scene.eachBatch) return;
  scene.eachBatch([&](const PreviewBatch& batch) {
    cache.Begin(batch, nullptr);
    AddDrawable(batch, cache, drawable);
  });
}

// The frame of the drawable triangles: the box of their corners or, when a
// few lie far from the rest, the box of the rest, and the count left out.
struct SurfaceFrame {
  SceneBox box;  // empty when no triangle can be drawn
  int64_t triangles = 0;
  int64_t pointsOutOfFrame = 0;
};

// The frame from a walk of every drawable triangle with a sample (`walked`):
// its core, taken from the sample, is walked again unless it holds
// everything or is the core `walked` was taken with.
SurfaceFrame FinishFrame(const PreviewScene& scene, VertexCache& cache, const Drawable& walked,
                         const FrameSample& sample) {
  SurfaceFrame frame;
  frame.triangles = walked.triangles;
  frame.box = FrameBox(walked, walked.all);
  if (frame.box.empty) return frame;
  const FrameCore core = sample.Core(frame.box);
  if (core.holdsEverything) return frame;
  if (core == walked.core) {
    frame.box = FrameBox(walked, walked.Held());
    frame.pointsOutOfFrame = walked.farVertices;
    return frame;
  }
  Drawable again;
  again.core = core;
  WalkDrawable(scene, cache, again);
  frame.box = FrameBox(again, again.Held());
  frame.pointsOutOfFrame = again.farVertices;
  return frame;
}

// The frame, walking the triangles once more when a few points lie far from
// the rest; every drawable corner is added to `sample`.
SurfaceFrame FrameSurfaces(const PreviewScene& scene, VertexCache& cache, FrameSample& sample) {
  Drawable walked;
  walked.sample = &sample;
  WalkDrawable(scene, cache, walked);
  return FinishFrame(scene, cache, walked, sample);
}

// The frame the triangles would give if they named every vertex of their
// batches, taken from the vertices alone (scene.eachSpan): the same points
// in the same order, so the same frame whenever they do. Non-finite vertices
// are passed over. `core` is the core it was taken with. Empty when no
// vertex is finite, or when a batch holds more vertices than corners: the
// walk would then cost more than the triangles. `sample` is the scratch it
// samples with.
SceneBox GuessFrame(const PreviewScene& scene, FrameCore& core, FrameSample& sample) {
  const auto walk = [&scene](Drawable& drawable) {
    bool bounded = true;
    scene.eachSpan([&](const PreviewBatch& batch) {
      bounded = bounded && batch.vertexCount <= batch.cornerCount;
      if (!bounded) return;
      for (size_t k = 0; k < batch.vertexCount; ++k) {
        float p[3];
        LoadVertex(batch, k, p);
        if (AllFinite<3>(p)) drawable.Add(p, drawable.all, drawable.held);
      }
      drawable.triangles += static_cast<int64_t>(batch.cornerCount / 3);
    });
    return bounded;
  };
  Drawable first;
  first.sample = &sample;
  if (!walk(first)) return SceneBox{};
  const SceneBox box = FrameBox(first, first.all);
  if (box.empty) return box;
  core = sample.Core(box);
  if (core.holdsEverything) return box;
  Drawable second;
  second.core = core;
  walk(second);
  return FrameBox(second, second.Held());
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

// Draws a batch whose vertices the cache has begun with the view, while the
// budget lasts; `least` is what LookAtNamed returned for it. Returns how many
// triangles were drawn (those with a corner beyond the filling's guard band
// count as drawn, though they show nothing).
int64_t DrawBatch(RasterImage& image, const PreviewBatch& batch, VertexCache& cache, VertexCache::State least,
                  int64_t budget, int64_t& work) {
  const uint16_t* corners = batch.corners;
  const size_t count = batch.cornerCount / 3 * 3;
  int64_t drawn = 0;
  // Usually every vertex named can be a corner: no triangle needs a check.
  if (least == VertexCache::kOnScreen) {
    for (size_t i = 0; i < count && work < budget; i += 3, ++drawn)
      work += kTriangleCharge + DrawFlatTriangle(image, cache.Corner(corners[i]), cache.Corner(corners[i + 1]),
                                                 cache.Corner(corners[i + 2]));
    return drawn;
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
  return drawn;
}

// Draws the drawable triangles in order while the budget lasts; returns how
// many were drawn.
int64_t DrawTriangles(RasterImage& image, const ViewTransform& view, const PreviewScene& scene, VertexCache& cache) {
  const int64_t budget = WorkBudget(image.width, image.height);
  int64_t work = 0, drawn = 0;
  scene.eachBatch([&](const PreviewBatch& batch) {
    if (work >= budget) return;
    cache.Begin(batch, &view);
    drawn += DrawBatch(image, batch, cache, cache.LookAtNamed([](uint32_t, VertexCache::State) {}), budget, work);
  });
  return drawn;
}

// DrawTriangles and WalkDrawable in one walk: draws as the one, and adds
// every batch to `walked` as the other.
int64_t DrawAndWalk(RasterImage& image, const ViewTransform& view, const PreviewScene& scene, VertexCache& cache,
                    Drawable& walked) {
  const int64_t budget = WorkBudget(image.width, image.height);
  int64_t work = 0, drawn = 0;
  scene.eachBatch([&](const PreviewBatch& batch) {
    const bool drawing = work < budget;
    cache.Begin(batch, drawing ? &view : nullptr);
    const VertexCache::State least = AddDrawable(batch, cache, walked);
    if (drawing) drawn += DrawBatch(image, batch, cache, least, budget, work);
  });
  return drawn;
}

bool SameView(const ViewTransform& a, const ViewTransform& b) {
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 4; ++column)
      if (a.m[row][column] != b.m[row][column]) return false;
  return true;
}

// The triangles drawn through the guessed frame (GuessFrame), kept when it is
// the frame they give; `walked` when the triangles were walked, which then
// gives `frame` and fills `sample` as FrameSurfaces does.
struct GuessedDrawing {
  bool walked = false, kept = false;
  RasterImage image;
  int64_t drawn = 0;
};

GuessedDrawing DrawThroughGuess(const PreviewScene& scene, int size, VertexCache& cache, FrameSample& sample,
                                SurfaceFrame& frame) {
  GuessedDrawing out;
  FrameCore guessedCore;
  const SceneBox guess = GuessFrame(scene, guessedCore, sample);
  sample.Restart();
  if (guess.empty) return out;
  const ViewTransform view = ThreeQuarterView(guess, size);
  out.image = MakeRasterImage(size, size);
  Drawable walked;
  walked.core = guessedCore;
  walked.sample = &sample;
  out.drawn = DrawAndWalk(out.image, view, scene, cache, walked);
  out.walked = true;
  frame = FinishFrame(scene, cache, walked, sample);
  out.kept = !frame.box.empty && SameView(ThreeQuarterView(frame.box, size), view);
  return out;
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
// most the picture's side, as it is clipped to the picture. An end that
// projects past the float range (a far vertex) makes the length infinite or
// not a number: such a line is charged the whole side.
int64_t LineWork(ScreenPoint a, ScreenPoint b, int side) {
  const double length = std::max(std::fabs(double{b.x} - a.x), std::fabs(double{b.y} - a.y));
  return (length < side ? static_cast<int64_t>(length) : int64_t{side}) + 1;
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
  // the rest, the box of the rest.
  FrameSample sample;
  SurfaceFrame frame;
  GuessedDrawing guessed;
  if (scene.eachSpan) guessed = DrawThroughGuess(scene, size, cache, sample, frame);
  if (!guessed.walked) frame = FrameSurfaces(scene, cache, sample);
  if (!guessed.kept) guessed.image = RasterImage{};
  SceneBox box = frame.box;
  picture.pointsOutOfFrame = frame.pointsOutOfFrame;
  const bool surfaces = !box.empty;
  if (!surfaces) {
    // The bone ends alone: the vertices of triangles that could not be drawn
    // are no part of the skeleton's frame.
    sample.Restart();
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
  RasterImage image = guessed.kept ? std::move(guessed.image) : MakeRasterImage(size, size);
  if (surfaces) {
    const int64_t drawn = guessed.kept ? guessed.drawn : DrawTriangles(image, view, scene, cache);
    picture.trianglesLeftOut = frame.triangles - drawn;
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
