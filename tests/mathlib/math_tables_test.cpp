#include "mathlib/math_tables.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <limits>
#include <memory>

#include "mathlib/math_startup.h"

namespace {

std::unique_ptr<MathTables> Build(float gamma, float textureGamma, float brightness, int32_t divisor) {
  auto t = std::make_unique<MathTables>();
  BuildSineTable(*t);
  BuildGammaTables(*t, gamma, textureGamma, brightness, divisor);
  return t;
}

TEST(GammaTables, StartupArgumentsGiveIdentityRatioAndKnownCurvePoints) {
  const auto t = Build(2.2f, 2.2f, 0.0f, 2);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(t->gammaRatioBytes[i], i) << i;

  EXPECT_EQ(t->brightnessCurveInts[0], 0);
  EXPECT_EQ(t->brightnessCurveInts[1], 10);
  EXPECT_EQ(t->brightnessCurveInts[128], 99);
  EXPECT_EQ(t->brightnessCurveInts[1023], 255);
  for (int i = 1; i < 1024; ++i) ASSERT_LE(t->brightnessCurveInts[i - 1], t->brightnessCurveInts[i]) << i;

  EXPECT_EQ(t->scaledGammaFloats[0], 0.0f);
  EXPECT_EQ(t->scaledGammaFloats[1024], 0.5f);
  EXPECT_EQ(t->scaledGammaFloats[4095], 0x1.e0ade4p-1f);  // 0.93882668
  EXPECT_EQ(t->scaledGammaInts[1023], 127);
  EXPECT_EQ(t->scaledGammaInts[4095], 239);
  for (int i = 0; i < 4096; ++i) {
    ASSERT_LT(t->scaledGammaFloats[i], 1.0f) << i;
    ASSERT_LT(t->scaledGammaInts[i], 255) << i;
  }

  // The float32 1/255 is slightly above 1/255, so the last entry exceeds 1.
  EXPECT_EQ(t->powerCurveFloats[255], 0x1.000002p+0f);
  EXPECT_EQ(t->inversePowerInts[1023], 255);  // 1023/1023 is exactly 1
  EXPECT_EQ(t->sineTable[64], 1.0f);
  EXPECT_EQ(t->exponentScaleTable[0], 0x1.01p-136f);  // subnormal, not flushed
}

uint64_t Fnv1a(const void* data, size_t size) {
  uint64_t h = 0xcbf29ce484222325ull;
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * 0x100000001b3ull;
  return h;
}

// Whole tables, bit for bit, against hashes of an independent evaluation of
// the formulas (double arithmetic, float32 exactly where the tables define it).
TEST(GammaTables, WholeTablesMatchAnIndependentEvaluation) {
  const struct {
    float gamma, textureGamma, brightness;
    int32_t divisor;
    uint64_t ratio, bright, power, inversePower, scaledFloats, scaledInts;
  } cases[] = {
      {2.2f, 2.2f, 0.0f, 2, 0x4242dc5249c33625, 0xe50924b22e0fcdd7, 0xbb580c56940685d7, 0xe50924b22e0fcdd7,
       0xf8f3502ab96ca5a6, 0xd8061b768d1b8d22},
      {1.8f, 2.5f, 0.7f, 4, 0x133770c0b4e73ff5, 0x28a71fc5b8fec7ac, 0xb8350dcd9883654e, 0x7332b1ae9d3ca2aa,
       0xc37f8cade1be8962, 0x3a6923e685e000fb},
      {4.0f, 1.3f, 1.5f, 3, 0x0c18923373b38579, 0x0a91618641b2ff34, 0x6c349bfc8de95140, 0x59d3e9a4f4d02846,
       0xf37c7795438ec31c, 0x1dc37643e30cf5fa},
      // w rounded to float32 before the power decides one entry here.
      {0x1.d8915cp+0f, 2.2f, 1.55f, 4, 0x11daa85079b21678, 0x81e995b6defe1260, 0xbb580c56940685d7,
       0xe50924b22e0fcdd7, 0xdb56ec74c130a2b8, 0xbe2edeaa7832b98a},
      {2.6f, 0.9f, 0.3f, 2, 0x12d70b2863f4bddf, 0x2b7fc40f2f25de19, 0x35daf5dea41967c8, 0xf43baeb1e533b9ab,
       0x80e4ef034d63678a, 0xa300b1c19846af64},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.gamma << " " << c.textureGamma << " " << c.brightness << " " << c.divisor);
    const auto t = Build(c.gamma, c.textureGamma, c.brightness, c.divisor);
    EXPECT_EQ(Fnv1a(t->sineTable, sizeof t->sineTable), 0x7135d161e29c31feull);
    EXPECT_EQ(Fnv1a(t->exponentScaleTable, sizeof t->exponentScaleTable), 0x123831524a20c56cull);
    EXPECT_EQ(Fnv1a(t->gammaRatioBytes, sizeof t->gammaRatioBytes), c.ratio);
    EXPECT_EQ(Fnv1a(t->brightnessCurveInts, sizeof t->brightnessCurveInts), c.bright);
    EXPECT_EQ(Fnv1a(t->powerCurveFloats, sizeof t->powerCurveFloats), c.power);
    EXPECT_EQ(Fnv1a(t->inversePowerInts, sizeof t->inversePowerInts), c.inversePower);
    EXPECT_EQ(Fnv1a(t->scaledGammaFloats, sizeof t->scaledGammaFloats), c.scaledFloats);
    EXPECT_EQ(Fnv1a(t->scaledGammaInts, sizeof t->scaledGammaInts), c.scaledInts);
  }
}

TEST(GammaTables, GammaAboveThreeIsClampedOnlyForTheFirstTwoTables) {
  const auto four = Build(4.0f, 2.2f, 0.0f, 2);
  const auto three = Build(3.0f, 2.2f, 0.0f, 2);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(four->gammaRatioBytes[i], three->gammaRatioBytes[i]) << i;
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(four->brightnessCurveInts[i], three->brightnessCurveInts[i]) << i;
  EXPECT_EQ(four->gammaRatioBytes[64], 92);
  EXPECT_EQ(four->brightnessCurveInts[1], 25);

  // 0.5 * 0.5^(1/4) versus 0.5 * 0.5^(1/3).
  EXPECT_EQ(four->scaledGammaFloats[512], static_cast<float>(0.5 * std::pow(0.5, 0.25)));
  EXPECT_NE(four->scaledGammaFloats[512], three->scaledGammaFloats[512]);
}

TEST(GammaTables, BrightnessMovesTheKnee) {
  // Knee 0.10625 for brightness 0.5; a wrong knee shifts every one of these.
  const auto half = Build(2.2f, 2.2f, 0.5f, 2);
  const struct {
    int i, value;
  } points[] = {{30, 55}, {108, 98}, {109, 99}, {300, 149}, {700, 215}};
  for (const auto& p : points) EXPECT_EQ(half->brightnessCurveInts[p.i], p.value) << p.i;

  // Brightness 2: knee 0.05 and v stretched by 2, so 1.0 is reached at 511.5.
  const auto two = Build(2.2f, 2.2f, 2.0f, 2);
  EXPECT_EQ(two->brightnessCurveInts[511], 254);
  for (int i = 512; i < 1024; ++i) ASSERT_EQ(two->brightnessCurveInts[i], 255) << i;
  EXPECT_GT(two->brightnessCurveInts[20], half->brightnessCurveInts[20]);
}

TEST(GammaTables, OutputScaleDivisor) {
  const struct {
    int32_t divisor;
    float at1024;
  } cases[] = {{2, 0.5f}, {4, 0.25f}, {3, 1.0f}, {0, 1.0f}, {-2, 1.0f}};
  for (const auto& c : cases) {
    const auto t = Build(2.2f, 2.2f, 0.0f, c.divisor);
    EXPECT_EQ(t->scaledGammaFloats[1024], c.at1024) << c.divisor;
    EXPECT_EQ(t->scaledGammaInts[1024], static_cast<int32_t>(255 * c.at1024)) << c.divisor;
  }
  // Scale 1: everything above i = 1024 is capped, below it is not.
  const auto t = Build(2.2f, 2.2f, 0.0f, 3);
  EXPECT_EQ(t->scaledGammaFloats[512], 0x1.75a07ep-1f);
  EXPECT_EQ(t->scaledGammaInts[512], 186);
  for (int i = 1025; i < 4096; ++i) {
    ASSERT_EQ(t->scaledGammaFloats[i], 1.0f) << i;
    ASSERT_EQ(t->scaledGammaInts[i], 255) << i;
  }
}

TEST(GammaTables, NonFinitePowersStayInBounds) {
  // Zero to a negative power is infinite: the byte-range tables store 0, the
  // scaled tables their cap.
  const auto t = Build(-1.0f, -2.0f, 0.0f, 2);
  EXPECT_EQ(t->brightnessCurveInts[0], 0);  // 0^(1/-1)
  EXPECT_EQ(t->scaledGammaFloats[0], 1.0f);
  EXPECT_EQ(t->scaledGammaInts[0], 255);
  EXPECT_EQ(t->inversePowerInts[0], std::numeric_limits<int32_t>::min());

  const auto negativeRatio = Build(2.0f, -2.0f, 0.0f, 2);
  EXPECT_EQ(negativeRatio->gammaRatioBytes[0], 0);
  EXPECT_EQ(negativeRatio->gammaRatioBytes[255], 254);  // 255 / 1.00000008
  EXPECT_EQ(negativeRatio->gammaRatioBytes[128], 255);
}

TEST(TruncToInt32, CutsTowardZeroAndFlagsOutOfRange) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double in;
    int32_t out;
  } cases[] = {{2.9, 2}, {-2.9, -2}, {2147483647.9, 2147483647}, {2147483648.0, INT32_MIN},
               {-2147483648.9, INT32_MIN}, {nan, INT32_MIN}, {inf, INT32_MIN}};
  for (const auto& c : cases) EXPECT_EQ(TruncToInt32(c.in), c.out) << c.in;
}

TEST(MathStartup, LookupsClampTheirIndex) {
  MathStartup(2.2f, 2.2f, 0.0f, 2, 1, 1, 1, 1);
  const MathTables& t = ActiveMathTables();
  EXPECT_EQ(LookupPowerCurve(-1), 0.0f);
  EXPECT_EQ(LookupPowerCurve(0), t.powerCurveFloats[0]);
  EXPECT_EQ(LookupPowerCurve(255), t.powerCurveFloats[255]);
  EXPECT_EQ(LookupPowerCurve(256), 1.0f);
  EXPECT_EQ(LookupPowerCurve(300), 1.0f);

  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float f;
    int entry;
  } scaled[] = {{2.0f, 2048}, {5.0f, 4095}, {-1.0f, 0}, {nan, 0}, {1e30f, 4095}, {0.99999994f, 1023}};
  for (const auto& c : scaled) EXPECT_EQ(LookupScaledGamma(c.f), t.scaledGammaInts[c.entry]) << c.f;

  // f * 1023 is taken exactly: 0.5 gives entry 511, just under 1 gives 1022.
  const struct {
    float f;
    int entry;
  } tenBit[] = {{0.5f, 511}, {1.0f, 1023}, {0.9999999f, 1022}, {7.0f, 1023}, {-0.5f, 0}, {nan, 0}};
  for (const auto& c : tenBit) {
    EXPECT_EQ(LookupInversePower(c.f), t.inversePowerInts[c.entry]) << c.f;
    EXPECT_EQ(LookupBrightnessCurve(c.f), t.brightnessCurveInts[c.entry]) << c.f;
  }
  EXPECT_EQ(LookupBrightnessCurve(1.0f), 255);
}

TEST(MathStartup, IsCheap) {
  using Clock = std::chrono::steady_clock;
  MathStartup(2.2f, 2.2f, 0.0f, 2, 1, 1, 1, 1);  // the processor probe runs once
  constexpr int kRuns = 20;
  const auto start = Clock::now();
  for (int i = 0; i < kRuns; ++i) MathStartup(2.2f, 2.2f, 0.0f, 2, 1, 1, 1, 1);
  const double micros = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kRuns;
  std::cout << "math start-up: " << micros << " us per call\n";
  EXPECT_LT(micros, 20000.0);
}

}  // namespace
