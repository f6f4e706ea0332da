#include "mathlib/math_dispatch.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "mathlib/math_startup.h"
#include "mathlib/processor_info.h"

namespace {

using AnyFn = void (*)();
template <typename Fn>
AnyFn Any(Fn f) { return reinterpret_cast<AnyFn>(f); }

// Which set each slot's routine belongs to ("?" for none), slots 1 to 8.
std::string Slots(const MathRoutineTable& t) {
  const AnyFn held[8] = {Any(t.SqrtRoutine), Any(t.InvSqrtRoutine), Any(t.InvSqrtEstimateRoutine),
                         Any(t.NormalizeReturnLengthRoutine), Any(t.NormalizeInPlaceRoutine),
                         Any(t.InvLengthSquaredRoutine), Any(t.SineCosineRoutine), Any(t.CosineRoutine)};
  const AnyFn variants[8][4] = {
      {Any(SqrtX87), Any(SqrtThreeDNow), Any(SqrtSse), nullptr},
      {Any(InvSqrtX87), Any(InvSqrtThreeDNow), Any(InvSqrtSse), nullptr},
      {Any(InvSqrtX87), Any(InvSqrtThreeDNow), Any(InvSqrtEstimateSse), nullptr},
      {Any(NormalizeReturnLengthX87), Any(NormalizeReturnLengthThreeDNow), nullptr, nullptr},
      {Any(NormalizeInPlaceX87), Any(NormalizeInPlaceThreeDNow), Any(NormalizeInPlaceSse), nullptr},
      {Any(InvLengthSquaredX87), Any(InvLengthSquaredThreeDNow), Any(InvLengthSquaredSse), nullptr},
      {Any(SineCosineX87), nullptr, Any(SineCosineSse), Any(SineCosineSse2)},
      {Any(CosineX87), nullptr, Any(CosineSse), Any(CosineSse2)},
  };
  static const char* const kNames[] = {"x87", "3dn", "sse", "sse2"};
  std::string s;
  for (int slot = 0; slot < 8; ++slot) {
    const char* name = "?";
    for (int set = 0; set < 4; ++set)
      if (variants[slot][set] == held[slot]) name = kNames[set];
    if (slot) s += ' ';
    s += name;
  }
  return s;
}

TEST(ChooseMathRoutines, NamedCombinations) {
  const struct {
    uint8_t features;
    int allow[4];  // 3DNow!, SSE, SSE2, 0x40
    const char* slots;
    bool threeDNow, sse, sse2, f40;
  } cases[] = {
      {0x7f, {0, 0, 0, 0}, "x87 x87 x87 x87 x87 x87 x87 x87", false, false, false, false},
      // SSE after 3DNow! takes every slot back, slot 4 to the default one.
      {0x38, {1, 1, 1, 1}, "sse sse sse x87 sse sse sse2 sse2", true, true, true, false},
      {0x30, {1, 1, 1, 1}, "3dn 3dn 3dn 3dn 3dn 3dn sse2 sse2", true, false, true, false},
      // Only the low byte of an allow-flag counts.
      {0x78, {0x100, 0x200, 0x300, 0x400}, "x87 x87 x87 x87 x87 x87 x87 x87", false, false, false, false},
      {0x78, {0x101, -1, 0x180, 0x2ff}, "sse sse sse x87 sse sse sse2 sse2", true, true, true, true},
      // Bits outside the four features select nothing.
      {0x87, {1, 1, 1, 1}, "x87 x87 x87 x87 x87 x87 x87 x87", false, false, false, false},
  };
  for (const auto& c : cases) {
    const MathDispatch d = ChooseMathRoutines(c.features, c.allow[0], c.allow[1], c.allow[2], c.allow[3]);
    SCOPED_TRACE(testing::Message() << "features " << int(c.features) << " allow " << c.allow[0] << ","
                                    << c.allow[1] << "," << c.allow[2] << "," << c.allow[3]);
    EXPECT_EQ(Slots(d.routines), c.slots);
    EXPECT_EQ(d.threeDNowEnabled, c.threeDNow);
    EXPECT_EQ(d.sseEnabled, c.sse);
    EXPECT_EQ(d.sse2Enabled, c.sse2);
    EXPECT_EQ(d.feature40Enabled, c.f40);
  }
}

// Every combination of the four feature bits and four allow-flags.
TEST(ChooseMathRoutines, EveryCombinationFollowsTheOverrideOrder) {
  const uint8_t bits[4] = {kFeatureThreeDNow, kFeatureSse, kFeatureSse2, kFeature40};
  for (int features = 0; features < 16; ++features) {
    for (int allow = 0; allow < 16; ++allow) {
      uint8_t f = 0;
      bool on[4];
      for (int k = 0; k < 4; ++k) {
        if (features & (1 << k)) f |= bits[k];
        on[k] = (features & (1 << k)) && (allow & (1 << k));
      }
      const MathDispatch d = ChooseMathRoutines(f, allow & 1, (allow >> 1) & 1, (allow >> 2) & 1, (allow >> 3) & 1);
      SCOPED_TRACE(testing::Message() << "features " << features << " allow " << allow);
      const bool threeDNow = on[0], sse = on[1], sse2 = on[2];
      EXPECT_EQ(d.threeDNowEnabled, threeDNow);
      EXPECT_EQ(d.sseEnabled, sse);
      EXPECT_EQ(d.sse2Enabled, sse2);
      EXPECT_EQ(d.feature40Enabled, on[3]);
      const std::string early = sse ? "sse" : threeDNow ? "3dn" : "x87";
      const std::string slot4 = threeDNow && !sse ? "3dn" : "x87";
      const std::string trig = sse2 ? "sse2" : sse ? "sse" : "x87";
      EXPECT_EQ(Slots(d.routines), early + " " + early + " " + early + " " + slot4 + " " + early + " " + early + " " +
                                       trig + " " + trig);
    }
  }
}

TEST(MathStartup, AppliesTheProcessorsFeatures) {
  const uint8_t f = GetCPUInformation()->bytes[kProcessorFeatureByte];
#if defined(__x86_64__)
  EXPECT_EQ(f & (kFeatureSse | kFeatureSse2), kFeatureSse | kFeatureSse2);
#endif
  MathStartup(2.2f, 2.2f, 0.0f, 2, 1, 1, 1, 1);
  EXPECT_EQ(IsSseEnabled(), (f & kFeatureSse) != 0);
  EXPECT_EQ(IsSse2Enabled(), (f & kFeatureSse2) != 0);
  EXPECT_EQ(IsThreeDNowEnabled(), (f & kFeatureThreeDNow) != 0);
  EXPECT_EQ(IsFeature40Enabled(), (f & kFeature40) != 0);
  EXPECT_EQ(Slots(ActiveMathRoutines()), Slots(ChooseMathRoutines(f, 1, 1, 1, 1).routines));

  MathStartup(2.2f, 2.2f, 0.0f, 2, 0, 0, 0, 0);
  EXPECT_FALSE(IsSseEnabled() || IsSse2Enabled() || IsThreeDNowEnabled() || IsFeature40Enabled());
  EXPECT_EQ(Slots(ActiveMathRoutines()), "x87 x87 x87 x87 x87 x87 x87 x87");
  MathStartup(2.2f, 2.2f, 0.0f, 2, 1, 1, 1, 1);
}

// ---- the routine variants ----

TEST(PolynomialSineCosine, CloseToExactWithRightSignsInEveryQuadrant) {
  const double pi = 3.14159265358979323846;
  const int steps = 20000;
  for (int n = 0; n <= steps; ++n) {
    const float x = static_cast<float>(-8 * pi + 16 * pi * n / steps);
    const double s = std::sin(static_cast<double>(x)), c = std::cos(static_cast<double>(x));
    float sse[2], sse2[2];
    SineCosineSse(x, sse[0], sse[1]);
    SineCosineSse2(x, sse2[0], sse2[1]);
    ASSERT_NEAR(sse[0], s, 2e-4) << x;
    ASSERT_NEAR(sse[1], c, 2e-4) << x;
    const float cosOnly = CosineSse(x);
    ASSERT_NEAR(cosOnly, c, 2e-4) << x;
    if (std::fabs(s) > 1e-3) {
      ASSERT_EQ(std::signbit(sse[0]), std::signbit(s)) << x;
    }
    if (std::fabs(c) > 1e-3) {
      ASSERT_EQ(std::signbit(sse[1]), std::signbit(c)) << x;
      ASSERT_EQ(std::signbit(cosOnly), std::signbit(c)) << x;
    }
    // The two sets differ only in how they find the quadrant.
    ASSERT_EQ(std::bit_cast<uint32_t>(sse[0]), std::bit_cast<uint32_t>(sse2[0])) << x;
    ASSERT_EQ(std::bit_cast<uint32_t>(sse[1]), std::bit_cast<uint32_t>(sse2[1])) << x;
    ASSERT_EQ(std::bit_cast<uint32_t>(cosOnly), std::bit_cast<uint32_t>(CosineSse2(x))) << x;
  }
}

TEST(PolynomialSineCosine, ZeroSignHugeAnglesAndNaN) {
  float s, c;
  SineCosineSse2(-0.0f, s, c);
  EXPECT_TRUE(std::signbit(s));  // the sine keeps the sign of x
  EXPECT_NEAR(c, 1.0f, 2e-4);    // P(1) = 0.99984
  // Past 2^31 for the quadrant count the two quadrant forms still agree.
  for (float x : {3.0e9f, -7.5e12f, 1.0e30f}) {
    float s1, c1, s2, c2;
    SineCosineSse(x, s1, c1);
    SineCosineSse2(x, s2, c2);
    EXPECT_EQ(s1, s2) << x;
    EXPECT_EQ(c1, c2) << x;
    EXPECT_EQ(CosineSse(x), CosineSse2(x)) << x;
  }
  SineCosineSse2(std::numeric_limits<float>::quiet_NaN(), s, c);
  EXPECT_TRUE(std::isnan(s) && std::isnan(c));
}

TEST(MathRoutines, EstimatesHaveTheirInstructionsAccuracy) {
  for (float x : {1e-20f, 0.003f, 0.5f, 1.0f, 3.0f, 1234.5f, 7.7e25f}) {
    const double exact = 1.0 / std::sqrt(static_cast<double>(x));
    EXPECT_NEAR(InvSqrtEstimateSse(x) / exact, 1.0, 1.5 * std::ldexp(1.0, -12)) << x;
    EXPECT_NEAR(InvSqrtSse(x) / exact, 1.0, 1e-6) << x;  // one Newton step
    EXPECT_NEAR(InvSqrtThreeDNow(x) / exact, 1.0, std::ldexp(1.0, -14)) << x;
  }
  // 1 / max(|v|^2, 1)
  const struct {
    Vector3 v;
    float expected;
  } cases[] = {{{0, 0, 0}, 1.0f}, {{0.5f, 0.5f, 0.5f}, 1.0f}, {{2, 0, 0}, 0.25f}, {{3, 4, 0}, 0.04f}};
  for (const auto& c : cases) {
    EXPECT_EQ(InvLengthSquaredX87(c.v), c.expected);
    EXPECT_NEAR(InvLengthSquaredSse(c.v), c.expected, c.expected * 1.5 * std::ldexp(1.0, -12));
    EXPECT_NEAR(InvLengthSquaredThreeDNow(c.v), c.expected, c.expected * std::ldexp(1.0, -14));
  }
}

TEST(MathRoutines, NormalisationAndZeroInputs) {
  for (auto normalize : {NormalizeReturnLengthX87, NormalizeReturnLengthThreeDNow}) {
    Vector3 v{3, 0, -4};
    EXPECT_NEAR(normalize(v), 5.0f, 5e-4);
    EXPECT_NEAR(v.z, -0.8f, 1e-4);
    Vector3 zero;
    EXPECT_EQ(normalize(zero), 0.0f);
  }
  for (auto normalize : {NormalizeInPlaceX87, NormalizeInPlaceThreeDNow, NormalizeInPlaceSse}) {
    Vector3 v{0, 12, 5}, zero;
    normalize(v);
    EXPECT_NEAR(v.y, 12.0 / 13, 1e-4);
    normalize(zero);  // no NaN from a zero length
    EXPECT_TRUE(zero.x == 0.0f && zero.y == 0.0f && zero.z == 0.0f);
  }
  EXPECT_EQ(SqrtThreeDNow(0.0f), 0.0f);  // the saturating estimate keeps 0 * estimate finite
  EXPECT_EQ(InvSqrtSse(0.0f), std::numeric_limits<float>::infinity());
  EXPECT_EQ(InvSqrtSse(std::numeric_limits<float>::infinity()), 0.0f);
}

}  // namespace
