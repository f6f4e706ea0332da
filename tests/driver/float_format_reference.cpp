#include "tests/driver/float_format_reference.h"

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace {

// Decimal digits, least significant first.
using Digits = std::vector<uint8_t>;

void MultiplySmall(Digits& number, uint64_t factor) {
  uint64_t carry = 0;
  for (uint8_t& digit : number) {
    uint64_t product = digit * factor + carry;
    digit = static_cast<uint8_t>(product % 10);
    carry = product / 10;
  }
  while (carry != 0) {
    number.push_back(static_cast<uint8_t>(carry % 10));
    carry /= 10;
  }
}

// base^n for n = 0..count-1, built once by repeated multiplication.
std::vector<Digits> PowerTable(uint64_t base, int count) {
  std::vector<Digits> table;
  Digits power{1};
  for (int n = 0; n < count; ++n) {
    table.push_back(power);
    MultiplySmall(power, base);
  }
  return table;
}

const Digits& PowerOf(uint64_t base, int n) {
  static const std::vector<Digits> twos = PowerTable(2, 160);
  static const std::vector<Digits> fives = PowerTable(5, 160);
  return (base == 2 ? twos : fives).at(static_cast<size_t>(n));
}

}  // namespace

ExactDecimal ExactDecimalOf(float value) {
  if (!std::isfinite(value)) throw std::invalid_argument("not a finite float");
  ExactDecimal result;
  result.negative = value < 0.0f;
  // |value| = mantissa * 2^power with an integer mantissa of at most 53 bits.
  int power = 0;
  double fraction = std::frexp(std::fabs(static_cast<double>(value)), &power);
  uint64_t mantissa = static_cast<uint64_t>(std::ldexp(fraction, 53));
  power -= 53;
  if (mantissa == 0) return ExactDecimal{false, "0", 0};
  while (mantissa % 2 == 0) {
    mantissa /= 2;
    ++power;
  }
  // For a negative power, mantissa / 2^n = mantissa * 5^n / 10^n.
  Digits number = PowerOf(power >= 0 ? 2 : 5, std::abs(power));
  MultiplySmall(number, mantissa);
  std::string text;
  for (auto digit = number.rbegin(); digit != number.rend(); ++digit) text += static_cast<char>('0' + *digit);
  result.digits = text;
  result.exponent = power >= 0 ? 0 : power;
  return result;
}

void RoundDecimalAt(ExactDecimal& number, int unitExponent) {
  if (number.exponent >= unitExponent) return;
  size_t drop = static_cast<size_t>(unitExponent - number.exponent);
  // Pad so that the first dropped digit exists and one digit is kept.
  if (number.digits.size() < drop + 1) number.digits.insert(0, drop + 1 - number.digits.size(), '0');
  char firstDropped = number.digits[number.digits.size() - drop];
  number.digits.erase(number.digits.size() - drop);  // only shortens
  number.exponent = unitExponent;
  if (firstDropped < '5') return;
  size_t i = number.digits.size();
  while (i > 0 && number.digits[i - 1] == '9') number.digits[--i] = '0';
  if (i == 0) {
    number.digits.insert(0, 1, '1');
  } else {
    ++number.digits[i - 1];
  }
}

std::string RoundedDecimalText(ExactDecimal number, int precision) {
  size_t firstNonZero = number.digits.find_first_not_of('0');
  if (firstNonZero != std::string::npos) {
    number.digits.erase(0, firstNonZero);
    int leadingPower = number.exponent + static_cast<int>(number.digits.size()) - 1;
    RoundDecimalAt(number, leadingPower - 16);
  }
  RoundDecimalAt(number, -precision);
  // Now exponent >= -precision: bring it to exactly -precision.
  number.digits.append(static_cast<size_t>(number.exponent + precision), '0');
  size_t width = static_cast<size_t>(precision) + 1;
  if (number.digits.size() < width) number.digits.insert(0, width - number.digits.size(), '0');
  std::string whole = number.digits.substr(0, number.digits.size() - static_cast<size_t>(precision));
  std::string decimals = number.digits.substr(whole.size());
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size() - 1));
  std::string text = number.negative ? "-" : "";
  text += whole;
  if (precision > 0) text += "." + decimals;
  return text;
}

std::string ReferenceFormat(float value, int precision) {
  return RoundedDecimalText(ExactDecimalOf(value), precision);
}
