#include "mathlib/math_estimates.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace {

// Rounds a float to `fractionBits` bits after the binary point of its
// significand, to nearest. Models an estimate instruction of that accuracy
// by the correctly rounded value cut down to its precision.
float KeepFractionBits(float value, int fractionBits) {
  if (!std::isfinite(value) || value == 0.0f) return value;
  const int dropped = 23 - fractionBits;
  uint32_t bits = std::bit_cast<uint32_t>(value);
  bits += 1u << (dropped - 1);
  bits &= ~((1u << dropped) - 1u);
  return std::bit_cast<float>(bits);
}

float Saturated(float signSource) { return std::copysign(FLT_MAX, signSource); }

}  // namespace

// Where the target has SSE the instructions themselves are used; elsewhere
// the correctly rounded value cut to the 12 bits the instructions guarantee.
float SseReciprocalSqrtEstimate(float x) {
#if defined(__SSE__)
  return _mm_cvtss_f32(_mm_rsqrt_ss(_mm_set_ss(x)));
#else
  return KeepFractionBits(static_cast<float>(1.0 / std::sqrt(static_cast<double>(x))), 11);
#endif
}

float SseReciprocalEstimate(float x) {
#if defined(__SSE__)
  return _mm_cvtss_f32(_mm_rcp_ss(_mm_set_ss(x)));
#else
  return KeepFractionBits(static_cast<float>(1.0 / static_cast<double>(x)), 11);
#endif
}

// No current processor executes 3DNow!, so these are always portable code
// computing an estimate of the instructions' documented accuracy.
float ThreeDNowReciprocalSqrtEstimate(float x) {
  if (x == 0.0f) return Saturated(x);
  return KeepFractionBits(static_cast<float>(1.0 / std::sqrt(static_cast<double>(x))), 14);
}

float ThreeDNowReciprocalEstimate(float x) {
  if (x == 0.0f) return Saturated(x);
  return KeepFractionBits(static_cast<float>(1.0 / static_cast<double>(x)), 13);
}
