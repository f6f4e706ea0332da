#include "mathlib/math_routines.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "mathlib/math_estimates.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr float kEpsilon = 1.1920929e-07f;  // 2^-23: keeps a zero length from dividing by zero

double LengthSquared(const Vector3& v) {
  const double x = v.x, y = v.y, z = v.z;
  return x * x + y * y + z * z;
}

float LengthSquaredFloat(const Vector3& v) { return v.x * v.x + v.y * v.y + v.z * v.z; }

void Scale(Vector3& v, float k) {
  v.x *= k;
  v.y *= k;
  v.z *= k;
}

// One Newton step on a reciprocal-square-root estimate. The step turns an
// infinite estimate (x = 0) or a zero one (x = infinity) into NaN, so those
// keep the estimate, which is already the right answer.
float RefineReciprocalSqrt(float x, float r) {
  if (r == 0.0f || std::isinf(r)) return r;
  return 0.5f * r * (3.0f - x * r * r);
}

// sin(u * pi/2) on 0..1, in float32.
float QuarterSine(float u) {
  const float u2 = u * u;
  return u * (1.5707964f + u2 * (-0.6459641f + u2 * (0.07969262f + u2 * -0.004681754f)));
}

constexpr float kHalfPi = 1.5707964f;
constexpr float kTwoOverPi = 0.63661975f;

// Quadrant of t >= 0: whole part q and fraction f (at most 1), plus the low
// two bits of q. From 2^26 on every float is a multiple of 4, and NaN gives
// bits 0 (its result is NaN anyway).
struct Quadrant {
  float fraction;
  bool odd;
  bool secondHalf;  // bit 1 of q
};

// SSE form: the quadrant's bits come from float arithmetic.
Quadrant QuadrantFloat(float t) {
  const float q = std::trunc(t);
  const float f = std::min(t - q, 1.0f);
  const float low = std::fmod(q, 4.0f);  // exact; NaN stays NaN and compares false
  return {f, low == 1.0f || low == 3.0f, low >= 2.0f};
}

// SSE2 form: the quadrant's bits come from an integer conversion. The
// instruction yields 0x80000000 out of range or for NaN: low bits 00, as the
// float form gives there too.
Quadrant QuadrantInteger(float t) {
#if defined(__SSE2__)
  const int32_t q = _mm_cvtsi128_si32(_mm_cvttps_epi32(_mm_set_ss(t)));
#else
  const int32_t q = (t >= 0.0f && t < 2147483648.0f) ? static_cast<int32_t>(t) : INT32_MIN;
#endif
  const float f = std::min(t - std::trunc(t), 1.0f);
  return {f, (q & 1) != 0, (q & 2) != 0};
}

float PolynomialCosine(float angle, Quadrant (*quadrant)(float)) {
  const Quadrant qd = quadrant((std::fabs(angle) + kHalfPi) * kTwoOverPi);
  const float value = QuarterSine(qd.odd ? 1.0f - qd.fraction : qd.fraction);
  return qd.secondHalf ? -value : value;
}

void PolynomialSineCosine(float angle, float& sine, float& cosine, Quadrant (*quadrant)(float)) {
  const Quadrant qd = quadrant(std::fabs(angle) * kTwoOverPi);
  float s = QuarterSine(qd.odd ? 1.0f - qd.fraction : qd.fraction);
  if (std::signbit(angle)) s = -s;
  if (qd.secondHalf) s = -s;
  const float c = QuarterSine(qd.odd ? qd.fraction : 1.0f - qd.fraction);
  // Bit 1 of q + 1 is set for q = 1 and 2 (mod 4).
  const bool negateCosine = qd.odd != qd.secondHalf;
  sine = s;
  cosine = negateCosine ? -c : c;
}

}  // namespace

// ---- default set ----

float SqrtX87(float x) { return static_cast<float>(std::sqrt(static_cast<double>(x))); }

float InvSqrtX87(float x) { return static_cast<float>(1.0 / std::sqrt(static_cast<double>(x))); }

float NormalizeReturnLengthX87(Vector3& v) {
  const double length = std::sqrt(LengthSquared(v));
  const double k = 1.0 / (length + kEpsilon);
  v.x = static_cast<float>(v.x * k);
  v.y = static_cast<float>(v.y * k);
  v.z = static_cast<float>(v.z * k);
  return static_cast<float>(length);
}

void NormalizeInPlaceX87(Vector3& v) { NormalizeReturnLengthX87(v); }

float InvLengthSquaredX87(const Vector3& v) {
  const double s = LengthSquared(v);
  return s < 1.0 ? 1.0f : static_cast<float>(1.0 / s);
}

void SineCosineX87(float angle, float& sine, float& cosine) {
  sine = static_cast<float>(std::sin(static_cast<double>(angle)));
  cosine = static_cast<float>(std::cos(static_cast<double>(angle)));
}

float CosineX87(float angle) { return static_cast<float>(std::cos(static_cast<double>(angle))); }

// ---- 3DNow! set ----

float SqrtThreeDNow(float x) { return x * ThreeDNowReciprocalSqrtEstimate(x); }

float InvSqrtThreeDNow(float x) { return 1.0f / SqrtThreeDNow(x); }

float NormalizeReturnLengthThreeDNow(Vector3& v) {
  if (v.x == 0.0f && v.y == 0.0f && v.z == 0.0f) return 0.0f;
  const float s = LengthSquaredFloat(v);
  const float r = ThreeDNowReciprocalSqrtEstimate(s);
  Scale(v, r);
  return s * r;
}

void NormalizeInPlaceThreeDNow(Vector3& v) { NormalizeReturnLengthThreeDNow(v); }

float InvLengthSquaredThreeDNow(const Vector3& v) {
  return ThreeDNowReciprocalEstimate(std::max(LengthSquaredFloat(v), 1.0f));
}

// ---- SSE set ----

float SqrtSse(float x) { return std::sqrt(x); }

float InvSqrtSse(float x) { return RefineReciprocalSqrt(x, SseReciprocalSqrtEstimate(x)); }

float InvSqrtEstimateSse(float x) { return SseReciprocalSqrtEstimate(x); }

void NormalizeInPlaceSse(Vector3& v) {
  const float s = LengthSquaredFloat(v) + kEpsilon;
  Scale(v, RefineReciprocalSqrt(s, SseReciprocalSqrtEstimate(s)));
}

float InvLengthSquaredSse(const Vector3& v) {
  return SseReciprocalEstimate(std::max(LengthSquaredFloat(v), 1.0f));
}

void SineCosineSse(float angle, float& sine, float& cosine) {
  PolynomialSineCosine(angle, sine, cosine, QuadrantFloat);
}

float CosineSse(float angle) { return PolynomialCosine(angle, QuadrantFloat); }

// ---- SSE2 set ----

void SineCosineSse2(float angle, float& sine, float& cosine) {
  PolynomialSineCosine(angle, sine, cosine, QuadrantInteger);
}

float CosineSse2(float angle) { return PolynomialCosine(angle, QuadrantInteger); }
