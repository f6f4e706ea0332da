// The fast sine, cosine and atan2 must give the C library's float32 results
// bit for bit. These cases sit on or next to float32 rounding boundaries,
// where a kernel that rounded its own value, or a rounding test with a
// wrong boundary, would go wrong; the whole input ranges are checked by
// bench/fast_math_check.
#include "mathlib/rounded_trig.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "mathlib/rotation_lanes.h"

namespace {

using rounded_trig::RoundsToOneFloat;

uint32_t Bits(float f) { return std::bit_cast<uint32_t>(f); }
double WithLowBits(double value, uint32_t low29) {
  return std::bit_cast<double>((std::bit_cast<uint64_t>(value) & ~uint64_t{0x1fffffff}) | low29);
}

const double kScale = 57.29578f;
constexpr uint32_t kHalfway = 0x10000000;  // the low 29 bits of a double halfway between two floats

TEST(RoundingTest, DecidesExactlyOutsideTheSlackAroundAHalfwayPoint) {
  float result;
  for (double value : {1.0, 0.7, -0.3, 123.456, 0x1.8p-60, -0x1.fffffp99}) {
    // Halfway between two floats, and up to the slack on either side: undecided.
    for (uint32_t low : {kHalfway, kHalfway - 16, kHalfway + 16}) {
      EXPECT_FALSE(RoundsToOneFloat(WithLowBits(value, low), -100, 200, 16, result)) << value << " " << low;
    }
    // One ulp beyond the slack: decided, and the answer is the float nearest.
    for (uint32_t low : {kHalfway - 17, kHalfway + 17, 0u, 0x1fffffffu}) {
      const double v = WithLowBits(value, low);
      ASSERT_TRUE(RoundsToOneFloat(v, -100, 200, 16, result)) << value << " " << low;
      EXPECT_EQ(Bits(result), Bits(static_cast<float>(v)));
    }
  }
}

TEST(RoundingTest, LeavesValuesOutsideItsRangeAndZerosUndecided) {
  float result;
  EXPECT_TRUE(RoundsToOneFloat(0x1p-8, -8, 9, 16, result));
  EXPECT_FALSE(RoundsToOneFloat(0x1.fffffp-9, -8, 9, 16, result));  // below 2^-8
  EXPECT_TRUE(RoundsToOneFloat(0x1.ffffp0, -8, 9, 16, result));
  EXPECT_FALSE(RoundsToOneFloat(2.0, -8, 9, 16, result));           // 2^(-8 + 9) and up
  EXPECT_FALSE(RoundsToOneFloat(0.0, -60, 61, 16, result));
  EXPECT_FALSE(RoundsToOneFloat(-0.0, -60, 61, 16, result));
  EXPECT_FALSE(RoundsToOneFloat(std::nan(""), -60, 61, 16, result));
  EXPECT_FALSE(RoundsToOneFloat(INFINITY, -100, 200, 16, result));
}

TEST(RoundingTest, TheHalfwayPointBelowAPowerOfTwoIsUndecided) {
  // The largest float below 2^k and 2^k are 2^(k-24) apart; halfway between
  // them lies in the binade below, with the halfway pattern in its low bits.
  float result;
  for (int k : {-5, 0, 3, 7}) {
    const double halfway = std::ldexp(1.0, k) - std::ldexp(1.0, k - 25);
    EXPECT_EQ(std::bit_cast<uint64_t>(halfway) & 0x1fffffff, kHalfway);
    EXPECT_FALSE(RoundsToOneFloat(halfway, -100, 200, 1024, result));
    EXPECT_FALSE(RoundsToOneFloat(std::nextafter(halfway, 10.0), -100, 200, 1024, result));
  }
}

// Inputs whose sine or cosine in double lies within about 2^-36 of a float32
// unit from a halfway point (found by search): the kernels must leave them
// to the C library.
const float kHardSineInputs[] = {0x1.00aa3ep-8f, 0x1.037ap-8f,    0x1.19412ap-8f, 0x1.011f8ap-7f, 0x1.012962p-7f,
                                 0x1.0301bap-2f, 0x1.0316d6p-2f,  0x1.8035c2p-1f, 0x1.821cc6p-1f, 0x1.80fb96p+0f,
                                 0x1.81e80ap+0f, 0x1.894fc4p+1f,  0x1.8a1068p+1f, 0x1.8a934p+1f,
                                 // reduced by multiples of pi/2: moderate, wide, huge
                                 0x1.a465ap+6f,  0x1.b93246p+6f,  0x1.0d5fdcp+20f, 0x1.381fdep+20f,
                                 0x1.0b4ff6p+94f, 0x1.1a8cb6p+94f};

// Sampled float32 values of every magnitude (below 4, reduced by the
// three-part pi/2 below 2^20, reduced by the wide form above), the hard ones,
// their negations and neighbours, zeros, the ends of the ranges and
// non-finite ones.
std::vector<float> SineInputs() {
  std::vector<float> inputs;
  for (uint32_t bits = 0; bits < 0x40800001u; bits += 40009) inputs.push_back(std::bit_cast<float>(bits));
  for (uint32_t bits = 0x40800000u; bits < 0x7f800000u; bits += 100003) inputs.push_back(std::bit_cast<float>(bits));
  for (float x : kHardSineInputs) {
    for (float v : {x, std::nextafter(x, 0.0f), std::nextafter(x, 8.0f)}) inputs.push_back(v);
  }
  for (float x : {0.0f, 0x1p-149f, 0x1p-126f, 0x1p-61f, 1.0f / 128, 4.0f, 4.0000005f, 1e6f, 0x1.fffffep19f, 0x1p20f,
                  0x1.f37c8ap+95f /* the float32 closest to a multiple of pi/2 from 4 up */, 0x1.fffffep127f, INFINITY,
                  NAN}) {
    inputs.push_back(x);
  }
  const size_t count = inputs.size();
  for (size_t i = 0; i < count; ++i) inputs.push_back(-inputs[i]);
  return inputs;
}

TEST(SineCosine, EqualsTheCLibraryOnSamplesAndHardCases) {
  for (float x : SineInputs()) {
    float sine, cosine;
    SineCosineToFloat(x, sine, cosine);
    EXPECT_EQ(Bits(sine), Bits(static_cast<float>(std::sin(static_cast<double>(x))))) << std::hexfloat << x;
    EXPECT_EQ(Bits(cosine), Bits(static_cast<float>(std::cos(static_cast<double>(x))))) << std::hexfloat << x;
  }
  for (float x : kHardSineInputs) {
    float sine, cosine;
    EXPECT_FALSE(rounded_trig::FastSineCosine(x, sine, cosine)) << std::hexfloat << x;
  }
}

// The reduced kernel's doubles, before any rounding test: a wrong quadrant,
// sign or reduction shows here even where the rounded result would hide it.
TEST(SineCosine, ReducedKernelIsCloseToTheCLibraryAtEveryMagnitude) {
  for (float x : SineInputs()) {
    if (!(std::fabs(x) > rounded_trig::kSineLimit) || !std::isfinite(x)) continue;
    rounded_trig::SineCosine kernel;
    ASSERT_TRUE(rounded_trig::ReducedSineCosine(x, kernel)) << std::hexfloat << x;
    EXPECT_NEAR(kernel.sine, std::sin(static_cast<double>(x)), 0x1p-50) << std::hexfloat << x;
    EXPECT_NEAR(kernel.cosine, std::cos(static_cast<double>(x)), 0x1p-50) << std::hexfloat << x;
  }
}

// The three-part pi/2 and the wide reduction overlap from 4 to 2^20: the
// same quadrant and the same r there, where either would be off alone.
TEST(AngleReduction, TheTwoFormsAgreeWhereBothApply) {
  std::mt19937 random(7);
  std::vector<float> inputs = {4.0f, 0x1.921fb6p+2f, 0x1.2d97c8p+3f, 1000.0f, 0x1.fffffep19f};
  for (int i = 0; i < 20000; ++i) {
    inputs.push_back(std::bit_cast<float>(static_cast<uint32_t>(0x40800000u + random() % (0x49800000u - 0x40800000u))));
  }
  for (float x : inputs) {
    const angle_reduction::Reduced moderate = angle_reduction::ReduceModerate(x);
    angle_reduction::Reduced wide;
    ASSERT_TRUE(angle_reduction::ReduceWide(x, wide)) << std::hexfloat << x;
    // Where k * 2/pi lands next to a half both answers are right: r near +-pi/4.
    if (std::fabs(moderate.hi) < 0.78) {
      EXPECT_EQ(moderate.quadrant, wide.quadrant) << std::hexfloat << x;
    }
    if (moderate.quadrant == wide.quadrant) {
      EXPECT_LE(std::fabs((moderate.hi - wide.hi) + (moderate.lo - wide.lo)), std::fabs(wide.hi) * 0x1p-60)
          << std::hexfloat << x;
    }
    EXPECT_LE(std::fabs(moderate.hi), 0.7854) << std::hexfloat << x;
    EXPECT_LE(std::fabs(wide.hi), 0.7854) << std::hexfloat << x;
  }
}

TEST(SineCosine, LanesGiveTheScalarResults) {
  const std::vector<float> inputs = SineInputs();
  for (int lanes : {2, 4, 8}) {
    for (size_t i = 0; i + 8 <= inputs.size(); i += 8) {
      float sine[8], cosine[8];
      for (int first = 0; first < 8; first += lanes) {
        rotation_lanes::SineCosineToFloat(lanes, &inputs[i + first], sine + first, cosine + first);
      }
      for (int k = 0; k < 8; ++k) {
        float wantSine, wantCosine;
        SineCosineToFloat(inputs[i + k], wantSine, wantCosine);
        EXPECT_EQ(Bits(sine[k]), Bits(wantSine)) << lanes << " lanes " << std::hexfloat << inputs[i + k];
        EXPECT_EQ(Bits(cosine[k]), Bits(wantCosine)) << lanes << " lanes " << std::hexfloat << inputs[i + k];
      }
    }
  }
}

struct Atan2Case {
  double y, x;
};

// Pairs whose angle in degrees is within a few double units of the halfway
// point between two float32 values: y a float32, x the double that puts it
// there (in long double). Then random model-like pairs and special ones.
std::vector<Atan2Case> Atan2Inputs(int halfwayCount) {
  std::mt19937_64 random(77);
  std::vector<Atan2Case> cases;
  for (int i = 0; i < halfwayCount; ++i) {
    float degrees = static_cast<float>(std::ldexp(0.5 + static_cast<double>(random() >> 40) * 0x1p-25,
                                                  static_cast<int>(random() % 36) - 28));
    if (degrees >= 179.0f) degrees = 179.0f;
    if (random() & 1) degrees = -degrees;
    const float next = std::nextafter(degrees, degrees > 0 ? 180.0f : -180.0f);
    const long double halfway = (static_cast<long double>(degrees) + next) / 2;
    const long double angle = halfway / static_cast<long double>(kScale);
    const double y = std::copysign(0.1 + static_cast<double>(random() >> 11) * 0x1p-53, static_cast<double>(angle));
    double x = static_cast<double>(static_cast<long double>(y) / std::tan(angle));
    if ((std::fabs(angle) > 1.5707963267948966L) != (x < 0)) x = -x;
    cases.push_back({y, x});
  }
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  for (int i = 0; i < 2000; ++i) cases.push_back({unit(random), unit(random)});
  const double inf = INFINITY, nan = NAN;
  for (int i = 0; i < 40; ++i) {  // huge arguments, whose products overflow
    cases.push_back({std::ldexp(unit(random), 1024), std::ldexp(unit(random), 1024)});
  }
  for (double y : {0.0, -0.0, 1e-300, 1.0, -1.0, 1.7e308, inf, nan}) {
    for (double x : {0.0, -0.0, 1e-300, 1.0, -1.0, -1.6e308, -inf, nan}) cases.push_back({y, x});
  }
  return cases;
}

TEST(ScaledAtan2, EqualsTheCLibraryNextToHalfwayPointsAndElsewhere) {
  const std::vector<Atan2Case> cases = Atan2Inputs(400);
  int undecidedAtHalfway = 0;
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto [y, x] = cases[i];
    const float want = static_cast<float>(std::atan2(y, x) * kScale);
    EXPECT_EQ(Bits(ScaledAtan2ToFloat(y, x, kScale)), Bits(want)) << std::hexfloat << y << " " << x;
    float fast;
    if (i < 400 && !rounded_trig::FastScaledAtan2(y, x, kScale, fast)) ++undecidedAtHalfway;
  }
  // Next to a halfway point the kernel's value cannot decide the rounding.
  EXPECT_GT(undecidedAtHalfway, 390);
}

TEST(ScaledAtan2, LanesAndTheLedFormGiveTheScalarResults) {
  const std::vector<Atan2Case> cases = Atan2Inputs(400);
  for (int lanes : {2, 4, 8}) {
    for (size_t i = 0; i + 8 <= cases.size(); i += 8) {
      double y[8], x[8];
      float guides[8], plain[8], led[8];
      for (int k = 0; k < 8; ++k) {
        y[k] = cases[i + k].y;
        x[k] = cases[i + k].x;
        // Half the angle as a guide, off by a few float units as the angles
        // of the rotation chain are, now and then for the opposite direction.
        double angle = std::atan2(y[k], x[k]);
        if (k % 4 == 3) angle -= std::copysign(3.141592653589793, angle);
        guides[k] = static_cast<float>(angle / 2);
        for (int step = 0; step < k % 3; ++step) guides[k] = std::nextafter(guides[k], 4.0f);
      }
      for (int first = 0; first < 8; first += lanes) {
        rotation_lanes::ScaledAtan2ToFloat(lanes, y + first, x + first, kScale, plain + first);
        rotation_lanes::ScaledAtan2NearToFloat(lanes, y + first, x + first, guides + first, kScale, led + first);
      }
      for (int k = 0; k < 8; ++k) {
        const float want = ScaledAtan2ToFloat(y[k], x[k], kScale);
        EXPECT_EQ(Bits(plain[k]), Bits(want)) << lanes << " lanes " << std::hexfloat << y[k] << " " << x[k];
        EXPECT_EQ(Bits(led[k]), Bits(want)) << lanes << " lanes, led " << std::hexfloat << y[k] << " " << x[k];
      }
    }
  }
}

}  // namespace
