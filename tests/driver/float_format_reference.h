// A slow, exact model of the float formatting rule, used only to check the
// fast formatter. It works on decimal digit strings of any length, so every
// step is the textbook one: the exact decimal expansion of the float, then a
// round-half-up to 17 significant digits, then a round-half-up to the
// requested number of decimals.
#pragma once

#include <string>

// value = digits * 10^exponent; digits holds only '0'..'9', most significant
// first, and may have leading zeros.
struct ExactDecimal {
  bool negative = false;  // strictly below zero (-0.0 is not negative)
  std::string digits;
  int exponent = 0;
};

// The exact value of a finite float.
ExactDecimal ExactDecimalOf(float value);

// digits * 10^exponent rounded half-up to a multiple of 10^unitExponent.
void RoundDecimalAt(ExactDecimal& number, int unitExponent);

// Applies both roundings of the rule to the number and writes it with
// `precision` decimals.
std::string RoundedDecimalText(ExactDecimal number, int precision);

// RoundedDecimalText(ExactDecimalOf(value), precision).
std::string ReferenceFormat(float value, int precision);
