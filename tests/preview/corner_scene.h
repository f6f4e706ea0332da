// Scenes over arrays a test keeps: one batch of vertices and triangles.
#pragma once

#include <cstdint>
#include <vector>

#include "preview/preview_picture.h"

struct TestScene {
  std::vector<float> positions;   // x, y, z per vertex
  std::vector<uint16_t> corners;  // 3 vertex numbers per triangle
  std::vector<float> segments;

  PreviewBatch Batch() const {
    return PreviewBatch{reinterpret_cast<const unsigned char*>(positions.data()), 12, positions.size() / 3,
                        corners.data(), corners.size()};
  }

  // Reads this object's arrays: keep it alive and unchanged while the scene
  // is used. withSpans also offers the batch without its corners (eachSpan).
  PreviewScene Scene(bool withSpans = false) const {
    PreviewScene scene;
    scene.segments = segments;
    scene.eachBatch = [this](const PreviewBatchVisitor& visit) {
      if (!corners.empty()) visit(Batch());
    };
    if (withSpans) {
      scene.eachSpan = [this](const PreviewBatchVisitor& visit) {
        PreviewBatch batch = Batch();
        batch.corners = nullptr;
        if (!corners.empty()) visit(batch);
      };
    }
    return scene;
  }
};

// Each triangle of 9 floats gets three vertices of its own; trailing floats
// short of a triangle are dropped.
inline TestScene CornerScene(const std::vector<float>& corners) {
  TestScene scene;
  const size_t count = corners.size() / 9;
  scene.positions.assign(corners.begin(), corners.begin() + static_cast<std::ptrdiff_t>(count * 9));
  for (size_t i = 0; i < count * 3; ++i) scene.corners.push_back(static_cast<uint16_t>(i));
  return scene;
}
