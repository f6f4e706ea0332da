// Sine, cosine and atan2 results rounded to float32 that equal the C
// library's, at a fraction of its cost.
//
// Each function evaluates a short double-precision kernel with a proven error
// bound, then applies the rounding test: when every double within the bound
// of the kernel's result rounds to one float32, the C library's result, which
// lies within that bound too, rounds to it as well, so that float is the
// answer. Otherwise, and outside the kernels' ranges (large, tiny, zero or
// non-finite arguments and results), the C library is called. The bound
// allows the C library an error of one unit in the last place of a double
// and the kernel several times its own proven error, so a result is left to
// the C library only when it lies within about 2^-18 of a float32 unit from
// a rounding boundary.
//
// The Fast* forms give the kernel's answer alone and report whether the
// rounding test decided it.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace rounded_trig {

inline uint32_t FloatBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

inline uint64_t DoubleBits(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// The rounding test. value is within `slack` units in its last place (ulps)
// of the double whose float32 rounding is wanted, and 2^minExponent <=
// |value| < 2^(minExponent + exponentSpan), inside the normal float32 range.
// There, the float32 rounding boundaries (the halfway points between two
// floats) are the doubles whose low 29 bits are exactly 2^28; every double
// within `slack` ulps of value rounds to the float nearest to value unless
// value's low 29 bits are within `slack` of 2^28. (Stepping into the binade
// below halves the ulp, but a boundary there lies 2^28 of its ulps from the
// binade's top, far beyond 2 * slack.)
inline bool RoundsToOneFloat(double value, int minExponent, int exponentSpan, uint32_t slack, float& result) {
  const uint64_t bits = DoubleBits(value);
  const uint32_t exponent = static_cast<uint32_t>(bits >> 52) & 0x7ff;
  const uint32_t low = static_cast<uint32_t>(bits) & 0x1fffffff;
  result = static_cast<float>(value);
  return (exponent - static_cast<uint32_t>(1023 + minExponent) < static_cast<uint32_t>(exponentSpan)) &
         (low - (0x10000000u - slack) > 2 * slack);
}

// Sine and cosine, |x| <= 2^10.
//
// Reduction: k = nearest integer to x * 2/pi, r = (x - k * P1) - k * P2 with
// P1 = pi/2 cut to 35 bits, P2 the next 53. For a float32 x with k != 0
// (|x| >= pi/4, a multiple of 2^-24) and |k| <= 2^10, k * P1 and x - k * P1
// are multiples of 2^-34 below 2^11 and below 1, so both are exact; the
// error of r is the rounding of k * P2 (at most |k| * 2^-91), the part of
// pi/2 beyond P2 (below |k| * 2^-92) and the last subtraction (2^-53 |r|).
// For k = 0, r = x exactly.
// Polynomials on |r| <= pi/4 + 2^-40: the Taylor series of sine to r^13 and
// of cosine to r^14; both alternate with shrinking terms, so the truncation
// is below the first term left out: r^15/15! < 2^-45 |sin r| and
// r^16/16! < 2^-49 |cos r|. Evaluation: the terms after the first are below
// a tenth of it and each operation rounds once, so the rounding adds under
// 2^-50 relative (sin r >= 0.9 r there, cos r >= 0.7). So
// |kernel - exact| <= 2^-44.5 |result| + |k| * 2^-89. The test takes results
// from 2^-20 (smaller ones go to the C library), where the second term is
// below 2^-6 ulp: with the C library's ulp, under 514 ulps in all. It uses a
// slack of 2048 ulps.
constexpr double kSineLimit = 0x1p10;
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kPiOver2High = 0x1.921fb5444p+0;      // 35 significant bits
constexpr double kPiOver2Low = 0x1.68c234c4c6629p-39;  // pi/2 - kPiOver2High, rounded
constexpr double kRoundingShift = 0x1.8p52;           // adding it rounds to an integer
constexpr int kSineMinExponent = -20;                 // results from 2^-20 to below 2
constexpr int kSineExponentSpan = 21;
constexpr uint32_t kSineSlack = 2048;

// 1/n! for the two series.
constexpr double kInvFact3 = 0x1.5555555555555p-3, kInvFact5 = 0x1.1111111111111p-7,
                 kInvFact7 = 0x1.a01a01a01a01ap-13, kInvFact9 = 0x1.71de3a556c734p-19,
                 kInvFact11 = 0x1.ae64567f544e4p-26, kInvFact13 = 0x1.6124613a86d09p-33;
constexpr double kInvFact4 = 0x1.5555555555555p-5, kInvFact6 = 0x1.6c16c16c16c17p-10,
                 kInvFact8 = 0x1.a01a01a01a01ap-16, kInvFact10 = 0x1.27e4fb7789f5cp-22,
                 kInvFact12 = 0x1.1eed8eff8d898p-29, kInvFact14 = 0x1.93974a8c07c9dp-37;

// Quadrant q = k mod 4: sin x = kSineOfSin[q] sin r + kSineOfCos[q] cos r,
// cos x = kCosineOfSin[q] sin r + kCosineOfCos[q] cos r (products with 0 and
// +-1 are exact, and no branch depends on the quadrant).
constexpr double kSineOfSin[4] = {1, 0, -1, 0}, kSineOfCos[4] = {0, 1, 0, -1};
constexpr double kCosineOfSin[4] = {0, -1, 0, 1}, kCosineOfCos[4] = {1, 0, -1, 0};

// The kernel's sine and cosine of x, |x| <= kSineLimit.
struct SineCosine {
  double sine, cosine;
};
inline SineCosine SineCosineOf(double x) {
  const double k = (x * kTwoOverPi + kRoundingShift) - kRoundingShift;
  const double r = (x - k * kPiOver2High) - k * kPiOver2Low;
  // The series in z = r^2, evaluated by Estrin's scheme (pairs, then pairs
  // of pairs) for a short chain of dependent operations.
  const double z = r * r, z2 = z * z, z4 = z2 * z2;
  const double sineSeries =
      ((-kInvFact3 + z * kInvFact5) + z2 * (-kInvFact7 + z * kInvFact9)) + z4 * (-kInvFact11 + z * kInvFact13);
  const double cosineSeries = ((-0.5 + z * kInvFact4) + z2 * (-kInvFact6 + z * kInvFact8)) +
                              z4 * ((-kInvFact10 + z * kInvFact12) + z2 * -kInvFact14);
  const double sinR = r + (r * z) * sineSeries;
  const double cosR = 1.0 + z * cosineSeries;
  const int quadrant = static_cast<int>(k) & 3;
  return SineCosine{kSineOfSin[quadrant] * sinR + kSineOfCos[quadrant] * cosR,
                    kCosineOfSin[quadrant] * sinR + kCosineOfCos[quadrant] * cosR};
}

// float32 of the C library's sin(x) and cos(x), when the kernel decides both.
inline bool FastSineCosine(float x, float& sine, float& cosine) {
  const double wide = x;
  if (!(std::fabs(wide) <= kSineLimit)) return false;  // also NaN
  const SineCosine kernel = SineCosineOf(wide);
  return RoundsToOneFloat(kernel.sine, kSineMinExponent, kSineExponentSpan, kSineSlack, sine) &
         RoundsToOneFloat(kernel.cosine, kSineMinExponent, kSineExponentSpan, kSineSlack, cosine);
}

// atan2 of finite arguments with magnitudes in [2^-400, 2^401).
//
// With num = min(|x|, |y|), den = max(|x|, |y|) and t = num / den in [0, 1]
// (rounded: 2^-53 relative), c is t rounded to a multiple of 1/256 and
// atan t = atan c + atan u with u = (t - c) / (1 + t c), |u| <= 1/512.
// t - c is exact (t lies within [c/2, 2c], or c = 0); the denominator and the
// quotient round three times (2^-52 relative), and the error of t moves u by
// at most 2^-52 t, which is below 2^-51.6 atan t. atan c comes from a table
// (rounded to double), atan u from its series to u^5, whose truncation u^7/7
// is below 2^-56 |u|; the sum a = atan t is within 2^-50 relative. The octant
// gives the angle: a, pi/2 - a for |y| > |x|, pi - a for x < 0, pi/2 + a for
// both (a <= pi/4 + 1/512, so the last three are above 0.78 and round once
// more), then the sign of y: |kernel - exact| <= 2^-49 |angle|. The angle
// times the scale rounds once more, so with the C library's ulp the scaled
// result is within 2^4 + 2 ulps of the C library's; the test uses a slack of
// 1024 ulps, for scaled results from 2^-100 to below 2^100.
constexpr double kPiOver2 = 0x1.921fb54442d18p+0;
constexpr double kPi = 0x1.921fb54442d18p+1;
constexpr double kIndexShift = 0x1.8p44;  // adding it rounds t in [0, 1] to a multiple of 1/256
constexpr int kAtanMinExponent = -100;
constexpr int kAtanExponentSpan = 200;
constexpr uint32_t kAtanSlack = 1024;
// The angle is kOctantBase[o] + kOctantSign[o] * a, o = (|y| > |x|) + 2 (x < 0).
constexpr double kOctantBase[4] = {0.0, kPiOver2, kPi, kPiOver2};
constexpr double kOctantSign[4] = {1.0, -1.0, -1.0, 1.0};
// atan(i / 256), i = 0..256, each the double nearest to it.
constexpr double kAtanOf256ths[257] = {
    0x0p+0, 0x1.ffff5555bbbb7p-9, 0x1.fffd555bbba97p-8, 0x1.7ffb80184c30ap-7,
    0x1.fff555bbb729bp-7, 0x1.3ff595f18a7p-6, 0x1.7fee0184a5c36p-6, 0x1.bfe36df291712p-6,
    0x1.ffd55bba97625p-6, 0x1.1fe1a5c2ec497p-5, 0x1.3fd65f169c9d9p-5, 0x1.5fc89a5fa3b2dp-5,
    0x1.7fb818430da2ap-5, 0x1.9fa49986984dfp-5, 0x1.bf8ddf139c444p-5, 0x1.df73a9f9f1882p-5,
    0x1.ff55bb72cfdeap-5, 0x1.0f99ea71d52a7p-4, 0x1.1f86dbf082d59p-4, 0x1.2f719318a4a9ap-4,
    0x1.3f59f0e7c559dp-4, 0x1.4f3fd677292fbp-4, 0x1.5f2324fd2d7b2p-4, 0x1.6f03bdcea4b0dp-4,
    0x1.7ee182602f10fp-4, 0x1.8ebc54478fb28p-4, 0x1.9e94153cfdcf1p-4, 0x1.ae68a71c722b8p-4,
    0x1.be39ebe6f07c3p-4, 0x1.ce07c5c3cca32p-4, 0x1.ddd21701eba6ep-4, 0x1.ed98c2190043bp-4,
    0x1.fd5ba9aac2f6ep-4, 0x1.068d584212b3ep-3, 0x1.0e6adccf40882p-3, 0x1.164654106085p-3,
    0x1.1e1fafb043727p-3, 0x1.25f6e171a535cp-3, 0x1.2dcbdb2fba1ffp-3, 0x1.359e8edeb99a4p-3,
    0x1.3d6eee8c6626cp-3, 0x1.453cec6092a9ep-3, 0x1.4d087a9da4f17p-3, 0x1.54d18ba11570ap-3,
    0x1.5c9811e3ec26ap-3, 0x1.645bfffb3aa74p-3, 0x1.6c1d4898933d9p-3, 0x1.73dbde8a7d202p-3,
    0x1.7b97b4bce5b02p-3, 0x1.8350be398ebc8p-3, 0x1.8b06ee2879c29p-3, 0x1.92ba37d050272p-3,
    0x1.9a6a8e96c8626p-3, 0x1.a217e601081a6p-3, 0x1.a9c231b403279p-3, 0x1.b1696574d780cp-3,
    0x1.b90d7529260a2p-3, 0x1.c0ae54d768467p-3, 0x1.c84bf8a742e6ep-3, 0x1.cfe654e1d5395p-3,
    0x1.d77d5df205736p-3, 0x1.df110864c9d9ep-3, 0x1.e6a148e96ec4dp-3, 0x1.ee2e1451d980dp-3,
    0x1.f5b75f92c80ddp-3, 0x1.fd3d1fc40dbe4p-3, 0x1.025fa510665b6p-2, 0x1.061eea03d6291p-2,
    0x1.09dc597d86362p-2, 0x1.0d97ee509acb3p-2, 0x1.1151a362431cap-2, 0x1.150973a9ce547p-2,
    0x1.18bf5a30bf178p-2, 0x1.1c735212dd884p-2, 0x1.2025567e47c96p-2, 0x1.23d562b381042p-2,
    0x1.278372057ef46p-2, 0x1.2b2f7fd9b5fe2p-2, 0x1.2ed987a823cfep-2, 0x1.328184fb58952p-2,
    0x1.362773707ebccp-2, 0x1.39cb4eb76157cp-2, 0x1.3d6d129271134p-2, 0x1.410cbad6c7d33p-2,
    0x1.44aa436c2af0ap-2, 0x1.4845a84d0c21bp-2, 0x1.4bdee586890e7p-2, 0x1.4f75f73869979p-2,
    0x1.530ad9951cd4ap-2, 0x1.569d88e1b4cd8p-2, 0x1.5a2e0175e0f4ep-2, 0x1.5dbc3fbbe768dp-2,
    0x1.614840309cfe2p-2, 0x1.64d1ff635c1c6p-2, 0x1.685979f5fa6fep-2, 0x1.6bdeac9cbd76dp-2,
    0x1.6f61941e4def1p-2, 0x1.72e22d53aa2aap-2, 0x1.7660752817502p-2, 0x1.79dc6899118d1p-2,
    0x1.7d5604b63b3f7p-2, 0x1.80cd46a14b1d1p-2, 0x1.84422b8df95d7p-2, 0x1.87b4b0c1ebedcp-2,
    0x1.8b24d394a1b25p-2, 0x1.8e92916f5cde8p-2, 0x1.91fde7cd0c662p-2, 0x1.9566d43a34907p-2,
    0x1.98cd5454d6b18p-2, 0x1.9c3165cc58107p-2, 0x1.9f93066168002p-2, 0x1.a2f233e5e530bp-2,
    0x1.a64eec3cc23fdp-2, 0x1.a9a92d59e98cfp-2, 0x1.ad00f5422058bp-2, 0x1.b056420ae9344p-2,
    0x1.b3a911da65c6cp-2, 0x1.b6f962e737efcp-2, 0x1.ba473378624a5p-2, 0x1.bd9281e528192p-2,
    0x1.c0db4c94ec9fp-2, 0x1.c42191ff11eb7p-2, 0x1.c76550aad71f9p-2, 0x1.caa6872f3631bp-2,
    0x1.cde53432c1351p-2, 0x1.d121566b7f2adp-2, 0x1.d45aec9ec862bp-2, 0x1.d791f5a1226f5p-2,
    0x1.dac670561bb4fp-2, 0x1.ddf85bb026974p-2, 0x1.e127b6b0744bp-2, 0x1.e4548066cf51ap-2,
    0x1.e77eb7f175a34p-2, 0x1.eaa65c7cf28c4p-2, 0x1.edcb6d43f8435p-2, 0x1.f0ede98f393dp-2,
    0x1.f40dd0b541418p-2, 0x1.f72b221a4e495p-2, 0x1.fa45dd3029259p-2, 0x1.fd5e0175fdf83p-2,
    0x1.0039c73c1a40cp-1, 0x1.01c341e82422dp-1, 0x1.034b709250488p-1, 0x1.04d25314342e6p-1,
    0x1.0657e94db30dp-1, 0x1.07dc3324e9b38p-1, 0x1.095f30861a59p-1, 0x1.0ae0e1639866cp-1,
    0x1.0c6145b5b43dap-1, 0x1.0de05d7aa6f7dp-1, 0x1.0f5e28b67e295p-1, 0x1.10daa77307a0dp-1,
    0x1.1255d9bfbd2a9p-1, 0x1.13cfbfb1b056ep-1, 0x1.154859637646ap-1, 0x1.16bfa6f5137e1p-1,
    0x1.1835a88be7c13p-1, 0x1.19aa5e5299f9ap-1, 0x1.1b1dc87904285p-1, 0x1.1c8fe7341f64fp-1,
    0x1.1e00babdefeb4p-1, 0x1.1f7043557138ap-1, 0x1.20de813e823b2p-1, 0x1.224b74c1d192ap-1,
    0x1.23b71e2cc9e6ap-1, 0x1.25217dd17e501p-1, 0x1.268a940696da6p-1, 0x1.27f261273d1b3p-1,
    0x1.2958e59308e31p-1, 0x1.2abe21aded073p-1, 0x1.2c2215e024466p-1, 0x1.2d84c2961e48cp-1,
    0x1.2ee628406cbcap-1, 0x1.30464753b090bp-1, 0x1.31a52048874bep-1, 0x1.3302b39b78856p-1,
    0x1.345f01cce37bbp-1, 0x1.35ba0b60ecccep-1, 0x1.3713d0df6c504p-1, 0x1.386c52d3db11fp-1,
    0x1.39c391cd4171ap-1, 0x1.3b198e5e2564bp-1, 0x1.3c6e491c78dc5p-1, 0x1.3dc1c2a188504p-1,
    0x1.3f13fb89e96f4p-1, 0x1.4064f47569f49p-1, 0x1.41b4ae06fea41p-1, 0x1.430328e4b26d6p-1,
    0x1.445065b795b56p-1, 0x1.459c652badc7fp-1, 0x1.46e727efe4716p-1, 0x1.4830aeb5f7bfep-1,
    0x1.4978fa3269ee1p-1, 0x1.4ac00b1c71762p-1, 0x1.4c05e22de94e5p-1, 0x1.4d4a8023414e8p-1,
    0x1.4e8de5bb6ec04p-1, 0x1.4fd013b7dd17ep-1, 0x1.51110adc5ed81p-1, 0x1.5250cbef1e9fbp-1,
    0x1.538f57b89061fp-1, 0x1.54ccaf0362c8fp-1, 0x1.5608d29c70c34p-1, 0x1.5743c352b33bap-1,
    0x1.587d81f732fbbp-1, 0x1.59b60f5cfab9ep-1, 0x1.5aed6c5909517p-1, 0x1.5c2399c244261p-1,
    0x1.5d58987169b18p-1, 0x1.5e8c6941043dp-1, 0x1.5fbf0d0d5cc4ap-1, 0x1.60f084b46e05fp-1,
    0x1.6220d115d7b8ep-1, 0x1.634ff312d1f3bp-1, 0x1.647deb8e20b9p-1, 0x1.65aabb6c07b03p-1,
    0x1.66d663923e087p-1, 0x1.6800e4e7e2858p-1, 0x1.692a40556fb6ap-1, 0x1.6a5276c4b0576p-1,
    0x1.6b798920b3d99p-1, 0x1.6c9f7855c3198p-1, 0x1.6dc44551553afp-1, 0x1.6ee7f10204aefp-1,
    0x1.700a7c5784634p-1, 0x1.712be84295198p-1, 0x1.724c35b4fae7bp-1, 0x1.736b65a172dffp-1,
    0x1.748978fba8e0fp-1, 0x1.75a670b82d8d8p-1, 0x1.76c24dcc6c6cp-1, 0x1.77dd112ea22c7p-1,
    0x1.78f6bbd5d315ep-1, 0x1.7a0f4eb9c19a2p-1, 0x1.7b26cad2e50fep-1, 0x1.7c3d311a6092bp-1,
    0x1.7d528289fa093p-1, 0x1.7e66c01c114fep-1, 0x1.7f79eacb97898p-1, 0x1.808c03940694bp-1,
    0x1.819d0b7158a4dp-1, 0x1.82ad036000005p-1, 0x1.83bbec5cdee22p-1, 0x1.84c9c7653f7ebp-1,
    0x1.85d69576cc2c5p-1, 0x1.86e2578f87ae5p-1, 0x1.87ed0eadc5a2ap-1, 0x1.88f6bbd023119p-1,
    0x1.89ff5ff57f1f8p-1, 0x1.8b06fc1cf3dffp-1, 0x1.8c0d9145cf49dp-1, 0x1.8d13206f8c4cbp-1,
    0x1.8e17aa99cc05ep-1, 0x1.8f1b30c44f167p-1, 0x1.901db3eeef187p-1, 0x1.911f35199833bp-1,
    0x1.921fb54442d18p-1,
};

inline bool InAtanRange(double v) {
  const uint32_t exponent = static_cast<uint32_t>(DoubleBits(v) >> 52) & 0x7ff;
  return exponent - (1023 - 400) < 801;  // 2^-400 <= |v| < 2^401
}

// The kernel's atan2(y, x); only for arguments InAtanRange.
inline double Atan2Of(double y, double x) {
  const double ax = std::fabs(x), ay = std::fabs(y);
  const bool steep = ay > ax;
  const double t = (steep ? ax : ay) / (steep ? ay : ax);
  const double shifted = t + kIndexShift;
  const double c = shifted - kIndexShift;
  const int i = static_cast<int>(DoubleBits(shifted) & 0x1ff);  // c = i/256
  const double u = (t - c) / (1.0 + t * c);
  const double u2 = u * u;
  const double a = kAtanOf256ths[i] + (u + (u * u2) * (-1.0 / 3 + u2 * (1.0 / 5)));
  const int octant = static_cast<int>(steep) + (x < 0 ? 2 : 0);
  return std::copysign(kOctantBase[octant] + kOctantSign[octant] * a, y);
}

// float32 of the C library's atan2(y, x) * scale, when the kernel decides it.
inline bool FastScaledAtan2(double y, double x, double scale, float& result) {
  if (!(InAtanRange(y) & InAtanRange(x))) return false;
  return RoundsToOneFloat(Atan2Of(y, x) * scale, kAtanMinExponent, kAtanExponentSpan, kAtanSlack, result);
}

}  // namespace rounded_trig

// static_cast<float>(std::sin(x)) and static_cast<float>(std::cos(x)) for a
// float32 x, bit for bit.
inline void SineCosineToFloat(float x, float& sine, float& cosine) {
  if (!rounded_trig::FastSineCosine(x, sine, cosine)) [[unlikely]] {
    sine = static_cast<float>(std::sin(static_cast<double>(x)));
    cosine = static_cast<float>(std::cos(static_cast<double>(x)));
  }
}

// static_cast<float>(std::atan2(y, x) * scale) bit for bit.
inline float ScaledAtan2ToFloat(double y, double x, double scale) {
  float result;
  if (!rounded_trig::FastScaledAtan2(y, x, scale, result)) [[unlikely]] {
    result = static_cast<float>(std::atan2(y, x) * scale);
  }
  return result;
}
