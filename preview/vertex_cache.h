// What the renderer knows about the vertices of the batch in hand: whether
// each is finite and, once a view is given, its filled corner on the screen.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "preview/preview_picture.h"
#include "preview/triangle_fill.h"
#include "preview/view_transform.h"

// Without an early exit or a branch per value, so the loop vectorizes: a
// float is finite when its exponent bits are not all ones.
template <size_t kCount>
bool AllFinite(const float* values) {
  uint32_t nonFinite = 0;
  for (size_t i = 0; i < kCount; ++i)
    nonFinite |= static_cast<uint32_t>((std::bit_cast<uint32_t>(values[i]) & 0x7f800000u) == 0x7f800000u);
  return nonFinite == 0;
}

// Vertex k of a batch, read in place.
inline void LoadVertex(const PreviewBatch& batch, size_t k, float out[3]) {
  std::memcpy(out, batch.positions + k * batch.stride, 3 * sizeof(float));
}

// A vertex is looked at only when a triangle names it, so the work follows
// the triangles, not the batches' vertex counts. The marks are never
// cleared: each batch has marks of its own (named, looked), so a new batch
// only changes the marks that count. Few bytes a vertex: the arrays are
// fresh memory, whose pages each cost a fault on their first touch.
class VertexCache {
 public:
  enum State : uint8_t { kNotFinite, kFinite, kOnScreen };

  // The batch whose vertices are looked at next; with a view, finite
  // vertices are projected through it.
  void Begin(const PreviewBatch& batch, const ViewTransform* view) {
    batch_ = &batch;
    view_ = view;
    // Vertex numbers are 16 bits: a larger vertex count reaches no further.
    const size_t reach = std::min<size_t>(batch.vertexCount, size_t{1} << 16);
    if (mark_.size() < reach) {
      mark_.resize(reach, 0);
      state_.resize(reach);
      corner_.resize(reach);
    }
    named_ += 2;
    if (named_ == 0) {  // wrapped around: no mark left may match
      std::fill(mark_.begin(), mark_.end(), 0);
      std::fill(framed_.begin(), framed_.end(), 0);
      named_ = 2;
    }
  }

  // kNotFinite also when vertex k does not exist; kOnScreen when, with a
  // view, it can be a filled corner.
  State Look(uint32_t k) {
    if (k >= batch_->vertexCount) return kNotFinite;
    if (mark_[k] != Looked()) {
      mark_[k] = Looked();
      float p[3];
      LoadVertex(*batch_, k, p);
      State state = AllFinite<3>(p) ? kFinite : kNotFinite;
      if (state == kFinite && view_ != nullptr && MakeFillCorner(ProjectPoint(*view_, p[0], p[1], p[2]), corner_[k]))
        state = kOnScreen;
      state_[k] = state;
    }
    return static_cast<State>(state_[k]);
  }

  // True the first time it is asked for vertex k (one that exists) of the
  // batch in hand.
  bool FirstTime(uint32_t k) {
    if (framed_.size() < mark_.size()) framed_.resize(mark_.size(), 0);
    if (framed_[k] == named_) return false;
    framed_[k] = named_;
    return true;
  }

  const FillCorner& Corner(uint32_t k) const { return corner_[k]; }

  // Looks at every vertex the batch's whole triangles name, each once and in
  // the order of their numbers, calls visit(k, state) for each, and returns
  // the least state among them. Going by vertex numbers, not corner by
  // corner, keeps the branches predictable on a dense mesh. Returns
  // kNotFinite at once, visiting nothing, when a number names no vertex or
  // when the numbers reach beyond the corner count (the walk would cost more
  // than the triangles). Called first for a batch, before Look.
  template <typename Visit>
  State LookAtNamed(Visit visit) {
    const uint16_t* corners = batch_->corners;
    const size_t count = batch_->cornerCount / 3 * 3;
    if (count == 0) return kNotFinite;
    uint16_t highest = 0;
    for (size_t i = 0; i < count; ++i) highest = std::max(highest, corners[i]);
    if (highest >= batch_->vertexCount || highest >= count) return kNotFinite;
    for (size_t i = 0; i < count; ++i) mark_[corners[i]] = named_;
    State least = view_ != nullptr ? kOnScreen : kFinite;
    for (uint32_t k = 0; k <= highest; ++k) {
      if (mark_[k] != named_) continue;
      const State state = Look(k);
      least = std::min(least, state);
      visit(k, state);
    }
    return least;
  }

 private:
  uint32_t Looked() const { return named_ + 1; }

  const PreviewBatch* batch_ = nullptr;
  const ViewTransform* view_ = nullptr;
  uint32_t named_ = 0;              // this batch's mark of a named vertex; named_ + 1 of one looked at
  std::vector<uint32_t> mark_;      // per vertex
  std::vector<uint32_t> framed_;    // per vertex, made when first asked for
  std::vector<uint8_t> state_;
  std::vector<FillCorner> corner_;
};
