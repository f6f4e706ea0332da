#include "io/float_format.h"

#include <cmath>
#include <cstring>

namespace {

using uint128 = unsigned __int128;

constexpr uint64_t kPow10[20] = {1ull,
                                 10ull,
                                 100ull,
                                 1000ull,
                                 10000ull,
                                 100000ull,
                                 1000000ull,
                                 10000000ull,
                                 100000000ull,
                                 1000000000ull,
                                 10000000000ull,
                                 100000000000ull,
                                 1000000000000ull,
                                 10000000000000ull,
                                 100000000000000ull,
                                 1000000000000000ull,
                                 10000000000000000ull,
                                 100000000000000000ull,
                                 1000000000000000000ull,
                                 10000000000000000000ull};

// 10^-(precision + 1) for precision 0..9: a value below it prints as zero.
constexpr double kZeroBelow[10] = {1e-1, 1e-2, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7, 1e-8, 1e-9, 1e-10};

// 10^n as 128-bit numbers, n in 0..38.
constexpr auto kPow10Wide = [] {
  struct Table {
    uint128 value[39];
  } table{};
  table.value[0] = 1;
  for (int n = 1; n < 39; ++n) table.value[n] = table.value[n - 1] * 10;
  return table;
}();

uint128 Pow10Wide(int n) { return kPow10Wide.value[n]; }

// Writes the decimal digits of value, at least minDigits of them. 64 bits hold
// every number printed (at most 18 digits), and 64-bit division by the
// constant 10 compiles to a multiplication where 128-bit division is a call.
size_t PutDigits(char* out, uint64_t value, int minDigits) {
  char reversed[48];
  int n = 0;
  while (value != 0 || n < minDigits) {
    reversed[n++] = static_cast<char>('0' + static_cast<int>(value % 10));
    value /= 10;
  }
  for (int i = 0; i < n; ++i) out[i] = reversed[n - 1 - i];
  return static_cast<size_t>(n);
}

// The exact value m * 2^e times 10^scale, truncated, and whether the dropped
// part is at least one half. Only called where the result fits 128 bits:
// m < 2^24, and the callers keep m * 2^e * 10^scale below 10^18 or scale <= 0
// with m * 2^e < 2^128.
uint128 ScaledTruncated(uint32_t m, int e, int scale, bool* halfOrMore) {
  uint128 numerator = m;
  uint128 divisor = 1;
  if (e >= 0) {
    numerator <<= e;
  }
  if (scale >= 0) {
    numerator *= Pow10Wide(scale);
  } else {
    divisor = Pow10Wide(-scale);
  }
  if (e < 0) {
    // divisor is 1 here: a value below 2^24 never has its leading digit beyond 10^16.
    int shift = -e;
    uint128 quotient = shift >= 128 ? 0 : numerator >> shift;
    uint128 remainder = shift >= 128 ? numerator : numerator - (quotient << shift);
    *halfOrMore = shift >= 128 ? false : (shift > 0 && remainder >= (static_cast<uint128>(1) << (shift - 1)));
    return quotient;
  }
  uint128 quotient = numerator / divisor;
  uint128 remainder = numerator - quotient * divisor;
  *halfOrMore = divisor > 1 && remainder * 2 >= divisor;
  return quotient;
}

// "00", "01", .., "99": two digits per division.
constexpr auto kDigitPairs = [] {
  struct Table {
    char text[200];
  } table{};
  for (int i = 0; i < 100; ++i) {
    table.text[2 * i] = static_cast<char>('0' + i / 10);
    table.text[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return table;
}();

inline void PutPair(char* out, uint64_t twoDigits) { std::memcpy(out, kDigitPairs.text + 2 * twoDigits, 2); }

// The decimal digits of value, at least one.
inline size_t PutWhole(char* out, uint64_t value) {
  if (value < 10) {
    out[0] = static_cast<char>('0' + value);
    return 1;
  }
  if (value < 100) {
    PutPair(out, value);
    return 2;
  }
  if (value < 1000) {
    uint64_t high = value / 100;
    out[0] = static_cast<char>('0' + high);
    PutPair(out + 1, value - high * 100);
    return 3;
  }
  char text[24];
  char* end = text + sizeof text;
  char* p = end;
  while (value >= 100) {
    uint64_t q = value / 100;
    p -= 2;
    PutPair(p, value - q * 100);
    value = q;
  }
  if (value >= 10) {
    p -= 2;
    PutPair(p, value);
  } else {
    *--p = static_cast<char>('0' + value);
  }
  size_t length = static_cast<size_t>(end - p);
  std::memcpy(out, p, length);
  return length;
}

// Exactly `decimals` digits of fraction (< 10^decimals), leading zeros kept.
template <int kDecimals>
inline void PutFraction(char* out, uint64_t fraction) {
  if constexpr (kDecimals == 6) {
    // Two independent halves: a shorter chain of dependent divisions.
    uint64_t high = fraction / 10000, low = fraction - high * 10000;
    uint64_t middle = low / 100;
    PutPair(out, high);
    PutPair(out + 2, middle);
    PutPair(out + 4, low - middle * 100);
  } else if constexpr (kDecimals == 3) {
    uint64_t high = fraction / 10;
    PutPair(out, high);
    out[2] = static_cast<char>('0' + (fraction - high * 10));
  } else if constexpr (kDecimals == 2) {
    PutPair(out, fraction);
  } else {
    for (int i = kDecimals - 1; i >= 0; --i) {
      uint64_t q = fraction / 10;
      out[i] = static_cast<char>('0' + (fraction - q * 10));
      fraction = q;
    }
  }
}

// value / 10^kDecimals written with kDecimals digits after a decimal point
// (no point for 0 decimals). Every division is by a constant, which compiles
// to a multiplication.
template <int kDecimals>
size_t PutFixedPoint(char* out, uint64_t value) {
  constexpr uint64_t unit = kPow10[kDecimals];
  const uint64_t whole = value / unit;
  size_t n = PutWhole(out, whole);
  if constexpr (kDecimals > 0) {
    out[n++] = '.';
    PutFraction<kDecimals>(out + n, value - whole * unit);
    n += kDecimals;
  }
  return n;
}

size_t PutFixedPoint(char* out, uint64_t value, int decimals) {
  switch (decimals) {
    case 0: return PutFixedPoint<0>(out, value);
    case 1: return PutFixedPoint<1>(out, value);
    case 2: return PutFixedPoint<2>(out, value);
    case 3: return PutFixedPoint<3>(out, value);
    case 4: return PutFixedPoint<4>(out, value);
    case 5: return PutFixedPoint<5>(out, value);
    case 6: return PutFixedPoint<6>(out, value);
    case 7: return PutFixedPoint<7>(out, value);
    case 8: return PutFixedPoint<8>(out, value);
    default: return PutFixedPoint<9>(out, value);
  }
}

// Any float, through the 17-digit rounding done explicitly (see FormatFloat).
size_t FormatFloatWide(char* out, float value, int precision);

}  // namespace

size_t FormatInteger(char* out, int64_t value) {
  size_t n = 0;
  uint64_t magnitude = static_cast<uint64_t>(value);
  if (value < 0) {
    out[n++] = '-';
    magnitude = 0 - magnitude;
  }
  return n + PutFixedPoint(out + n, magnitude, 0);
}


// Below 2^23 (every position, normal, texture coordinate and angle of a real
// model) the value is m * 2^-E with m < 2^24 and E >= 1, and the result is
// the exact value rounded once, half away from zero, to `precision` decimals:
// the 17-digit rounding before it never changes the outcome. For it to matter
// it would have to reach a halfway point H = (2n + 1) / 2 * 10^-precision that
// the exact value x does not reach. H lies on the 17-digit grid (its last digit
// is at 10^-(precision + 1), not finer than the grid's unit 10^(k - 16) for a
// leading digit at 10^k <= 10^6), and x != H differ by a multiple of
// 10^-precision * 2^-E, which exceeds 10^(k - precision) / 2^24 since
// x = m * 2^-E >= 10^k. That is more than half the grid unit, 10^(k - 16) / 2,
// whenever 10^(16 - precision) >= 2^23, that is for every precision up to 9.
// So round(x * 10^precision) is computed exactly as (m * 10^precision) >> E
// (below 2^54) plus the first dropped bit.
//
// The decimals are made without data-dependent branches, as eight digits of
// which the first `precision` are kept, stored as one 8-byte word (the bytes
// past the text are scratch). The whole part keeps its branches on the number
// of digits: in model data each column has a steady magnitude, so they are
// predicted, and they are shorter than the branch-free form.
namespace float_format_internal {

template <int kPrecision>
size_t FormatFloatFixedAny(char* out, float value) {
  static_assert(kPrecision >= 0 && kPrecision <= 9, "precision 0 to 9");
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  const uint32_t exponentBits = (bits >> 23) & 0xff;
  if (exponentBits >= 150) [[unlikely]] {
    return FormatFloatWide(out, value, kPrecision);  // 2^23 and up, inf, nan
  }
  const uint32_t fraction = bits & 0x7fffff;
  const uint64_t m = exponentBits == 0 ? fraction : (fraction | 0x800000u);
  const int shift = exponentBits == 0 ? 149 : 150 - static_cast<int>(exponentBits);  // E, 1..149
  uint64_t rounded = 0;
  if (shift < 64) {
    const uint64_t scaled = m * kPow10[kPrecision];
    rounded = (scaled >> shift) + ((scaled >> (shift - 1)) & 1);
  }  // else below 2^-40: zero at every precision

  out[0] = '-';
  char* p = out + ((bits >> 31) & (m != 0 ? 1u : 0u));  // -0.0 prints without a sign
  const uint64_t whole = rounded / kPow10[kPrecision];
  p += PutWhole(p, whole);
  if constexpr (kPrecision > 0) {
    *p++ = '.';
    uint64_t decimals = rounded - whole * kPow10[kPrecision];
    if constexpr (kPrecision == 9) {
      const uint64_t first = decimals / 100000000;
      *p++ = static_cast<char>('0' + first);
      decimals -= first * 100000000;
    }
    constexpr int kShown = kPrecision == 9 ? 8 : kPrecision;
    const uint64_t decimalText = EightDigits(decimals * kPow10[8 - kShown]) + kAsciiZeros;
    std::memcpy(p, &decimalText, 8);
    p += kShown;
  }
  return static_cast<size_t>(p - out);
}

template size_t FormatFloatFixedAny<0>(char*, float);
template size_t FormatFloatFixedAny<1>(char*, float);
template size_t FormatFloatFixedAny<2>(char*, float);
template size_t FormatFloatFixedAny<3>(char*, float);
template size_t FormatFloatFixedAny<4>(char*, float);
template size_t FormatFloatFixedAny<5>(char*, float);
template size_t FormatFloatFixedAny<6>(char*, float);
template size_t FormatFloatFixedAny<7>(char*, float);
template size_t FormatFloatFixedAny<8>(char*, float);
template size_t FormatFloatFixedAny<9>(char*, float);

}  // namespace float_format_internal

size_t FormatFloat(char* out, float value, int precision) {
  switch (precision) {
    case 0: return FormatFloatFixed<0>(out, value);
    case 1: return FormatFloatFixed<1>(out, value);
    case 2: return FormatFloatFixed<2>(out, value);
    case 3: return FormatFloatFixed<3>(out, value);
    case 4: return FormatFloatFixed<4>(out, value);
    case 5: return FormatFloatFixed<5>(out, value);
    case 6: return FormatFloatFixed<6>(out, value);
    case 7: return FormatFloatFixed<7>(out, value);
    case 8: return FormatFloatFixed<8>(out, value);
    default: return precision < 0 ? FormatFloatFixed<0>(out, value) : FormatFloatFixed<9>(out, value);
  }
}

size_t FormatFloatExplicit(char* out, float value, int precision) {
  return FormatFloatWide(out, value, precision < 0 ? 0 : precision > 9 ? 9 : precision);
}

namespace {

size_t FormatFloatWide(char* out, float value, int precision) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  bool negative = (bits >> 31) != 0;
  uint32_t exponentBits = (bits >> 23) & 0xff;
  uint32_t fraction = bits & 0x7fffff;
  size_t n = 0;
  if (exponentBits == 0xff) {
    if (fraction != 0) {
      const char* text = negative ? "-nan" : "nan";
      std::memcpy(out, text, std::strlen(text));
      return std::strlen(text);
    }
    const char* text = negative ? "-inf" : "inf";
    std::memcpy(out, text, std::strlen(text));
    return std::strlen(text);
  }
  // |value| = m * 2^e exactly.
  uint32_t m = exponentBits == 0 ? fraction : (fraction | 0x800000u);
  int e = exponentBits == 0 ? -149 : static_cast<int>(exponentBits) - 150;
  if (m == 0) negative = false;  // -0.0 prints without a sign
  if (negative) out[n++] = '-';

  // Decide the 17-digit rounding N * 10^(k - 16), 10^16 <= N < 10^17, where k
  // is the position of the leading digit. Values below 10^-(precision + 1)
  // round to zero at every stage: their 17-digit rounding is at most
  // 10^-(precision + 1) and so below the half unit of the last printed decimal.
  uint64_t digits17 = 0;
  int k = 0;
  bool tiny = m == 0 || std::fabs(static_cast<double>(value)) < kZeroBelow[precision];
  if (!tiny) {
    // 2^b <= |value| < 2^(b+1), so k is floor(b * log10(2)) or one more.
    // 78913 / 2^18 approximates log10(2) closely enough for |b| < 1000.
    int b = e + (31 - __builtin_clz(m));
    k = (b * 78913) >> 18;
    bool half;
    uint64_t t = static_cast<uint64_t>(ScaledTruncated(m, e, 16 - k, &half));
    if (t >= kPow10[17]) {
      // 18 digits: drop the last. The exact rest below it is less than one,
      // so the dropped part is at least half exactly when that digit is 5 or more.
      ++k;
      half = t % 10 >= 5;
      t /= 10;
    }
    digits17 = t + (half ? 1 : 0);
    if (digits17 == kPow10[17]) {
      digits17 = kPow10[16];
      ++k;
    }
  }

  // Value = digits17 * 10^(k - 16). Round it to `precision` decimals, giving
  // value = whole * 10^power with power >= -precision.
  uint64_t whole = 0;
  int power = -precision;
  int drop = 16 - k - precision;  // digits of digits17 below the last printed decimal
  if (tiny || drop >= 18) {
    whole = 0;  // for drop >= 18: digits17 < 10^17 <= half of 10^drop
  } else if (drop <= 0) {
    whole = digits17;
    power = k - 16;
  } else {
    uint64_t unit = kPow10[drop];
    uint64_t q = digits17 / unit;
    uint64_t r = digits17 - q * unit;
    whole = q + (r >= unit / 2 ? 1 : 0);
  }
  if (power >= 0) {
    n += PutDigits(out + n, whole, 1);
    for (int i = 0; i < power; ++i) out[n++] = '0';
    if (precision > 0) out[n++] = '.';
    for (int i = 0; i < precision; ++i) out[n++] = '0';
    return n;
  }
  uint64_t unit = kPow10[-power];
  n += PutDigits(out + n, whole / unit, 1);
  out[n++] = '.';
  n += PutDigits(out + n, whole % unit, -power);
  for (int i = -power; i < precision; ++i) out[n++] = '0';
  return n;
}

}  // namespace
