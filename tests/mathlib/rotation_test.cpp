#include "mathlib/rotation.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

namespace {

uint32_t Bits(float f) { return std::bit_cast<uint32_t>(f); }
float F(double v) { return static_cast<float>(v); }
const double kR2D = 57.29578f;
const double kD2R = 0.017453292f;

Matrix3x4 Rows(std::initializer_list<float> v) {
  Matrix3x4 m;
  int k = 0;
  for (float x : v) m.m[k / 3][k % 3] = x, ++k;
  return m;
}

template <typename T, int N>
void ExpectSameBits(const T& expected, const T& actual) {
  for (int i = 0; i < N; ++i)
    EXPECT_EQ(Bits(expected[i]), Bits(actual[i])) << "[" << i << "] " << expected[i] << " vs " << actual[i];
}
void ExpectSameBits(const Quaternion& e, const Quaternion& a) { ExpectSameBits<Quaternion, 4>(e, a); }
void ExpectSameBits(const Vector3& e, const Vector3& a) { ExpectSameBits<Vector3, 3>(e, a); }

// Separately written evaluations: double arithmetic, float32 only for the
// stored values and the named temporaries.
Vector3 ReferenceMatrixToAngles(const Matrix3x4& m) {
  double a = m.m[0][0], b = m.m[1][0];
  double xy = std::sqrt(a * a + b * b);
  Vector3 out;
  out.x = F(std::atan2(-(double)m.m[2][0], xy) * kR2D);
  if (xy > (double)0.001f) {
    out.y = F(std::atan2((double)m.m[1][0], (double)m.m[0][0]) * kR2D);
    out.z = F(std::atan2((double)m.m[2][1], (double)m.m[2][2]) * kR2D);
  } else {
    out.y = F(std::atan2(-(double)m.m[0][1], (double)m.m[1][1]) * kR2D);
  }
  return out;
}

Quaternion ReferenceAnglesToQuaternion(const Vector3& a) {
  double s[3], c[3];
  for (int i = 0; i < 3; ++i) {
    const float half = F(a[i] * 0.5);
    s[i] = F(std::sin((double)half));
    c[i] = F(std::cos((double)half));
  }
  return {F((s[0] * c[1]) * c[2] - (c[0] * s[1]) * s[2]), F((s[0] * c[1]) * s[2] + (c[0] * s[1]) * c[2]),
          F((c[0] * c[1]) * s[2] - (s[0] * s[1]) * c[2]), F((c[0] * c[1]) * c[2] + (s[0] * s[1]) * s[2])};
}

TEST(MatrixToAngles, IdentityNinetyDegreesAndKnownValue) {
  Vector3 a{1, 2, 3};
  MatrixToAngles(Rows({1, 0, 0, 0, 1, 0, 0, 0, 1}), a);
  ExpectSameBits(Vector3{-0.0f, 0, 0}, a);  // atan2(-m(2,0), xy): the negated zero stays negative

  // Ry(+90) with a Z twist that only m(0,1), m(1,1) carry in this branch.
  const float s = std::sin(0.4f), c = std::cos(0.4f);
  MatrixToAngles(Rows({0, -s, 1, 0, c, 0, -1, 0, 0}), a);
  EXPECT_EQ(a.x, 90.0f);  // atan2(1, 0) * 57.29578f rounds to exactly 90
  EXPECT_EQ(Bits(a.y), Bits(F(std::atan2((double)s, (double)c) * kR2D)));
  EXPECT_EQ(a.z, 0.0f);

  // Hand-computed: double evaluation rounded once per element.
  MatrixToAngles(Rows({0.36f, 0.48f, -0.8f, -0.8f, 0.6f, 0, 0.48f, 0.64f, 0.6f}), a);
  ExpectSameBits(Vector3{-0x1.caf768p+4f, -0x1.0716cap+6f, 0x1.76c7e8p+5f}, a);
}

TEST(MatrixToAngles, ThresholdIsStrictlyGreaterThanFloat001) {
  // The branch shows in elements 1 and 2: the fallback reads m(0,1)/m(1,1).
  const struct {
    float m00;
    bool general;
  } cases[] = {{0.001f, false}, {std::nextafter(0.001f, 1.0f), true}, {std::nextafter(0.001f, 0.0f), false}};
  for (const auto& c : cases) {
    Vector3 a;
    MatrixToAngles(Rows({c.m00, 0.5f, 0, 0, 0.5f, 0, -1, 0.25f, 0.5f}), a);
    const Vector3 expected = c.general ? Vector3{a.x, 0.0f, F(std::atan2(0.25, 0.5) * kR2D)}
                                       : Vector3{a.x, F(std::atan2(-0.5, 0.5) * kR2D), 0.0f};
    ExpectSameBits(expected, a);
  }
}

TEST(QuaternionToMatrix, IdentityLeavesTranslationColumnAndNothingIsNormalised) {
  Matrix3x4 m;
  for (int r = 0; r < 3; ++r) m.m[r][3] = 9.0f + r;
  QuaternionToMatrix(Quaternion{0, 0, 0, 1}, m);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(m.m[r][c], r == c ? 1.0f : 0.0f);
    EXPECT_EQ(m.m[r][3], 9.0f + r);
  }
  QuaternionToMatrix(Quaternion{2, 0, 0, 0}, m);
  EXPECT_EQ(m.m[1][1], -7.0f);  // 1 - 2x^2
}

TEST(QuaternionToAngles, KnownValues) {
  const struct {
    Quaternion q;
    Vector3 expected;
  } cases[] = {
      {{0, 0, 0, 1}, {0, -0.0f, 0}},
      {{std::sin(0.25f), 0, 0, std::cos(0.25f)}, {0.5f, -0.0f, 0}},
      {{0.1f, 0.2f, 0.3f, 0.9f}, {0x1.4978fcp-2f, 0x1.3c4728p-2f, 0x1.545d52p-1f}},
      // Y at 90 degrees: the fallback puts the whole twist into Z.
      {{-0.5f, 0.5f, 0.5f, 0.5f}, {0.0f, 0x1.921fb6p+0f, 0x1.921fb6p+0f}},
  };
  for (const auto& c : cases) {
    Vector3 r{5, 5, 5};
    QuaternionToAngles(c.q, r);
    ExpectSameBits(c.expected, r);
  }
}

TEST(AnglesToQuaternion, HandComputedValues) {
  const struct {
    Vector3 a;
    Quaternion expected;
  } cases[] = {
      {{0.1f, 0.2f, 0.3f}, {0x1.18bf12p-5f, 0x1.b24292p-4f, 0x1.26092cp-3f, 0x1.f77952p-1f}},
      {{-2.5f, 1.25f, 3.0f}, {-0x1.e86366p-3f, -0x1.825ca4p-1f, 0x1.2d6a56p-2f, -0x1.12504cp-1f}},
  };
  for (const auto& c : cases) {
    Quaternion q;
    AnglesToQuaternion(c.a, q);
    ExpectSameBits(c.expected, q);
  }
}

TEST(RotationRoundTrip, RandomAnglesAgreeWithReferenceAndComeBack) {
  std::mt19937 rng(20240611);
  std::uniform_real_distribution<float> wide(-3.14f, 3.14f), pitch(-1.55f, 1.55f);
  for (int n = 0; n < 3000 && !HasFailure(); ++n) {
    const Vector3 a{wide(rng), pitch(rng), wide(rng)};
    Quaternion q;
    AnglesToQuaternion(a, q);
    ExpectSameBits(ReferenceAnglesToQuaternion(a), q);

    Matrix3x4 m;
    QuaternionToMatrix(q, m);
    Vector3 d;
    MatrixToAngles(m, d);
    ExpectSameBits(ReferenceMatrixToAngles(m), d);

    // Back to radians through the float32 degrees, by multiplication.
    Vector3 back;
    QuaternionToAngles(q, back);
    ExpectSameBits(Vector3{F(d.z * kD2R), F(d.x * kD2R), F(d.y * kD2R)}, back);
    const float tolerance = std::fabs(a.y) > 1.5f ? 2e-3f : 2e-5f;  // X/Z blur near +-90
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(back[i], a[i], tolerance) << "sample " << n << " [" << i << "]";
  }
}

TEST(AlignQuaternion, PicksTheHemisphereOfTheReference) {
  const Quaternion p{0.5f, -0.5f, 0.5f, 0.5f};
  const struct {
    Quaternion q, expected;
  } cases[] = {
      {{-0.5f, 0.5f, -0.5f, -0.5f}, p},                                          // q = -p
      {{0.5f, 0.5f, 0.5f, -0.5f}, {0.5f, 0.5f, 0.5f, -0.5f}},                    // orthogonal: a tie keeps q
      {{0.5f, 0.5f, 0.5f, -0.5000001f}, {-0.5f, -0.5f, -0.5f, 0.5000001f}},      // just behind
  };
  for (const auto& c : cases) {
    Quaternion o;
    AlignQuaternion(p, c.q, o);
    ExpectSameBits(c.expected, o);
    Quaternion inPlace = c.q;
    AlignQuaternion(p, inPlace, inPlace);
    ExpectSameBits(c.expected, inPlace);
  }
}

TEST(NormalizeQuaternion, ZeroStaysAndLengthIsReturned) {
  Quaternion zero;
  EXPECT_EQ(NormalizeQuaternion(zero), 0.0f);
  ExpectSameBits(Quaternion{}, zero);

  Quaternion q{0, 0, 3, 4};
  EXPECT_EQ(NormalizeQuaternion(q), 5.0f);
  ExpectSameBits(Quaternion{0, 0, 0.6f, 0.8f}, q);

  Quaternion r{0.1f, 0.2f, 0.3f, 0.9f};  // multiplied by a double 1/len, rounded once
  EXPECT_EQ(Bits(NormalizeQuaternion(r)), Bits(0x1.f3092ep-1f));
  ExpectSameBits(Quaternion{0x1.a43da2p-4f, 0x1.a43da2p-3f, 0x1.3b2e3ap-2f, 0x1.d8c554p-1f}, r);
}

TEST(BlendQuaternions, EndpointsAlignmentAndChord) {
  const Quaternion p{0, 0, 3, 4};
  const Quaternion opposite{-0.6f, 0, 0, -0.8f};  // dot with p < 0
  Quaternion o, expected = p;
  NormalizeQuaternion(expected);
  BlendQuaternions(p, opposite, 0.0f, o);
  ExpectSameBits(expected, o);

  expected = Quaternion{0.6f, 0, 0, 0.8f};
  NormalizeQuaternion(expected);
  BlendQuaternions(p, opposite, 1.0f, o);
  ExpectSameBits(expected, o);

  BlendQuaternions(Quaternion{0.1f, 0.2f, 0.3f, 0.9f}, Quaternion{0.3f, -0.2f, -0.6f, -0.7f}, 0.3f, o);
  ExpectSameBits(Quaternion{-0x1.59c536p-6f, 0x1.b0367ap-3f, 0x1.a5685p-2f, 0x1.c5d2cap-1f}, o);

  BlendQuaternions(Quaternion{}, Quaternion{}, 0.5f, o);
  ExpectSameBits(Quaternion{}, o);
}

TEST(MixQuaternions, DoesNotAlignAndFollowsTheChord) {
  Quaternion o{1, 1, 1, 1};
  MixQuaternions(Quaternion{0.5f, -0.5f, 0.5f, 0.5f}, Quaternion{-0.5f, 0.5f, -0.5f, -0.5f}, 0.5f, o);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(o[i], 0.0f);

  MixQuaternions(Quaternion{1, 0, 0, 0}, Quaternion{0, 1, 0, 0}, 0.5f, o);
  EXPECT_EQ(Bits(o.x), Bits(F(0.5 * (1.0 / std::sqrt(0.5)))));
  EXPECT_EQ(o.x, o.y);
}

}  // namespace
