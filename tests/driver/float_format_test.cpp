#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "io/float_format.h"
#include "tests/driver/float_format_reference.h"

namespace {

constexpr int kUsedPrecisions[] = {0, 2, 3, 6};

std::string Format(float value, int precision) {
  char buffer[kMaxFormattedFloat];
  size_t length = FormatFloat(buffer, value, precision);
  EXPECT_LT(length, kMaxFormattedFloat);
  return std::string(buffer, length);
}

float FromBits(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

uint32_t BitsOf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Compares the formatter with the reference over many values and reports the
// first few differences, not millions of lines.
struct Comparison {
  long checked = 0;
  long mismatches = 0;
  std::ostringstream first;

  void Check(float value, int precision) {
    Check(value, ExactDecimalOf(value), precision);
  }
  void Check(float value, const ExactDecimal& exact, int precision) {
    ++checked;
    std::string got = Format(value, precision);
    std::string want = RoundedDecimalText(exact, precision);
    if (got != want && mismatches++ < 10) {
      first << std::hex << "bits 0x" << BitsOf(value) << std::dec << " precision " << precision << ": got "
            << got << ", want " << want << "\n";
    }
  }
};

#define EXPECT_NO_MISMATCH(comparison)                                                        \
  EXPECT_EQ((comparison).mismatches, 0) << "of " << (comparison).checked << " values:\n" \
                                        << (comparison).first.str()

// The reference is the oracle of every comparison below, so its two parts are
// pinned first: the exact expansion, and the two roundings on digit strings
// that no float produces.
TEST(FloatReference, ExpandsFloatsExactly) {
  struct Case {
    float value;
    bool negative;
    const char* digits;
    int exponent;
  } cases[] = {
      {0.1f, false, "100000001490116119384765625", -27},
      {-2.5f, true, "25", -1},
      {1e20f, false, "100000002004087734272", 0},
      {std::numeric_limits<float>::max(), false, "340282346638528859811704183484516925440", 0},
      {std::numeric_limits<float>::denorm_min(), false,
       "140129846432481707092372958328991613128026194187651577175706828388979108268586060148663818836212158203125",
       -149},
      {-0.0f, false, "0", 0},
  };
  for (const Case& c : cases) {
    ExactDecimal exact = ExactDecimalOf(c.value);
    EXPECT_EQ(exact.negative, c.negative) << c.value;
    EXPECT_EQ(exact.digits, c.digits) << c.value;
    EXPECT_EQ(exact.exponent, c.exponent) << c.value;
  }
}

TEST(FloatReference, RoundsToSeventeenDigitsThenToTheDecimals) {
  struct Case {
    ExactDecimal number;
    int precision;
    const char* text;
  } cases[] = {
      // 0.499999999999999995 is 0.50000000000000000 at 17 digits, which then rounds up.
      {{false, "499999999999999995", -18}, 0, "1"},
      {{false, "499999999999999994", -18}, 0, "0"},
      {{true, "2499999999999999951", -18}, 0, "-3"},
      {{false, "125", -3}, 2, "0.13"},
      {{false, "999999999999999995", -18}, 6, "1.000000"},
      {{false, "123456789012345678901", 0}, 0, "123456789012345680000"},
      {{false, "00001", 0}, 2, "1.00"},
      {{true, "1", -9}, 6, "-0.000000"},
      {{false, "0", 0}, 3, "0.000"},
  };
  for (const Case& c : cases) EXPECT_EQ(RoundedDecimalText(c.number, c.precision), c.text) << c.number.digits;
}

TEST(FloatFormat, KnownValues) {
  struct Case {
    float value;
    int precision;
    const char* text;
  } cases[] = {
      {12.5f, 0, "13"},
      {2.5f, 0, "3"},
      {-2.5f, 0, "-3"},
      {0.5f, 0, "1"},
      {1.5f, 0, "2"},
      {0.4f, 0, "0"},
      {-0.4f, 0, "-0"},
      {9.5f, 0, "10"},
      {0.125f, 2, "0.13"},  // an exact tie rounds away from zero, not to even
      {0.375f, 2, "0.38"},
      {0.0625f, 3, "0.063"},
      {0.0078125f, 6, "0.007813"},
      {-0.0078125f, 6, "-0.007813"},
      {0.1f, 9, "0.100000001"},
      {0.0f, 0, "0"},
      {0.0f, 2, "0.00"},
      {-0.0f, 0, "0"},
      {-0.0f, 6, "0.000000"},
      {-1e-9f, 6, "-0.000000"},
      {1e-9f, 9, "0.000000001"},
      {std::numeric_limits<float>::denorm_min(), 9, "0.000000000"},
      {-std::numeric_limits<float>::denorm_min(), 0, "-0"},
      {0.9999999f, 6, "1.000000"},
      {25.4f, 0, "25"},
      {90.0f, 2, "90.00"},
      {16777216.0f, 3, "16777216.000"},
      // Whole parts of three to seven digits, each digit count and both signs.
      {99.9999996f, 6, "100.000000"},
      {-123.456f, 6, "-123.456001"},
      {1000.0625f, 3, "1000.063"},
      {-65535.5f, 1, "-65535.5"},
      {123456.78f, 2, "123456.78"},
      {1000000.125f, 2, "1000000.13"},
      {-8388607.5f, 6, "-8388607.500000"},
      // Beyond 17 significant digits the digits are zeros.
      {1e20f, 6, "100000002004087730000.000000"},
      {-1e20f, 0, "-100000002004087730000"},
      {1152921504606846976.0f, 0, "1152921504606847000"},
      {FromBits(0x5d5e1145), 2, "1000102926082900000.00"},  // exactly 1000102926082899968
      {std::numeric_limits<float>::max(), 3, "340282346638528860000000000000000000000.000"},
      {-std::numeric_limits<float>::max(), 9, "-340282346638528860000000000000000000000.000000000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Format(c.value, c.precision), c.text) << "precision " << c.precision;
    EXPECT_EQ(ReferenceFormat(c.value, c.precision), c.text) << "precision " << c.precision;
  }
}

// A message format can ask for any precision; the text must stay in the buffer.
TEST(FloatFormat, PrecisionOutsideTheSupportedRangeIsClamped) {
  EXPECT_EQ(Format(0.1f, 40), "0.100000001");
  EXPECT_EQ(Format(-std::numeric_limits<float>::max(), 1000), Format(-std::numeric_limits<float>::max(), 9));
  EXPECT_EQ(Format(2.5f, -3), "3");
}

TEST(FloatFormat, NotANumberAndInfinities) {
  struct Case {
    uint32_t bits;
    const char* text;
  } cases[] = {
      {0x7fc00000, "nan"},  {0xffc00000, "-nan"}, {0x7f800001, "nan"},  {0xff800001, "-nan"},
      {0x7fffffff, "nan"},  {0x7f800000, "inf"},  {0xff800000, "-inf"},
  };
  for (const Case& c : cases) {
    for (int precision = 0; precision <= 9; ++precision) EXPECT_EQ(Format(FromBits(c.bits), precision), c.text);
  }
}

TEST(FloatFormat, EveryPowerOfTwo) {
  Comparison comparison;
  for (int power = -149; power <= 127; ++power) {
    float value = std::ldexp(1.0f, power);
    for (int precision = 0; precision <= 9; ++precision) {
      comparison.Check(value, precision);
      comparison.Check(-value, precision);
    }
  }
  EXPECT_NO_MISMATCH(comparison);
}

// The floats nearest to the halfway points of each precision and a few of
// their neighbours: where the rounding direction is decided.
TEST(FloatFormat, AroundHalfwayPoints) {
  Comparison comparison;
  std::mt19937 random(20240611);
  for (int precision = 0; precision <= 9; ++precision) {
    double unit = std::pow(10.0, -precision);
    for (int i = 0; i < 3000; ++i) {
      // Small counts of units, then counts with up to 9 digits.
      double count = i < 1000 ? i : std::floor(std::ldexp(random() * 0x1p-32, static_cast<int>(random() % 30)));
      float nearest = static_cast<float>((count + 0.5) * unit);
      float value = nearest;
      for (int step = 0; step < 3; ++step) value = std::nextafter(value, 0.0f);
      for (int step = 0; step < 7; ++step) {
        comparison.Check(value, precision);
        comparison.Check(-value, precision);
        value = std::nextafter(value, std::numeric_limits<float>::infinity());
      }
    }
    // Odd multiples of 2^-(precision + 1) lie exactly halfway.
    for (int odd = 1; odd < 4000; odd += 2) {
      float tie = std::ldexp(static_cast<float>(odd), -(precision + 1));
      comparison.Check(tie, precision);
      comparison.Check(-tie, precision);
    }
  }
  EXPECT_NO_MISMATCH(comparison);
}

// From 10^17 up every float is an integer longer than 17 digits, and the
// digits past the seventeenth (rounded into it) print as zeros.
TEST(FloatFormat, ValuesBeyondSeventeenDigits) {
  Comparison comparison;
  for (uint32_t bits = BitsOf(1e17f) - 10; bits <= 0x7f7fffff; bits += 3001) {
    for (int precision : kUsedPrecisions) comparison.Check(FromBits(bits), precision);
  }
  EXPECT_NO_MISMATCH(comparison);
}

void CheckRandomFloats(Comparison& comparison, int count, uint32_t lowestExponent, uint32_t exponentRange) {
  std::mt19937 random(7);
  for (int i = 0; i < count; ++i) {
    uint32_t bits = random();
    if (exponentRange != 0) bits = (bits & 0x807fffff) | (lowestExponent + random() % exponentRange) << 23;
    float value = FromBits(bits);
    if (!std::isfinite(value)) continue;
    ExactDecimal exact = ExactDecimalOf(value);
    for (int precision : kUsedPrecisions) comparison.Check(value, exact, precision);
  }
}

TEST(FloatFormat, RandomBitPatterns) {
  Comparison comparison;
  CheckRandomFloats(comparison, 2000000, 0, 0);
  EXPECT_NO_MISMATCH(comparison);
}

// Magnitudes 2^-30 to 2^30, where model data live and every precision matters.
TEST(FloatFormat, RandomModelSizedValues) {
  Comparison comparison;
  CheckRandomFloats(comparison, 1000000, 127 - 30, 61);
  EXPECT_NO_MISMATCH(comparison);
}

TEST(FormatInteger, Extremes) {
  struct Case {
    int64_t value;
    const char* text;
  } cases[] = {
      {0, "0"},
      {-1, "-1"},
      {7, "7"},
      {-10, "-10"},
      {std::numeric_limits<int64_t>::max(), "9223372036854775807"},
      {std::numeric_limits<int64_t>::min(), "-9223372036854775808"},
  };
  for (const Case& c : cases) {
    char buffer[24];
    size_t length = FormatInteger(buffer, c.value);
    EXPECT_EQ(std::string(buffer, length), c.text);
  }
}

}  // namespace
