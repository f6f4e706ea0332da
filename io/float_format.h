// The float formatting every output uses ("%f", "%2.6f", "%.0f", "%.2f", "%.3f").
//
// Rule: take the float32 value, exactly; round its decimal expansion to 17
// significant digits, a next digit of 5 or more rounding the magnitude up;
// round that digit string to `precision` decimals the same way. A minus sign
// is printed only for a value that is strictly negative, so 0.0 and -0.0 print
// "0.000000" while -1e-9 prints "-0.000000". Not-a-number prints "nan" (or
// "-nan" with the sign bit set) and the infinities "inf" and "-inf", as the C
// library does. The C library's "%.*f" differs for finite values: it rounds
// an exact half to even (0.125 with 2 decimals is "0.12" there, "0.13" here)
// and prints all digits of values from 10^17 up, so it is not used for floats
// anywhere. (A float is never close enough to a half of the 9th decimal or a
// coarser one for the first rounding to move it onto or across that half, so
// below 10^17 the two roundings give the same text as rounding the exact value
// once, half away from zero.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

constexpr size_t kMaxFormattedFloat = 64;  // the longest result plus terminator fits

// Writes the text (no terminator) into out, which must hold kMaxFormattedFloat
// bytes; returns its length. The bytes of out past the text may be overwritten
// too. precision is 0 to 9 (others are taken as the nearer of the two).
size_t FormatFloat(char* out, float value, int precision);
// The same with the precision fixed when compiling (0 to 9), for the writers
// of the large files: no dispatch on the precision, and the common values
// (below 100 when rounded) are formatted inline.
template <int kPrecision>
size_t FormatFloatFixed(char* out, float value);
// The same text through the 17-digit rounding done explicitly for every
// value, as FormatFloat does from 2^23 up: several times slower. For checking
// the short path below 2^23 against it.
size_t FormatFloatExplicit(char* out, float value, int precision);
// Decimal text of a signed integer (no terminator); out holds 24 bytes.
size_t FormatInteger(char* out, int64_t value);

namespace float_format_internal {

// FormatFloatFixed for every value.
template <int kPrecision>
size_t FormatFloatFixedAny(char* out, float value);

// The eight decimal digits of value (< 10^8), leading zeros included, in
// memory order (most significant first) packed into a little-endian uint64,
// computed without a loop: the two 4-digit halves are
// split into 2-digit and then 1-digit lanes by multiplications that divide by
// 100 and 10 exactly in this range (5243 / 2^19 below 43699, 103 / 2^10 below
// 179). Returns the digit values (0..9 per byte); add kAsciiZeros for text.
constexpr uint64_t kAsciiZeros = 0x3030303030303030ull;
inline uint64_t EightDigits(uint64_t value) {
  const uint64_t high = value / 10000, low = value - high * 10000;
  uint64_t x = high | (low << 32);  // the more significant half in the low lane
  const uint64_t hundreds = ((x * 5243) >> 19) & 0x0000007F0000007Full;
  x = hundreds | ((x - hundreds * 100) << 16);
  const uint64_t tens = ((x * 103) >> 10) & 0x000F000F000F000Full;
  return tens | ((x - tens * 10) << 8);
}

constexpr uint64_t kPowersOfTen[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

}  // namespace float_format_internal

namespace float_format_internal {

// The text of a value below 2^23 rounded to `rounded` (its magnitude times
// 10^kPrecision) with a whole part of three to seven digits: eight digits of
// the whole part, the leading zeros shifted out, then the decimals.
template <int kPrecision>
inline size_t PutLongWhole(char* out, uint32_t bits, uint64_t rounded) {
  const uint64_t whole = rounded / kPowersOfTen[kPrecision];  // 100 .. 8388608
  const uint64_t decimals = rounded - whole * kPowersOfTen[kPrecision];
  const int digits = 3 + (whole >= 1000) + (whole >= 10000) + (whole >= 100000) + (whole >= 1000000);
  out[0] = '-';
  char* p = out + (bits >> 31);
  const uint64_t wholeText = (EightDigits(whole) + kAsciiZeros) >> (8 * (8 - digits));
  std::memcpy(p, &wholeText, 8);
  p[digits] = '.';
  const uint64_t decimalText = EightDigits(decimals * kPowersOfTen[8 - kPrecision]) + kAsciiZeros;
  std::memcpy(p + digits + 1, &decimalText, 8);
  return (bits >> 31) + static_cast<size_t>(digits) + 1 + kPrecision;
}

}  // namespace float_format_internal

// Below 2^23 the printed number is the value rounded once, half away from
// zero (see FormatFloatFixedAny in the source): (m * 10^precision + 2^(E-1))
// >> E for value = m * 2^-E. With a whole part of one or two
// digits, the eight digits of that number times 10^(6 - precision) are the
// whole part (with a leading zero for one digit) and the decimals, and the
// text is those bytes with the point moved in; a longer whole part is put
// before the decimals (PutLongWhole).
template <int kPrecision>
inline size_t FormatFloatFixed(char* out, float value) {
  using namespace float_format_internal;
  if constexpr (kPrecision < 1 || kPrecision > 6) {
    return FormatFloatFixedAny<kPrecision>(out, value);
  } else {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    const uint32_t exponentBits = (bits >> 23) & 0xff;
    // From 2^-40 (smaller values need the shift beyond 63) to below 2^23.
    if (exponentBits - 110 >= 40) [[unlikely]] return FormatFloatFixedAny<kPrecision>(out, value);
    const uint64_t m = (bits & 0x7fffff) | 0x800000u;
    const int shift = 150 - static_cast<int>(exponentBits);  // 1..40
    const uint64_t rounded = (m * kPowersOfTen[kPrecision] + (uint64_t{1} << (shift - 1))) >> shift;
    if (rounded >= kPowersOfTen[kPrecision + 2]) return PutLongWhole<kPrecision>(out, bits, rounded);
    out[0] = '-';
    char* p = out + (bits >> 31);  // m is never 0 here
    const uint64_t digits = EightDigits(rounded * kPowersOfTen[6 - kPrecision]) + kAsciiZeros;
    if (rounded < kPowersOfTen[kPrecision + 1]) {
      // A leading zero and one whole digit: the point takes the zero's place.
      const uint64_t text = (digits & ~uint64_t{0xffff}) | (uint64_t{'.'} << 8) | ((digits >> 8) & 0xff);
      std::memcpy(p, &text, 8);
      return (bits >> 31) + 2 + kPrecision;
    }
    const uint64_t text = (digits & 0xffff) | (uint64_t{'.'} << 16) | ((digits >> 16) << 24);
    std::memcpy(p, &text, 8);
    p[8] = static_cast<char>(digits >> 56);
    return (bits >> 31) + 3 + kPrecision;
  }
}
