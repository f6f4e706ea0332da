// The rotation chain of a whole animation frame (angles -> quaternion ->
// normalised quaternion -> matrix -> angles) for two bones at once, one in
// each lane of a vector of two doubles.
//
// Every operation on exact values is the one of rotation_formulas.h, in the
// same order, applied lane by lane (IEEE arithmetic on vector lanes rounds
// as on scalars, and the build never fuses operations), so each lane's
// result is the scalar result bit for bit. The sine, cosine and atan2
// kernels are those of rounded_trig.h; a lane whose rounding test does not
// decide its float32 value is recomputed by the scalar function, which
// falls back to the C library. The vectors halve the instructions and let
// the two bones' long chains of dependent operations run side by side.
#pragma once

#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "mathlib/rotation_formulas.h"
#include "mathlib/rounded_trig.h"
#include "mathlib/vector_types.h"

namespace paired_rotation {

using Doubles = double __attribute__((vector_size(16)));
using Floats = float __attribute__((vector_size(8)));
using Lanes = int64_t __attribute__((vector_size(16)));   // a mask: each lane all ones or all zeros

inline Doubles Both(double v) { return Doubles{v, v}; }
inline Doubles ThroughFloat(Doubles v) {  // each lane rounded to float32 and widened again
  return __builtin_convertvector(__builtin_convertvector(v, Floats), Doubles);
}
inline Doubles Widen(float a, float b) { return Doubles{a, b}; }
inline Doubles Select(Lanes mask, Doubles ifSet, Doubles ifClear) {
  return reinterpret_cast<Doubles>((reinterpret_cast<Lanes>(ifSet) & mask) | (reinterpret_cast<Lanes>(ifClear) & ~mask));
}
inline Doubles Abs(Doubles v) {
  return reinterpret_cast<Doubles>(reinterpret_cast<Lanes>(v) & Lanes{INT64_MAX, INT64_MAX});
}
inline Doubles SignOf(Doubles v) {  // the sign bit alone
  return reinterpret_cast<Doubles>(reinterpret_cast<Lanes>(v) & Lanes{INT64_MIN, INT64_MIN});
}
inline Doubles Or(Doubles a, Doubles b) {
  return reinterpret_cast<Doubles>(reinterpret_cast<Lanes>(a) | reinterpret_cast<Lanes>(b));
}
inline Doubles SquareRoot(Doubles v) {
  return Doubles{rotation_formulas::SquareRoot(v[0]), rotation_formulas::SquareRoot(v[1])};
}
// Bit 0 for lane 0, bit 1 for lane 1: the lanes set in mask.
inline int LaneBits(Lanes mask) {
#if defined(__SSE2__)
  return _mm_movemask_pd(reinterpret_cast<__m128d>(mask));
#else
  return (mask[0] != 0 ? 1 : 0) | (mask[1] != 0 ? 2 : 0);
#endif
}

// rounded_trig::RoundsToOneFloat on each lane, with the magnitude range
// given as smallest <= |value| < limit (powers of two): the bits of the lanes
// it decides. The halfway test runs on the low 32-bit word of each lane.
inline int DecidedLanes(Doubles value, Doubles smallest, Doubles limit, int32_t slack) {
  using Words = int32_t __attribute__((vector_size(16)));
  const Doubles magnitude = Abs(value);
  const Lanes inRange = reinterpret_cast<Lanes>(magnitude >= smallest) & reinterpret_cast<Lanes>(magnitude < limit);
  const Words low = reinterpret_cast<Words>(reinterpret_cast<Lanes>(value) & Lanes{0x1fffffff, 0x1fffffff});
  const Words offset = low - Words{0x10000000 - slack, 0, 0x10000000 - slack, 0};
  const Words far = (offset < Words{0, 0, 0, 0}) | (offset > Words{2 * slack, 0, 2 * slack, 0});
  // The answers of the low words, spread over their whole lanes.
  const Words farLanes = __builtin_shufflevector(far, far, 0, 0, 2, 2);
  return LaneBits(inRange & reinterpret_cast<Lanes>(farLanes));
}

// SineCosineToFloat on each lane of half (float32 values), widened again.
struct SineCosine {
  Doubles sine, cosine;
};
inline SineCosine SineCosineThroughFloat(Doubles half) {
  using namespace rounded_trig;
  const Doubles a = Abs(half);
  const Lanes inRangeLanes = reinterpret_cast<Lanes>(a <= Both(kSineLimit));
  const int inRange = LaneBits(inRangeLanes);
  const Doubles shifted = a * Both(64.0) + Both(kRoundingShift);
  // Outside the range the index means nothing; keep it inside the table.
  const Lanes index = reinterpret_cast<Lanes>(shifted) & Lanes{0x1ff, 0x1ff} & inRangeLanes;
  const int j0 = static_cast<int>(index[0]), j1 = static_cast<int>(index[1]);
  const Doubles d = a - (shifted - Both(kRoundingShift)) * Both(1.0 / 64);
  const Doubles z = d * d;
  const Doubles sinD = d + (d * z) * (Both(-kInvFact3) + z * Both(kInvFact5));
  const Doubles cosD = Both(1.0) + z * (Both(-kInvFact2) + z * (Both(kInvFact4) + z * Both(-kInvFact6)));
  const Doubles tableSine{kSineCosineOf64ths[j0].sine, kSineCosineOf64ths[j1].sine};
  const Doubles tableCosine{kSineCosineOf64ths[j0].cosine, kSineCosineOf64ths[j1].cosine};
  const Doubles sine = Or(Both(1.0), SignOf(half)) * (tableSine * cosD + tableCosine * sinD);
  const Doubles cosine = tableCosine * cosD - tableSine * sinD;
  // j = 0 exactly when a <= 1/128 (a * 64 is exact, and 1/2 rounds to 0).
  const Doubles smallest =
      Select(reinterpret_cast<Lanes>(a <= Both(1.0 / 128)), Both(0x1p-60), Both(0x1p-8));  // kSineMinExponent*
  const int decided = inRange & DecidedLanes(sine, smallest, Both(2.0), kSineSlack) &
                      DecidedLanes(cosine, smallest, Both(2.0), kSineSlack);
  SineCosine result{ThroughFloat(sine), ThroughFloat(cosine)};
  if (decided != 3) [[unlikely]] {
    for (int lane = 0; lane < 2; ++lane) {
      if (decided & (1 << lane)) continue;
      float s, c;
      ::SineCosineToFloat(static_cast<float>(half[lane]), s, c);
      result.sine[lane] = s;
      result.cosine[lane] = c;
    }
  }
  return result;
}
static_assert(rounded_trig::kSineMinExponentNear0 == -60 && rounded_trig::kSineMinExponent == -8,
              "SineCosineThroughFloat takes results from 2^-60 and 2^-8");

// ScaledAtan2ToFloat on each lane, widened again.
inline Doubles ScaledAtan2ThroughFloat(Doubles y, Doubles x, double scale) {
  using namespace rounded_trig;
  const Doubles ax = Abs(x), ay = Abs(y);
  // InAtanRange for both arguments.
  const Lanes inRangeLanes = reinterpret_cast<Lanes>(ax >= Both(0x1p-400)) & reinterpret_cast<Lanes>(ax < Both(0x1p401)) &
                             reinterpret_cast<Lanes>(ay >= Both(0x1p-400)) & reinterpret_cast<Lanes>(ay < Both(0x1p401));
  const int inRange = LaneBits(inRangeLanes);
  const Lanes steep = reinterpret_cast<Lanes>(ay > ax);
  const Doubles t = Select(steep, ax, ay) / Select(steep, ay, ax);
  const Doubles shifted = t + Both(kIndexShift);
  const Doubles c = shifted - Both(kIndexShift);
  const Lanes index = reinterpret_cast<Lanes>(shifted) & Lanes{0x1ff, 0x1ff} & inRangeLanes;
  const int i0 = static_cast<int>(index[0]), i1 = static_cast<int>(index[1]);
  const Doubles u = (t - c) / (Both(1.0) + t * c);
  const Doubles u2 = u * u;
  const Doubles a =
      Doubles{kAtanOf256ths[i0], kAtanOf256ths[i1]} + (u + (u * u2) * (Both(-1.0 / 3) + u2 * Both(1.0 / 5)));
  // The octant as in Atan2Of: base + sign * a, then the sign of y.
  const Lanes negativeX = reinterpret_cast<Lanes>(x < Both(0.0));
  const Doubles base = Select(steep, Both(kPiOver2), Select(negativeX, Both(kPi), Both(0.0)));
  const Doubles sign = Select(steep ^ negativeX, Both(-1.0), Both(1.0));
  const Doubles scaled = Or(Abs(base + sign * a), SignOf(y)) * Both(scale);
  const int decided = inRange & DecidedLanes(scaled, Both(0x1p-100), Both(0x1p100), kAtanSlack);
  Doubles result = ThroughFloat(scaled);
  if (decided != 3) [[unlikely]] {
    for (int lane = 0; lane < 2; ++lane) {
      if (!(decided & (1 << lane))) result[lane] = ::ScaledAtan2ToFloat(y[lane], x[lane], scale);
    }
  }
  return result;
}
static_assert(rounded_trig::kAtanMinExponent == -100 && rounded_trig::kAtanExponentSpan == 200,
              "ScaledAtan2ThroughFloat takes results from 2^-100 to below 2^100");

// The angles of two bones' whole frames, as SampleAngles gives them for
// s = 0: normalise[lane] says whether the lane's quaternion is normalised
// (its next frame's angles differ) or taken as it is (they are equal).
// Returns the bits of the lanes done; a lane is left undone where the scalar
// path would blend (a -0.0 in its quaternion), for the caller to compute.
inline int WholeFrameAngles(const Vector3 angles[2], const bool normalise[2], Vector3 radians[2]) {
  using rotation_formulas::kDegreesToRadians;
  using rotation_formulas::kGimbalThreshold;
  using rotation_formulas::kRadiansToDegrees;
  // The half-angle sines and cosines of each axis, as HalfAngleOf gives them.
  const auto halfAngle = [&](int axis) {
    return SineCosineThroughFloat(ThroughFloat(Widen(angles[0][axis], angles[1][axis]) * Both(0.5)));
  };
  const SineCosine aboutX = halfAngle(0), aboutY = halfAngle(1), aboutZ = halfAngle(2);
  // HalfAnglesToQuaternion.
  const Doubles sx = aboutX.sine, cx = aboutX.cosine, sy = aboutY.sine, cy = aboutY.cosine;
  const Doubles sz = aboutZ.sine, cz = aboutZ.cosine;
  Doubles q[4] = {ThroughFloat((sx * cy) * cz - (cx * sy) * sz), ThroughFloat((sx * cy) * sz + (cx * sy) * cz),
                  ThroughFloat((cx * cy) * sz - (sx * sy) * cz), ThroughFloat((cx * cy) * cz + (sx * sy) * sz)};
  int done = 3;
  for (int lane = 0; lane < 2; ++lane) {
    if (!normalise[lane]) continue;
    for (int i = 0; i < 4; ++i) {
      if (q[i][lane] == 0.0 && SignOf(q[i])[lane] != 0.0) done &= ~(1 << lane);  // -0.0: the blend decides
    }
  }
  if (done == 0) return 0;
  // NormalizeQuaternion, in the lanes asked for and with a length.
  const Doubles squared = (((Both(0.0) + q[0] * q[0]) + q[1] * q[1]) + q[2] * q[2]) + q[3] * q[3];
  const Lanes scaled = Lanes{normalise[0] ? -1 : 0, normalise[1] ? -1 : 0} & ~reinterpret_cast<Lanes>(squared == Both(0.0));
  const Doubles inverse = Both(1.0) / SquareRoot(squared);
  for (int i = 0; i < 4; ++i) q[i] = Select(scaled, ThroughFloat(q[i] * inverse), q[i]);
  // QuaternionToMatrix, the entries MatrixToAngles reads.
  const Doubles x = q[0], y = q[1], z = q[2], w = q[3], two = Both(2.0), one = Both(1.0);
  const Doubles m00 = ThroughFloat(one - two * y * y - two * z * z);
  const Doubles m10 = ThroughFloat(two * x * y + two * z * w);
  const Doubles m20 = ThroughFloat(two * x * z - two * y * w);
  const Doubles m01 = ThroughFloat(two * x * y - two * z * w);
  const Doubles m11 = ThroughFloat(one - two * x * x - two * z * z);
  const Doubles m21 = ThroughFloat(two * y * z + two * x * w);
  const Doubles m22 = ThroughFloat(one - two * x * x - two * y * y);
  // MatrixToAngles.
  const Doubles xy = SquareRoot(m00 * m00 + m10 * m10);
  const Lanes upright = reinterpret_cast<Lanes>(xy > Both(kGimbalThreshold));
  const Doubles degreesY = ScaledAtan2ThroughFloat(-m20, xy, kRadiansToDegrees);
  const Doubles degreesZ = ScaledAtan2ThroughFloat(Select(upright, m10, -m01), Select(upright, m00, m11), kRadiansToDegrees);
  const Doubles degreesX = Select(upright, ScaledAtan2ThroughFloat(m21, m22, kRadiansToDegrees), Both(0.0));
  // Degree order (Y, Z, X) to radian order (X, Y, Z).
  const Doubles aboutXRadians = ThroughFloat(degreesX * Both(kDegreesToRadians));
  const Doubles aboutYRadians = ThroughFloat(degreesY * Both(kDegreesToRadians));
  const Doubles aboutZRadians = ThroughFloat(degreesZ * Both(kDegreesToRadians));
  for (int lane = 0; lane < 2; ++lane) {
    radians[lane] = Vector3{static_cast<float>(aboutXRadians[lane]), static_cast<float>(aboutYRadians[lane]),
                            static_cast<float>(aboutZRadians[lane])};
  }
  return done;
}

}  // namespace paired_rotation
