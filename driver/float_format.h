// The float formatting every output uses ("%f", "%2.6f", "%.0f", "%.2f", "%.3f").
//
// Rule: take the float32 value, exactly; round its decimal expansion to 17
// significant digits, a next digit of 5 or more rounding the magnitude up;
// round that digit string to `precision` decimals the same way. A minus sign
// is printed only for a value that is strictly negative, so 0.0 and -0.0 print
// "0.000000" while -1e-9 prints "-0.000000". Not-a-number prints "nan" (or
// "-nan" with the sign bit set) and the infinities "inf" and "-inf", as the C
// library does. The C library rounds the exact value once instead of twice,
// which differs for values just below a tie (0.49999999999999997 and the like),
// so it is not used for floats anywhere.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kMaxFormattedFloat = 64;  // the longest result plus terminator fits

// Writes the text (no terminator) into out, which must hold kMaxFormattedFloat
// bytes; returns its length. precision is 0 to 9.
size_t FormatFloat(char* out, float value, int precision);
// Decimal text of a signed integer (no terminator); out holds 24 bytes.
size_t FormatInteger(char* out, int64_t value);
