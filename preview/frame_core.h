// Which points a preview frames: all of them, unless a few lie far from
// where most of the model is. One vertex at 1e10 beside a model a few units
// wide would otherwise shrink the model to less than a pixel.
#pragma once

#include <cstdint>
#include <vector>

#include "preview/view_transform.h"

// Where most points lie on the camera's image plane: a square around the
// points' median, reaching kFarFactor times the distance within which three
// quarters of them lie (distances along the plane's axes, the larger of
// the two). Points beyond it are far from the rest.
struct FrameCore {
  static constexpr double kFarFactor = 64;
  bool holdsEverything = true;  // no point was found far from the rest
  PlanePoint centre;
  double reach = 0;
  bool Holds(const float p[3]) const;
  bool operator==(const FrameCore&) const = default;
};

// A bounded, evenly spread sample of the points a picture frames, taken as
// they are met. Deterministic: the same points in the same order give the
// same sample.
class FrameSample {
 public:
  // Inline: every vertex a picture frames is met here, and most are passed over.
  void Add(const float p[3]) {
    if (--skip_ > 0) return;
    Keep(p);
  }
  // The core of the points sampled. holdsEverything when fewer than 4 were
  // sampled, when three quarters of them share one place (no scale to judge
  // by), or when every point of `box` (the box of all the points) is
  // within the core.
  FrameCore Core(const SceneBox& box) const;
  // Starts again without points, keeping the memory it has (fresh pages cost
  // a fault each on their first touch).
  void Restart() {
    points_.clear();
    every_ = skip_ = 1;
  }

 private:
  void Keep(const float p[3]);
  // Quantiles of a few thousand points spread over the model are as good as
  // those of all of them, for a factor of 64.
  static constexpr size_t kMaxPoints = size_t{1} << 12;
  static constexpr size_t kFewPoints = 256;
  std::vector<PlanePoint> points_;
  uint64_t every_ = 1;  // one point in every_ met is kept
  uint64_t skip_ = 1;   // points to meet up to the next one kept
};
