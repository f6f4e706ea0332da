#include "mathlib/rotation_lanes.h"

#include <cstdint>
#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "mathlib/rotation_formulas.h"
#include "mathlib/rounded_trig.h"

namespace rotation_lanes {
namespace {

// Two lanes: the vectors of SSE2, which every x86-64 processor has (other
// processors get the same code through the compiler's generic vectors).
namespace two_lanes {

constexpr int kLanes = 2;
using Doubles = double __attribute__((vector_size(16)));
using Floats = float __attribute__((vector_size(8)));
using Lanes = int64_t __attribute__((vector_size(16)));  // masks: each lane all ones or all zeros
using Words = int32_t __attribute__((vector_size(16)));

inline Words SpreadLowWords(Words w) { return __builtin_shufflevector(w, w, 0, 0, 2, 2); }
// Bit k for lane k, from each lane's sign bit.
inline int LaneBits(Lanes mask) {
#if defined(__SSE2__)
  return _mm_movemask_pd(reinterpret_cast<__m128d>(mask));
#else
  return (mask[0] < 0 ? 1 : 0) | (mask[1] < 0 ? 2 : 0);
#endif
}
inline Doubles SquareRoot(Doubles v) {  // correctly rounded in each lane, as std::sqrt
#if defined(__SSE2__)
  return reinterpret_cast<Doubles>(_mm_sqrt_pd(reinterpret_cast<__m128d>(v)));
#else
  return Doubles{rotation_formulas::SquareRoot(v[0]), rotation_formulas::SquareRoot(v[1])};
#endif
}

#include "mathlib/rotation_lanes.inc"

}  // namespace two_lanes

#if defined(__x86_64__) && defined(__GNUC__)
#define TAMBERLO_FOUR_LANES 1
// Four lanes: the vectors of AVX2, compiled for it here and used only where
// the processor has it.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace four_lanes {

constexpr int kLanes = 4;
using Doubles = double __attribute__((vector_size(32)));
using Floats = float __attribute__((vector_size(16)));
using Lanes = int64_t __attribute__((vector_size(32)));
using Words = int32_t __attribute__((vector_size(32)));

inline Words SpreadLowWords(Words w) { return __builtin_shufflevector(w, w, 0, 0, 2, 2, 4, 4, 6, 6); }
inline int LaneBits(Lanes mask) { return _mm256_movemask_pd(reinterpret_cast<__m256d>(mask)); }
inline Doubles SquareRoot(Doubles v) { return reinterpret_cast<Doubles>(_mm256_sqrt_pd(reinterpret_cast<__m256d>(v))); }

#include "mathlib/rotation_lanes.inc"

int WholeFrameAngles(const Vector3* angles, const bool* normalise, Vector3* radians) {
  return WholeFrameAnglesOfLanes(angles, normalise, radians);
}
void SineCosine(const float* x, float* sine, float* cosine) { SineCosineOfLanes(x, sine, cosine); }
void ScaledAtan2(const double* y, const double* x, const float* guideHalf, double scale, float* result) {
  ScaledAtan2OfLanes(y, x, guideHalf, scale, result);
}
void Quaternions(const Vector3* angles, Quaternion* quaternions) { QuaternionsOfLanes(angles, quaternions); }

}  // namespace four_lanes
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

// Eight lanes: the vectors of AVX-512 (its foundation and double-word and
// quad-word instructions), compiled for it here and used only where the
// processor has it.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f,avx512dq"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,avx512dq")
#endif
namespace eight_lanes {

constexpr int kLanes = 8;
using Doubles = double __attribute__((vector_size(64)));
using Floats = float __attribute__((vector_size(32)));
using Lanes = int64_t __attribute__((vector_size(64)));
using Words = int32_t __attribute__((vector_size(64)));

inline Words SpreadLowWords(Words w) {
  return __builtin_shufflevector(w, w, 0, 0, 2, 2, 4, 4, 6, 6, 8, 8, 10, 10, 12, 12, 14, 14);
}
inline int LaneBits(Lanes mask) { return _mm512_movepi64_mask(reinterpret_cast<__m512i>(mask)); }
inline Doubles SquareRoot(Doubles v) {  // the masked form: GCC 12's plain one trips its own warning
  const __m512d wide = reinterpret_cast<__m512d>(v);
  return reinterpret_cast<Doubles>(_mm512_mask_sqrt_pd(wide, 0xff, wide));
}

#include "mathlib/rotation_lanes.inc"

int WholeFrameAngles(const Vector3* angles, const bool* normalise, Vector3* radians) {
  return WholeFrameAnglesOfLanes(angles, normalise, radians);
}
void SineCosine(const float* x, float* sine, float* cosine) { SineCosineOfLanes(x, sine, cosine); }
void ScaledAtan2(const double* y, const double* x, const float* guideHalf, double scale, float* result) {
  ScaledAtan2OfLanes(y, x, guideHalf, scale, result);
}
void Quaternions(const Vector3* angles, Quaternion* quaternions) { QuaternionsOfLanes(angles, quaternions); }

}  // namespace eight_lanes
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#else
// Elsewhere InLanes never asks for four or eight lanes.
namespace four_lanes {
int WholeFrameAngles(const Vector3*, const bool*, Vector3*) { return 0; }
void SineCosine(const float*, float*, float*) {}
void Quaternions(const Vector3*, Quaternion*) {}
void ScaledAtan2(const double*, const double*, const float*, double, float*) {}
}  // namespace four_lanes
namespace eight_lanes = four_lanes;
#endif

}  // namespace

int LaneCount() {
#if defined(TAMBERLO_FOUR_LANES)
  static const int count = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") ? 8
                           : __builtin_cpu_supports("avx2")                                         ? 4
                                                                                                     : 2;
  return count;
#else
  return 2;
#endif
}

namespace {

// Runs `lanes` values (2, 4 or 8) through the widest of eight, four and two
// lanes the processor has, a few times where it has fewer.
template <typename Eight, typename Four, typename Two>
void InLanes(int lanes, Eight eight, Four four, Two two) {
#if defined(TAMBERLO_FOUR_LANES)
  if (lanes == 8 && LaneCount() == 8) return eight(0);
  if (lanes >= 4 && LaneCount() >= 4) {
    for (int first = 0; first < lanes; first += 4) four(first);
    return;
  }
#else
  (void)eight;
  (void)four;
#endif
  for (int first = 0; first < lanes; first += 2) two(first);
}

}  // namespace

int WholeFrameAngles(int lanes, const Vector3* angles, const bool* normalise, Vector3* radians) {
  int done = 0;
  InLanes(
      lanes, [&](int) { done = eight_lanes::WholeFrameAngles(angles, normalise, radians); },
      [&](int first) { done |= four_lanes::WholeFrameAngles(angles + first, normalise + first, radians + first) << first; },
      [&](int first) {
        done |= two_lanes::WholeFrameAnglesOfLanes(angles + first, normalise + first, radians + first) << first;
      });
  return done;
}

void AnglesToQuaternions(int lanes, const Vector3* radians, Quaternion* quaternions) {
  InLanes(
      lanes, [&](int) { eight_lanes::Quaternions(radians, quaternions); },
      [&](int first) { four_lanes::Quaternions(radians + first, quaternions + first); },
      [&](int first) { two_lanes::QuaternionsOfLanes(radians + first, quaternions + first); });
}

void SineCosineToFloat(int lanes, const float* x, float* sine, float* cosine) {
  InLanes(
      lanes, [&](int) { eight_lanes::SineCosine(x, sine, cosine); },
      [&](int first) { four_lanes::SineCosine(x + first, sine + first, cosine + first); },
      [&](int first) { two_lanes::SineCosineOfLanes(x + first, sine + first, cosine + first); });
}

namespace {

void ScaledAtan2Lanes(int lanes, const double* y, const double* x, const float* guideHalf, double scale,
                      float* result) {
  const auto guide = [&](int first) { return guideHalf == nullptr ? nullptr : guideHalf + first; };
  InLanes(
      lanes, [&](int) { eight_lanes::ScaledAtan2(y, x, guideHalf, scale, result); },
      [&](int first) { four_lanes::ScaledAtan2(y + first, x + first, guide(first), scale, result + first); },
      [&](int first) { two_lanes::ScaledAtan2OfLanes(y + first, x + first, guide(first), scale, result + first); });
}

}  // namespace

void ScaledAtan2ToFloat(int lanes, const double* y, const double* x, double scale, float* result) {
  ScaledAtan2Lanes(lanes, y, x, nullptr, scale, result);
}

void ScaledAtan2NearToFloat(int lanes, const double* y, const double* x, const float* guideHalf, double scale,
                            float* result) {
  ScaledAtan2Lanes(lanes, y, x, guideHalf, scale, result);
}

}  // namespace rotation_lanes
