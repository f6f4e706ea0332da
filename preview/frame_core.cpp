#include "preview/frame_core.h"

#include <algorithm>
#include <cmath>

bool FrameCore::Holds(const float p[3]) const {
  if (holdsEverything) return true;
  const PlanePoint q = OnCameraPlane(p[0], p[1], p[2]);
  return std::fabs(q.right - centre.right) <= reach && std::fabs(q.down - centre.down) <= reach;
}

void FrameSample::Keep(const float p[3]) {
  skip_ = every_;
  // Past a few hundred points, the whole sample's memory at once: no copies
  // (and no fresh pages for them) as it fills. Small models never take it.
  if (points_.size() == kFewPoints) points_.reserve(2 * kMaxPoints);
  points_.push_back(OnCameraPlane(p[0], p[1], p[2]));
  // Full: keep every other point and take every other one from now on, so
  // the sample stays spread over all the points met.
  if (points_.size() == 2 * kMaxPoints) {
    for (size_t i = 0; i < kMaxPoints; ++i) points_[i] = points_[2 * i];
    points_.resize(kMaxPoints);
    every_ *= 2;
  }
}

namespace {

// The value at fraction q of the ordering (moves the values about).
double Quantile(std::vector<double>& values, double q) {
  const auto at = values.begin() + static_cast<ptrdiff_t>(q * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), at, values.end());
  return *at;
}

}  // namespace

FrameCore FrameSample::Core(const SceneBox& box) const {
  FrameCore core;
  if (points_.size() < 4 || box.empty) return core;
  std::vector<double> values(points_.size());
  std::transform(points_.begin(), points_.end(), values.begin(), [](const PlanePoint& p) { return p.right; });
  core.centre.right = Quantile(values, 0.5);
  std::transform(points_.begin(), points_.end(), values.begin(), [](const PlanePoint& p) { return p.down; });
  core.centre.down = Quantile(values, 0.5);
  std::transform(points_.begin(), points_.end(), values.begin(), [&core](const PlanePoint& p) {
    return std::max(std::fabs(p.right - core.centre.right), std::fabs(p.down - core.centre.down));
  });
  const double spread = Quantile(values, 0.75);
  if (!(spread > 0)) return core;
  core.reach = FrameCore::kFarFactor * spread;
  // The box's corners reach at least as far as any point: when they are all
  // within the core, so is every point.
  core.holdsEverything = false;
  bool boxHeld = true;
  for (int c = 0; c < 8 && boxHeld; ++c) {
    const float corner[3] = {(c & 1) ? box.max[0] : box.min[0], (c & 2) ? box.max[1] : box.min[1],
                             (c & 4) ? box.max[2] : box.min[2]};
    boxHeld = core.Holds(corner);
  }
  core.holdsEverything = boxHeld;
  return core;
}
