#include "mathlib/rotation.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

namespace {

uint32_t Bits(float f) { return std::bit_cast<uint32_t>(f); }

Matrix3x4 Rows(float a, float b, float c, float d, float e, float f, float g, float h, float i) {
  Matrix3x4 m;
  const float v[9] = {a, b, c, d, e, f, g, h, i};
  for (int r = 0; r < 3; ++r)
    for (int c2 = 0; c2 < 3; ++c2) m.m[r][c2] = v[3 * r + c2];
  return m;
}

void ExpectSameBits(const Quaternion& expected, const Quaternion& actual) {
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(Bits(expected[i]), Bits(actual[i])) << "component " << i << ": " << expected[i] << " vs " << actual[i];
}

void ExpectSameBits(const Vector3& expected, const Vector3& actual) {
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(Bits(expected[i]), Bits(actual[i])) << "element " << i << ": " << expected[i] << " vs " << actual[i];
}

// A plain, separately written evaluation: double arithmetic, float32 only for
// the stored values and the named temporaries.
float F(double v) { return static_cast<float>(v); }
const double kR2D = 57.29578f;
const double kD2R = 0.017453292f;

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
    out.z = 0;
  }
  return out;
}

Quaternion ReferenceAnglesToQuaternion(const Vector3& a) {
  float h[3] = {F(a.x * 0.5), F(a.y * 0.5), F(a.z * 0.5)};
  double s[3], c[3];
  for (int i = 0; i < 3; ++i) {
    s[i] = F(std::sin((double)h[i]));
    c[i] = F(std::cos((double)h[i]));
  }
  Quaternion q;
  q.x = F((s[0] * c[1]) * c[2] - (c[0] * s[1]) * s[2]);
  q.y = F((s[0] * c[1]) * s[2] + (c[0] * s[1]) * c[2]);
  q.z = F((c[0] * c[1]) * s[2] - (s[0] * s[1]) * c[2]);
  q.w = F((c[0] * c[1]) * c[2] + (s[0] * s[1]) * s[2]);
  return q;
}

TEST(MatrixToAngles, IdentityGivesZeroAngles) {
  Vector3 a{1, 2, 3};
  MatrixToAngles(Rows(1, 0, 0, 0, 1, 0, 0, 0, 1), a);
  EXPECT_EQ(a.x, 0.0f);
  EXPECT_EQ(a.y, 0.0f);
  EXPECT_EQ(a.z, 0.0f);
}

TEST(MatrixToAngles, NinetyDegreesAboutYUsesTheFallback) {
  // Ry(90): m(2,0) = -1, first column otherwise 0; a Z twist lives in m(0,1), m(1,1).
  const float s = std::sin(0.4f), c = std::cos(0.4f);
  Vector3 a{7, 7, 7};
  MatrixToAngles(Rows(0, -s, 1, 0, c, 0, -1, 0, 0), a);
  EXPECT_EQ(a.x, 90.0f);  // atan2(1, 0) * 57.29578f rounds to exactly 90
  EXPECT_EQ(Bits(a.y), Bits(F(std::atan2((double)s, (double)c) * kR2D)));
  EXPECT_EQ(a.z, 0.0f);

  MatrixToAngles(Rows(0, 0, -1, 0, 1, 0, 1, 0, 0), a);
  EXPECT_EQ(a.x, -90.0f);
}

TEST(MatrixToAngles, ThresholdIsStrictlyGreaterThanFloat001) {
  // The fallback ignores m(2,1)/m(2,2) and reads m(0,1)/m(1,1) instead, so the
  // branch taken is visible in elements 1 and 2.
  struct Case {
    float m00;
    bool general;
  } cases[] = {
      {0.001f, false},                                    // xy exactly the float32 0.001
      {std::nextafter(0.001f, 1.0f), true},               // one step above
      {std::nextafter(0.001f, 0.0f), false},              // one step below
  };
  for (const Case& c : cases) {
    Vector3 a;
    MatrixToAngles(Rows(c.m00, 0.5f, 0, 0, 0.5f, 0, -1, 0.25f, 0.5f), a);
    if (c.general) {
      EXPECT_EQ(a.y, 0.0f) << c.m00;  // atan2(0, m00)
      EXPECT_EQ(Bits(a.z), Bits(F(std::atan2(0.25, 0.5) * kR2D))) << c.m00;
    } else {
      EXPECT_EQ(Bits(a.y), Bits(F(std::atan2(-0.5, 0.5) * kR2D))) << c.m00;
      EXPECT_EQ(a.z, 0.0f) << c.m00;
    }
  }
}

TEST(MatrixToAngles, BitExactKnownValue) {
  Vector3 a;
  MatrixToAngles(Rows(0.36f, 0.48f, -0.8f, -0.8f, 0.6f, 0, 0.48f, 0.64f, 0.6f), a);
  ExpectSameBits(Vector3{-0x1.caf768p+4f, -0x1.0716cap+6f, 0x1.76c7e8p+5f}, a);
}

TEST(QuaternionToMatrix, IdentityLeavesTranslationColumn) {
  Matrix3x4 m;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) m.m[r][c] = 9.0f + r * 4 + c;
  QuaternionToMatrix(Quaternion{0, 0, 0, 1}, m);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(m.m[r][c], r == c ? 1.0f : 0.0f) << r << "," << c;
    EXPECT_EQ(m.m[r][3], 9.0f + r * 4 + 3);
  }
}

TEST(QuaternionToMatrix, EntriesMatchRotationLayoutWithoutNormalising) {
  // Quarter turn about Z (unnormalised by a factor 2): Rz(90) scaled rows show
  // that the signs sit where the rotation composition needs them.
  const float h = std::sqrt(0.5f);
  Matrix3x4 m;
  QuaternionToMatrix(Quaternion{0, 0, h, h}, m);
  EXPECT_NEAR(m.m[0][1], -1.0f, 1e-6);
  EXPECT_NEAR(m.m[1][0], 1.0f, 1e-6);
  EXPECT_NEAR(m.m[2][2], 1.0f, 1e-6);
  QuaternionToMatrix(Quaternion{0, 0, 0, 2}, m);  // not normalised: diagonal stays 1
  EXPECT_EQ(m.m[0][0], 1.0f);
  QuaternionToMatrix(Quaternion{2, 0, 0, 0}, m);
  EXPECT_EQ(m.m[1][1], -7.0f);
  EXPECT_EQ(m.m[0][0], 1.0f);
}

TEST(QuaternionToAngles, KnownValues) {
  Vector3 r{5, 5, 5};
  QuaternionToAngles(Quaternion{0, 0, 0, 1}, r);
  EXPECT_EQ(r.x, 0.0f);
  EXPECT_EQ(r.y, 0.0f);
  EXPECT_EQ(r.z, 0.0f);

  QuaternionToAngles(Quaternion{std::sin(0.25f), 0, 0, std::cos(0.25f)}, r);
  EXPECT_EQ(r.x, 0.5f);
  EXPECT_EQ(r.y, 0.0f);
  EXPECT_EQ(r.z, 0.0f);

  struct Case {
    Quaternion q;
    Vector3 expected;
  } cases[] = {
      {{0.1f, 0.2f, 0.3f, 0.9f}, {0x1.4978fcp-2f, 0x1.3c4728p-2f, 0x1.545d52p-1f}},
      // Y at 90 degrees: the fallback puts the whole twist into Z.
      {{-0.5f, 0.5f, 0.5f, 0.5f}, {0.0f, 0x1.921fb6p+0f, 0x1.921fb6p+0f}},
      {{0.7f, -0.1f, 0.2f, 0.3f}, {0x1.921fb2p+0f, -0x1.71ca04p-2f, -0x1.6c0764p-6f}},
  };
  for (const Case& c : cases) {
    QuaternionToAngles(c.q, r);
    ExpectSameBits(c.expected, r);
  }
}

TEST(AnglesToQuaternion, BitExactKnownValues) {
  struct Case {
    Vector3 a;
    Quaternion expected;
  } cases[] = {
      {{0.1f, 0.2f, 0.3f}, {0x1.18bf12p-5f, 0x1.b24292p-4f, 0x1.26092cp-3f, 0x1.f77952p-1f}},
      {{-2.5f, 1.25f, 3.0f}, {-0x1.e86366p-3f, -0x1.825ca4p-1f, 0x1.2d6a56p-2f, -0x1.12504cp-1f}},
      {{0.001f, -1.4f, -0.75f}, {-0x1.e28404p-3f, -0x1.32fd62p-1f, -0x1.1e8eap-2f, 0x1.6c7248p-1f}},
      {{0.3f, -0.7f, 1.1f}, {0x1.300458p-2f, -0x1.b9b274p-3f, 0x1.0eef5ap-1f, 0x1.87b63ap-1f}},
  };
  for (const Case& c : cases) {
    Quaternion q;
    AnglesToQuaternion(c.a, q);
    ExpectSameBits(c.expected, q);
  }
}

TEST(RotationRoundTrip, RandomAnglesAgreeWithReferenceAndComeBack) {
  std::mt19937 rng(20240611);
  std::uniform_real_distribution<float> wide(-3.14f, 3.14f);
  std::uniform_real_distribution<float> pitch(-1.55f, 1.55f);
  for (int n = 0; n < 3000; ++n) {
    const Vector3 a{wide(rng), pitch(rng), wide(rng)};
    Quaternion q;
    AnglesToQuaternion(a, q);
    ExpectSameBits(ReferenceAnglesToQuaternion(a), q);

    Matrix3x4 m;
    QuaternionToMatrix(q, m);
    Vector3 d;
    MatrixToAngles(m, d);
    ExpectSameBits(ReferenceMatrixToAngles(m), d);

    Vector3 back;
    QuaternionToAngles(q, back);
    ExpectSameBits(Vector3{F(d.z * kD2R), F(d.x * kD2R), F(d.y * kD2R)}, back);
    // Near +-90 degrees pitch the X/Z split loses precision.
    const float tolerance = std::fabs(a.y) > 1.5f ? 2e-3f : 2e-5f;
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(back[i], a[i], tolerance) << "sample " << n << " element " << i;
    if (HasFailure()) break;
  }
}

TEST(AlignQuaternion, PicksTheHemisphereOfTheReference) {
  const Quaternion p{0.5f, -0.5f, 0.5f, 0.5f};
  Quaternion o;
  AlignQuaternion(p, Quaternion{-0.5f, 0.5f, -0.5f, -0.5f}, o);  // q = -p
  ExpectSameBits(p, o);

  const Quaternion orthogonal{0.5f, 0.5f, 0.5f, -0.5f};  // exact tie keeps q
  AlignQuaternion(p, orthogonal, o);
  ExpectSameBits(orthogonal, o);
  const Quaternion justBehind{0.5f, 0.5f, 0.5f, -0.5000001f};  // dot slightly negative
  AlignQuaternion(p, justBehind, o);
  ExpectSameBits(Quaternion{-0.5f, -0.5f, -0.5f, 0.5000001f}, o);

  Quaternion same{-0.5f, 0.5f, 0.1f, -0.7f};  // dot < 0: negated in place
  AlignQuaternion(p, same, same);
  ExpectSameBits(Quaternion{0.5f, -0.5f, -0.1f, 0.7f}, same);
  AlignQuaternion(p, same, same);  // now in p's hemisphere: unchanged
  ExpectSameBits(Quaternion{0.5f, -0.5f, -0.1f, 0.7f}, same);
}

TEST(NormalizeQuaternion, ZeroStaysAndLengthIsReturned) {
  Quaternion zero;
  EXPECT_EQ(NormalizeQuaternion(zero), 0.0f);
  ExpectSameBits(Quaternion{}, zero);

  Quaternion q{0, 0, 3, 4};
  EXPECT_EQ(NormalizeQuaternion(q), 5.0f);
  EXPECT_EQ(q.z, 0.6f);
  EXPECT_EQ(q.w, 0.8f);

  Quaternion r{0.1f, 0.2f, 0.3f, 0.9f};
  EXPECT_EQ(Bits(NormalizeQuaternion(r)), Bits(0x1.f3092ep-1f));
  ExpectSameBits(Quaternion{0x1.a43da2p-4f, 0x1.a43da2p-3f, 0x1.3b2e3ap-2f, 0x1.d8c554p-1f}, r);
}

TEST(BlendQuaternions, EndpointsAndAlignment) {
  const Quaternion p{0, 0, 3, 4};
  const Quaternion oppositeSide{-0.6f, 0, 0, -0.8f};  // dot with p < 0
  Quaternion o;
  Quaternion expected = p;
  NormalizeQuaternion(expected);
  BlendQuaternions(p, oppositeSide, 0.0f, o);
  ExpectSameBits(expected, o);
  EXPECT_EQ(o.z, 0.6f);

  expected = Quaternion{0.6f, 0, 0, 0.8f};  // aligned: -oppositeSide
  NormalizeQuaternion(expected);
  BlendQuaternions(p, oppositeSide, 1.0f, o);
  ExpectSameBits(expected, o);

  BlendQuaternions(Quaternion{0.1f, 0.2f, 0.3f, 0.9f}, Quaternion{0.3f, -0.2f, -0.6f, -0.7f}, 0.3f, o);
  ExpectSameBits(Quaternion{-0x1.59c536p-6f, 0x1.b0367ap-3f, 0x1.a5685p-2f, 0x1.c5d2cap-1f}, o);

  BlendQuaternions(Quaternion{}, Quaternion{}, 0.5f, o);
  ExpectSameBits(Quaternion{}, o);
}

TEST(MixQuaternions, DoesNotAlign) {
  const Quaternion p{0.5f, -0.5f, 0.5f, 0.5f};
  Quaternion o{1, 1, 1, 1};
  MixQuaternions(p, Quaternion{-0.5f, 0.5f, -0.5f, -0.5f}, 0.5f, o);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(o[i], 0.0f);

  // Chord midpoint, renormalised (not the arc): (1,0,0,0) and (0,1,0,0).
  MixQuaternions(Quaternion{1, 0, 0, 0}, Quaternion{0, 1, 0, 0}, 0.5f, o);
  EXPECT_EQ(Bits(o.x), Bits(F(0.5 * (1.0 / std::sqrt(0.5)))));
  EXPECT_EQ(o.x, o.y);
}

}  // namespace
