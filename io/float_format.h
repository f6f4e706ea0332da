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

constexpr size_t kMaxFormattedFloat = 64;  // the longest result plus terminator fits

// Writes the text (no terminator) into out, which must hold kMaxFormattedFloat
// bytes; returns its length. The bytes of out past the text may be overwritten
// too. precision is 0 to 9 (others are taken as the nearer of the two).
size_t FormatFloat(char* out, float value, int precision);
// The same with the precision fixed when compiling (0 to 9), for the writers
// of the large files: no dispatch on the precision.
template <int kPrecision>
size_t FormatFloatFixed(char* out, float value);
extern template size_t FormatFloatFixed<6>(char*, float);
// The same text through the 17-digit rounding done explicitly for every
// value, as FormatFloat does from 2^23 up: several times slower. For checking
// the short path below 2^23 against it.
size_t FormatFloatExplicit(char* out, float value, int precision);
// Decimal text of a signed integer (no terminator); out holds 24 bytes.
size_t FormatInteger(char* out, int64_t value);
