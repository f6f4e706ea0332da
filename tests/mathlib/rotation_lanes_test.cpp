// The rotation chain of whole frames in vector lanes must give, lane by
// lane, what the C library's sin, cos and atan2 give through the formulas,
// bit for bit: within a turn, beyond a quarter turn about Y (the angles come
// out folded), near the vertical (X and Z are no longer told apart), for
// small, zero, large and infinite angles.
#include "mathlib/rotation_lanes.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "tests/mathlib/rotation_reference.h"

namespace {

uint32_t Bits(float f) { return std::bit_cast<uint32_t>(f); }
constexpr double kPi = 3.14159265358979323846;

std::vector<Vector3> AngleTriples() {
  std::mt19937_64 random(2024);
  auto within = [&](double limit) {
    return static_cast<float>((static_cast<double>(random() >> 11) * 0x1p-53 * 2 - 1) * limit);
  };
  std::vector<Vector3> triples;
  for (int i = 0; i < 3000; ++i) {
    triples.push_back({within(kPi), within(kPi), within(kPi)});
    triples.push_back({within(2 * kPi), within(2 * kPi), within(2 * kPi)});
    const float tilt = static_cast<float>(kPi / 2 + within(0.003));
    triples.push_back({within(kPi), (i & 1) ? tilt : -tilt, within(kPi)});
    triples.push_back({within(0.01), (i & 2) ? 0.0f : within(1e-6), within(0.1)});
    triples.push_back({within(1000), within(30), within(5)});
  }
  triples.push_back({0, 0, 0});
  triples.push_back({static_cast<float>(kPi), 0, static_cast<float>(-kPi)});
  triples.push_back({INFINITY, 0.5f, 0.25f});
  triples.push_back({0.5f, -INFINITY, 1e30f});
  return triples;
}

TEST(WholeFrameAngles, EachLaneEqualsTheFormulasWithTheCLibrary) {
  const std::vector<Vector3> triples = AngleTriples();
  for (int lanes : {2, 4, 8}) {
    int done = 0;
    for (size_t i = 0; i + 8 <= triples.size(); i += 8) {
      bool normalise[8];
      for (int k = 0; k < 8; ++k) {
        // Infinite angles only reach the chain when both frames hold them.
        const Vector3& a = triples[i + k];
        normalise[k] = std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z) && ((i / 8 + k) % 3 != 0);
      }
      Vector3 got[8];
      int lanesDone = 0;
      for (int first = 0; first < 8; first += lanes) {
        lanesDone |= rotation_lanes::WholeFrameAngles(lanes, &triples[i + first], normalise + first, got + first)
                     << first;
      }
      for (int k = 0; k < 8; ++k) {
        if (!(lanesDone & (1 << k))) continue;  // a -0.0 to normalise: the blend's case
        ++done;
        const Vector3 want = ReferenceWholeFrameAngles(triples[i + k], normalise[k]);
        for (int axis = 0; axis < 3; ++axis) {
          EXPECT_EQ(Bits(got[k][axis]), Bits(want[axis]))
              << lanes << " lanes, angles " << triples[i + k].x << " " << triples[i + k].y << " " << triples[i + k].z
              << (normalise[k] ? " normalised" : "") << ", axis " << axis;
        }
      }
    }
    EXPECT_GT(done, 14000);
  }
}

TEST(WholeFrameAngles, ANegativeZeroToNormaliseIsLeftToTheCaller) {
  // Angles of -0.0 about X and 0 about Y and Z make the quaternion's x -0.0;
  // lanes 0 and 2 normalise such a quaternion, lanes 4 and 6 take it as it is.
  Vector3 angles[8];
  bool normalise[8];
  for (int k = 0; k < 8; ++k) {
    angles[k] = k % 2 == 0 ? Vector3{-0.0f, 0.0f, 0.0f} : Vector3{0.1f, 0.2f, 0.3f};
    normalise[k] = k < 4;
  }
  Vector3 radians[8];
  EXPECT_EQ(rotation_lanes::WholeFrameAngles(8, angles, normalise, radians), 0b11111010);
  EXPECT_EQ(rotation_lanes::WholeFrameAngles(4, angles, normalise, radians), 0b1010);
  EXPECT_EQ(rotation_lanes::WholeFrameAngles(2, angles, normalise, radians), 0b10);
}

}  // namespace

namespace {

// AnglesToQuaternion through the C library's sin and cos: each half angle,
// sine and cosine rounded to float32, the products in double.
Quaternion ReferenceQuaternion(const Vector3& radians) {
  double s[3], c[3];
  for (int axis = 0; axis < 3; ++axis) {
    const float half = static_cast<float>(static_cast<double>(radians[axis]) * 0.5);
    s[axis] = static_cast<float>(std::sin(static_cast<double>(half)));
    c[axis] = static_cast<float>(std::cos(static_cast<double>(half)));
  }
  return Quaternion{static_cast<float>((s[0] * c[1]) * c[2] - (c[0] * s[1]) * s[2]),
                    static_cast<float>((s[0] * c[1]) * s[2] + (c[0] * s[1]) * c[2]),
                    static_cast<float>((c[0] * c[1]) * s[2] - (s[0] * s[1]) * c[2]),
                    static_cast<float>((c[0] * c[1]) * c[2] + (s[0] * s[1]) * s[2])};
}

TEST(AnglesToQuaternions, EachLaneEqualsTheFormulasWithTheCLibrary) {
  std::vector<Vector3> triples = AngleTriples();
  triples.push_back({NAN, 0.5f, -0.0f});
  triples.push_back({-0.0f, -0.0f, -0.0f});
  triples.push_back({3e38f, -3e38f, 1e-40f});
  while (triples.size() % 8 != 0) triples.push_back({0.125f, -INFINITY, 0});
  for (int lanes : {2, 4, 8}) {
    for (size_t i = 0; i < triples.size(); i += static_cast<size_t>(lanes)) {
      Quaternion got[8];
      rotation_lanes::AnglesToQuaternions(lanes, &triples[i], got);
      for (int k = 0; k < lanes; ++k) {
        const Quaternion want = ReferenceQuaternion(triples[i + static_cast<size_t>(k)]);
        for (int c = 0; c < 4; ++c) {
          // Any not-a-number stands for another: their bits are not the formula's.
          if (std::isnan(want[c])) {
            ASSERT_TRUE(std::isnan(got[k][c])) << lanes << " lanes, component " << c;
            continue;
          }
          ASSERT_EQ(Bits(got[k][c]), Bits(want[c]))
              << lanes << " lanes, angles " << triples[i + k].x << " " << triples[i + k].y << " " << triples[i + k].z
              << ", component " << c;
        }
      }
    }
  }
}

}  // namespace
