// The preview picture of a model: a small image of its surfaces (or, for a
// model without any, its bones), the same camera and layout for every model,
// and its PNG file. Plain functions on plain arrays, no shared state: any
// number of threads may draw at once.
//
// The picture:
// - size x size pixels, transparent (every byte 0) where nothing is drawn,
//   drawn pixels opaque.
// - Camera (view_transform.h, ThreeQuarterView): orthographic, from the
//   model's front (+X), its left (+Y) and above (+Z), azimuth 45 and
//   elevation 30 degrees, +Z up in the image. The axis-aligned box of what is
//   drawn, projected, fits the image with a margin of size / 16 on each side,
//   centred, one scale for both axes. A few points far from where most of
//   the model lies are left out of that box (frame_core.h) and counted.
// - Surfaces (triangle_fill.h): flat shaded, one colour per triangle, a light
//   grey lit from above and beside the camera with some ambient light
//   (preview_palette.h). Both sides are drawn and lit alike: the corner order
//   of these models does not tell the front side. The nearest surface wins
//   at every pixel (depth buffer); edges shared by two triangles are covered
//   exactly once (top-left fill rule, pixel centres at +0.5).
// - Edges, when the triangles drawn leave every pixel transparent (they show
//   no area): each triangle's three edges as grey lines, as wide as bones.
// - Bones, when no triangle can be drawn (line_draw.h): amber lines, 1 pixel
//   wide (2 from size 256 up), with a red dot of 3 (5) pixels at each end.
// - Damaged input: a triangle or line with a non-finite corner is left out,
//   and the frame is taken from the others. Any finite magnitude is drawn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// A block of vertices and triangles over it, read where they lie (a model's
// mesh is drawn straight from its file): vertex k's x, y and z are float32,
// little-endian, at positions + k * stride, any alignment.
struct PreviewBatch {
  const unsigned char* positions = nullptr;
  size_t stride = 12;
  size_t vertexCount = 0;
  const uint16_t* corners = nullptr;  // 3 vertex numbers per triangle
  size_t cornerCount = 0;
};
using PreviewBatchVisitor = std::function<void(const PreviewBatch&)>;

// What a preview shows, in the model's space (Z is up): the triangle batches
// eachBatch hands to its visitor, or the segments when no triangle can be
// drawn. eachBatch may run more than once (framing, drawing) and must hand
// out the same batches every time, one walk at a time.
//
// eachSpan, when set, hands out the same batches in the same order without
// their corners (corners null, cornerCount as eachBatch gives it), where
// making the corners costs a walk of their own. The picture then guesses its
// frame from every vertex of each batch, which is the frame whenever the
// triangles name all of them, draws and frames the triangles in one walk,
// and draws again only when the frame they give differs.
struct PreviewScene {
  std::function<void(const PreviewBatchVisitor&)> eachBatch;
  std::function<void(const PreviewBatchVisitor&)> eachSpan;
  std::vector<float> segments;  // 6 floats per line: x, y, z of its two ends (the bones)
};

struct PreviewImage {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;  // width * height * 4, rows top to bottom, not premultiplied
  // Drawable triangles not drawn because the drawing's work budget, in
  // proportion to the picture's area, was spent (see RenderPreview).
  int64_t trianglesLeftOut = 0;
  // Vertices (or, for bones, ends) far from where most of the model lies,
  // left out of the frame (see RenderPreview).
  int64_t pointsOutOfFrame = 0;
  bool drawnAsEdges = false;  // the triangles showed no area: their edges are drawn
  bool drawnAsBones = false;  // no triangle could be drawn: the bones are
};

// Draws the scene: its triangles when at least one has finite corners, else
// its segments. A triangle naming a vertex that does not exist is left out like
// one with a corner that is not finite; trailing numbers short of a whole
// triangle or segment are ignored. An image of width and height 0 when
// there is nothing to draw: no triangle and no segment with finite corners.
// size is clamped to 16..4096. Triangles are drawn in the scene's order
// while a work budget in proportion to the picture's area lasts (pixel
// centres tested plus a set-up charge per triangle; render_preview.cpp gives
// the figures); the rest are counted in trianglesLeftOut. When they leave
// every pixel transparent, their edges are drawn (drawnAsEdges) under a
// budget of the same size.
PreviewImage RenderPreview(const PreviewScene& scene, int size);

// The image as a PNG file (8-bit RGBA, not interlaced), encoded through
// libpng for speed over size. Empty for an image without pixels, or whose
// rgba does not hold width * height * 4 bytes, or when libpng fails.
std::vector<unsigned char> EncodePng(const PreviewImage& image);
