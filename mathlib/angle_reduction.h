// Reduction of a float32 angle by multiples of pi/2: |x| = k * pi/2 + r with
// |r| <= pi/4 (a hair more where k * 2/pi rounds the other way), r given as
// a sum hi + lo of two doubles, and k mod 4 the quadrant. Two forms:
//
// ReduceModerate, 4 <= |x| < 2^20: a three-part pi/2, C1 + C2 + C3. C1 and
// C2 carry 33 significant bits each and k < 2^20, so k * C1 and k * C2 are
// exact; |x| - k * C1 is a multiple of 2^-32 below 1 (|x| from 4 up is a
// multiple of 2^-21), so exact as well; subtracting k * C2 is done exactly
// as a two-double sum. k * C3 rounds (2^-98 at most) and pi/2 - C1 - C2 - C3
// is below 2^-122, so r is within 2^-96 of the exact |x| - k * pi/2.
//
// ReduceWide, any finite |x| from 2^20 (also correct from 4): x = m * 2^E
// with m a 24-bit integer, and x * 2/pi mod 4 is m times the bits of 2/pi
// from weight 2^(1-E) down: 128 of them in an integer W. m * W * 2^-126 is
// x * 2/pi mod 4 less the bits past the window (below m * 2^-126 < 2^-102);
// its bits 127 and 126 give k mod 4 and the rest the fraction f, taken to
// [-1/2, 1/2) with k rounded up when f >= 1/2. r = f * pi/2 comes from the
// leading 64 bits of |f| times pi/2 in 64 bits, so hi + lo is within 2^-62
// relative plus 2^-102 absolute of the exact r.
//
// The kernels of rounded_trig.h take r from 2^-40 up, where both forms are
// within 2^-56 of it relative, and leave a smaller r to the C library; no
// float32 from 4 up has one (the closest, 0x1.f37c8ap+95, has 2^-29.2).
#pragma once

#include <cstdint>
#include <cstring>

namespace angle_reduction {

struct Reduced {
  double hi = 0, lo = 0;  // r = hi + lo
  int quadrant = 0;       // k mod 4
};

constexpr double kModerateLimit = 0x1p20;
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kHalfPi1 = 0x1.921fb544p+0;        // 33 bits
constexpr double kHalfPi2 = 0x1.0b4611a6p-34;       // the next 33 bits
constexpr double kHalfPi3 = 0x1.3198a2e037073p-69;  // the rest, rounded
constexpr double kIntegerShift = 0x1.8p52;          // adding it rounds to an integer

// a = |x|, a float32 widened, 4 <= a < kModerateLimit.
inline Reduced ReduceModerate(double a) {
  const double shifted = a * kTwoOverPi + kIntegerShift;
  const double k = shifted - kIntegerShift;
  uint64_t bits;
  std::memcpy(&bits, &shifted, sizeof bits);
  const double t1 = a - k * kHalfPi1;  // exact
  const double p2 = k * kHalfPi2;      // exact
  // t1 - p2 = s + e exactly (the two-double sum).
  const double s = t1 - p2;
  const double back = s - t1;
  const double e = (t1 - (s - back)) - (p2 + back);
  return Reduced{s, e - k * kHalfPi3, static_cast<int>(bits & 3)};
}

// The bits of 2/pi after the binary point, from weight 2^-1 down, behind 64
// zero bits (the weights 2^63 .. 2^0).
constexpr uint64_t kTwoOverPiBits[5] = {0, 0xa2f9836e4e441529, 0xfc2757d1f534ddc0, 0xdb6295993c439041,
                                        0xfe5163abdebbc561};
constexpr uint64_t kHalfPiFixed = 0xc90fdaa22168c235;  // pi/2 * 2^63, rounded

// a = |x|, a finite float32 widened, from 4 up. Returns false where f is 0
// (no float32 gives that).
inline bool ReduceWide(float magnitude, Reduced& reduced) {
  uint32_t floatBits;
  std::memcpy(&floatBits, &magnitude, sizeof floatBits);
  const uint64_t m = (floatBits & 0x7fffff) | 0x800000;
  const int e = static_cast<int>(floatBits >> 23) - 150;  // magnitude = m * 2^e, e >= -21
  // Bit p of the table (from the top of word 0) has weight 2^(63 - p); the
  // window starts at weight 2^(1 - e), p = 62 + e.
  const int p = 62 + e;
  const int word = p / 64, shift = p % 64;
  const auto wordAt = [&](int w) -> uint64_t { return w < 5 ? kTwoOverPiBits[w] : 0; };
  const auto bitsAt = [&](int w) -> uint64_t {
    return shift == 0 ? wordAt(w) : (wordAt(w) << shift) | (wordAt(w + 1) >> (64 - shift));
  };
  using U128 = unsigned __int128;
  const U128 low = static_cast<U128>(m) * bitsAt(word + 1);
  const U128 high = static_cast<U128>(m) * bitsAt(word) + (low >> 64);  // bits 64 .. 151 of m * W
  int quadrant = static_cast<int>(high >> 62) & 3;
  U128 fraction = ((high & ((U128{1} << 62) - 1)) << 64) | static_cast<uint64_t>(low);  // f * 2^126
  bool negative = false;
  if (fraction >> 125) {  // f >= 1/2: f - 1, with k one more
    fraction = (U128{1} << 126) - fraction;
    negative = true;
    quadrant = (quadrant + 1) & 3;
  }
  if (fraction == 0) return false;
  const uint64_t top64 = static_cast<uint64_t>(fraction >> 64);
  const int leading = top64 != 0 ? __builtin_clzll(top64) : 64 + __builtin_clzll(static_cast<uint64_t>(fraction));
  const uint64_t top = static_cast<uint64_t>((fraction << leading) >> 64);  // top bit set
  const U128 product = static_cast<U128>(top) * kHalfPiFixed;                // |r| = product * 2^(-125 - leading)
  const uint64_t productHigh = static_cast<uint64_t>(product >> 64), productLow = static_cast<uint64_t>(product);
  // productHigh >= 2^62: its bits from 11 up are 53 or fewer and convert exactly.
  const double head = static_cast<double>(productHigh & ~uint64_t{0x7ff});
  const double tail = static_cast<double>(productHigh & 0x7ff) + static_cast<double>(productLow) * 0x1p-64;
  uint64_t scaleBits = static_cast<uint64_t>(1023 - 61 - leading) << 52;  // 2^(-61 - leading), normal
  double scale;
  std::memcpy(&scale, &scaleBits, sizeof scale);
  const double sign = negative ? -1.0 : 1.0;
  reduced = Reduced{sign * (head * scale), sign * (tail * scale), quadrant};
  return true;
}

}  // namespace angle_reduction
