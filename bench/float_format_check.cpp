// Checks the fast float formatter against the exact big-decimal reference on
// many random float32 values, at every precision the output files use:
//
//   float_format_check [count] [seed]
//   float_format_check --below-2^23 FIRST END [precision...]
//
// The values come in three equal shares: any bit pattern (every exponent,
// subnormals included), model-like magnitudes from 2^-24 to 2^24 (where
// nearly every printed digit depends on the exact expansion), and the floats
// nearest to the halfway points between two printed values of each precision
// (where a formatter that rounds twice, or rounds an approximation, goes
// wrong). Exits with 1 and lists the first differences when any value
// differs.
//
// The second form compares, for every positive float whose exponent field is
// in FIRST..END-1 (0..149 is every float below 2^23, where FormatFloat takes
// its short path), FormatFloat with the explicit 17-digit rounding
// (FormatFloatExplicit, itself checked against the reference by the first
// form and the tests), at the given precisions (default 0 2 3 6). The whole
// range takes some minutes per precision; split it over processes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "io/float_format.h"
#include "tests/driver/float_format_reference.h"

namespace {

constexpr int kPrecisions[] = {0, 2, 3, 6};
constexpr double kPowersOfTen[] = {1, 10, 100, 1000, 1e4, 1e5, 1e6};

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

float RandomValue(std::mt19937_64& random, long i) {
  uint64_t r = random();
  uint32_t sign = static_cast<uint32_t>(r >> 63) << 31;
  switch (i % 3) {
    case 0:
      return FromBits(static_cast<uint32_t>(r));
    case 1: {
      uint32_t exponent = 127 - 24 + static_cast<uint32_t>((r >> 32) % 49);
      return FromBits(sign | exponent << 23 | (static_cast<uint32_t>(r) & 0x7fffff));
    }
    default: {
      // Halfway between two values printed with `precision` decimals, then
      // the float just below, at or just above it.
      int precision = kPrecisions[(r >> 40) % 4];
      double whole = static_cast<double>((r >> 8) % 2000000);
      double halfway = (whole + 0.5) / kPowersOfTen[precision];
      float nearest = static_cast<float>(halfway);
      int step = static_cast<int>(r % 3) - 1;
      uint32_t bits = BitsOf(nearest) + static_cast<uint32_t>(step);
      return FromBits(sign | (bits & 0x7fffffff));
    }
  }
}

}  // namespace

int CheckEveryFloat(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: float_format_check --below-2^23 FIRST END [precision...]\n");
    return 2;
  }
  const uint32_t first = static_cast<uint32_t>(std::atoi(argv[2]));
  const uint32_t end = static_cast<uint32_t>(std::atoi(argv[3]));
  if (first >= end || end > 150) {
    std::fprintf(stderr, "float_format_check: exponent fields FIRST..END-1 within 0..149\n");
    return 2;
  }
  std::vector<int> precisions;
  for (int i = 4; i < argc; ++i) precisions.push_back(std::atoi(argv[i]));
  if (precisions.empty()) precisions.assign(std::begin(kPrecisions), std::end(kPrecisions));
  long checked = 0, mismatches = 0;
  char fast[kMaxFormattedFloat], explicitText[kMaxFormattedFloat];
  for (uint32_t bits = first << 23; bits < end << 23; ++bits) {
    const float value = FromBits(bits);
    for (int precision : precisions) {
      const size_t length = FormatFloat(fast, value, precision);
      const size_t want = FormatFloatExplicit(explicitText, value, precision);
      ++checked;
      if ((length != want || std::memcmp(fast, explicitText, length) != 0) && mismatches++ < 20) {
        std::printf("bits 0x%08x precision %d: got %.*s, want %.*s\n", static_cast<unsigned>(bits), precision,
                    static_cast<int>(length), fast, static_cast<int>(want), explicitText);
      }
    }
  }
  std::printf("float_format_check: every float with exponent field %u..%u: %ld formatted, %ld differ\n", first,
              end - 1, checked, mismatches);
  return mismatches == 0 ? 0 : 1;
}

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--below-2^23") == 0) return CheckEveryFloat(argc, argv);
  long count = argc > 1 ? std::atol(argv[1]) : 10000000;
  uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
  std::mt19937_64 random(seed);
  long checked = 0, mismatches = 0;
  char buffer[kMaxFormattedFloat];
  for (long i = 0; i < count; ++i) {
    float value = RandomValue(random, i);
    if (!std::isfinite(value)) value = FromBits(BitsOf(value) & 0xff7fffff);  // keep the sign, make it finite
    const ExactDecimal exact = ExactDecimalOf(value);
    for (int precision : kPrecisions) {
      std::string want = RoundedDecimalText(exact, precision);
      size_t length = FormatFloat(buffer, value, precision);
      ++checked;
      if (want.size() != length || std::memcmp(want.data(), buffer, length) != 0) {
        if (mismatches++ < 20) {
          std::printf("bits 0x%08x precision %d: got %.*s, want %s\n", static_cast<unsigned>(BitsOf(value)), precision,
                      static_cast<int>(length), buffer, want.c_str());
        }
      }
    }
  }
  // The values the reference cannot take.
  struct Special {
    uint32_t bits;
    const char* text;
  } specials[] = {{0x7f800000u, "inf"}, {0xff800000u, "-inf"}, {0x7fc00000u, "nan"}, {0xffc00000u, "-nan"}};
  for (const Special& special : specials) {
    for (int precision : kPrecisions) {
      size_t length = FormatFloat(buffer, FromBits(special.bits), precision);
      ++checked;
      if (std::string(buffer, length) != special.text && mismatches++ < 20) {
        std::printf("bits 0x%08x precision %d: got %.*s, want %s\n", special.bits, precision, static_cast<int>(length),
                    buffer, special.text);
      }
    }
  }
  std::printf("float_format_check: %ld values x %zu precisions, seed %llu: %ld formatted, %ld differ from the exact reference\n",
              count, std::size(kPrecisions), static_cast<unsigned long long>(seed), checked, mismatches);
  return mismatches == 0 ? 0 : 1;
}
