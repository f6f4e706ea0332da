// Scenes written as corner coordinates, 9 floats per triangle.
#pragma once

#include <cstdint>
#include <vector>

#include "preview/preview_picture.h"

// Each triangle gets three vertices of its own; trailing floats short of a
// triangle are dropped.
inline PreviewScene CornerScene(const std::vector<float>& corners) {
  PreviewScene scene;
  const size_t count = corners.size() / 9;
  scene.positions.assign(corners.begin(), corners.begin() + static_cast<std::ptrdiff_t>(count * 9));
  for (uint32_t i = 0; i < count * 3; ++i) scene.triangles.push_back(i);
  return scene;
}
