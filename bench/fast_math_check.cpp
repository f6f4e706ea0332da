// Checks the fast sine, cosine and atan2 against the C library, comparing
// the float32 results bit for bit: the scalar functions of
// mathlib/rounded_trig.h, the same kernels on vectors of 2, 4 and 8 lanes
// (mathlib/rotation_lanes.h: 4 lanes where the processor has AVX2, 8 where it
// has AVX-512, else a few times 2), the atan2 led by a nearby angle, and the
// whole rotation chain of animation frames (also against the scalar
// functions of mathlib/rotation.h).
//
//   fast_math_check [--threads N] sine [STRIDE]
//       every float32 bit pattern (the 2^32 of them: subnormals, zeros, both
//       signs, the reduced arguments from 4 up to the largest float, and
//       infinities and NaNs, which go to the C library untouched); with
//       STRIDE, every STRIDE-th bit pattern only;
//   fast_math_check [--threads N] atan2 COUNT [SEED]
//       COUNT random pairs in four equal shares: float32 pairs in [-1, 1]
//       (matrix entries), a float32 against the double length
//       sqrt(a^2 + b^2) of two such floats (the first angle of a matrix),
//       any float32 bit patterns, and doubles of any sign and magnitude;
//   fast_math_check [--threads N] atan2-boundary COUNT [SEED]
//       COUNT pairs whose angle in degrees lies next to a float32 rounding
//       boundary: a float32 y and a double x placed so that
//       atan2(y, x) * 57.29578f is within a few double units of the halfway
//       point between two floats (half of them), and float32 pairs chosen as
//       the closest to such a halfway point among 64 neighbours;
//   fast_math_check [--threads N] chain COUNT [SEED]
//       COUNT random angle triples (within a turn, within two, near the
//       vertical where the angle about Z is folded in, small, large and any
//       float32 but NaN) through the rotation chain of a whole frame, against
//       the chain evaluated with the C library
//       (tests/mathlib/rotation_reference).
//
// The led atan2 gets half the correct angle as a float32, moved by up to
// three float units, and for a quarter of the pairs the opposite direction,
// as the rotation chain gives it. The angle scale is the one the rotation
// math uses (57.29578f). Prints the inputs checked, the differences (the
// first few listed), for the scalar kernels how many inputs the rounding test
// passed to the C library and how many the kernel alone would have rounded
// wrongly (what the test guards against), the time, and, with GCC's
// quadruple precision, the scalar kernels' largest error seen on a sample in
// ulps of their double result. Exits with 1 on any difference.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "mathlib/rotation.h"
#include "mathlib/rotation_lanes.h"
#include "mathlib/rounded_trig.h"
#include "tests/mathlib/rotation_reference.h"

#if defined(TAMBERLO_HAVE_QUADMATH)
#include <quadmath.h>
#endif

namespace {

constexpr double kScale = 57.29578f;  // the rotation math's radians-to-degrees factor

float FromBits(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

uint32_t BitsOf(float value) { return rounded_trig::FloatBits(value); }

struct Tally {
  uint64_t checked = 0;
  uint64_t differences = 0;
  uint64_t inRange = 0;        // inside the kernel's range
  uint64_t typical = 0;        // of those, sine inputs from 2^-20 up and atan2 pairs of floats in [-1, 1]
  uint64_t typicalUndecided = 0;
  uint64_t undecided = 0;      // of those, passed to the C library by the rounding test
  uint64_t kernelWrong = 0;    // the kernel's own rounding would differ
  double worstUlps = 0;        // largest |kernel - exact| on the sampled inputs, in ulps of the kernel's double
  uint64_t sampled = 0;

  void NoteError(double ulps) {
    if (ulps > worstUlps || std::isnan(ulps)) worstUlps = ulps;
    ++sampled;
  }

  void Add(const Tally& other) {
    checked += other.checked;
    inRange += other.inRange;
    typical += other.typical;
    typicalUndecided += other.typicalUndecided;
    differences += other.differences;
    undecided += other.undecided;
    kernelWrong += other.kernelWrong;
    sampled += other.sampled;
    if (other.worstUlps > worstUlps || std::isnan(other.worstUlps)) worstUlps = other.worstUlps;
  }
};

std::mutex reportMutex;
std::atomic<int> reported{0};

const int kMostLanes = rotation_lanes::kMostLanes;

std::string LanesName(const char* what, int lanes) { return std::string(what) + " in " + std::to_string(lanes) + " lanes"; }

void ReportDifference(const char* what, double y, double x, float got, float want) {
  std::lock_guard<std::mutex> lock(reportMutex);
  if (reported++ < 20) {
    std::printf("  DIFFERENCE %s(%a, %a): got %a, the C library %a\n", what, y, x, static_cast<double>(got),
                static_cast<double>(want));
  }
}

#if defined(TAMBERLO_HAVE_QUADMATH)
// |value - exact| in units in the last place of value.
double ErrorInUlps(double value, __float128 exact) {
  int exponent;
  std::frexp(value, &exponent);
  return static_cast<double>(fabsq(static_cast<__float128>(value) - exact)) / std::ldexp(1.0, exponent - 53);
}
#endif

// ---- sine and cosine

// The lane kernels on a block of four inputs (the first `count` real, the
// rest copies), in 2 and in 4 lanes, against the C library's results.
void CheckSineLanes(const float x[], const float wantSine[], const float wantCosine[], int count, Tally& tally) {
  for (int lanes : {2, 4, 8}) {
    float sine[kMostLanes], cosine[kMostLanes];
    for (int first = 0; first < kMostLanes; first += lanes) {
      rotation_lanes::SineCosineToFloat(lanes, x + first, sine + first, cosine + first);
    }
    for (int i = 0; i < count; ++i) {
      if (BitsOf(sine[i]) != BitsOf(wantSine[i]) || BitsOf(cosine[i]) != BitsOf(wantCosine[i])) {
        ++tally.differences;
        ReportDifference(LanesName("sin/cos", lanes).c_str(), x[i], 0, sine[i], wantSine[i]);
      }
    }
  }
}

// The kernel's sine and cosine of any finite x, reduced from 4 up.
bool KernelOf(float x, rounded_trig::SineCosine& kernel) {
  if (std::fabs(x) <= rounded_trig::kSineLimit) {
    kernel = rounded_trig::SineCosineOf(x);
    return true;
  }
  return std::isfinite(x) && rounded_trig::ReducedSineCosine(x, kernel);
}

void CheckSineRange(uint64_t first, uint64_t end, uint64_t stride, Tally& tally) {
  float block[kMostLanes], wantSine[kMostLanes], wantCosine[kMostLanes];
  int filled = 0;
  for (uint64_t bits = first; bits < end; bits += stride) {
    const float x = FromBits(static_cast<uint32_t>(bits));
    const double wide = x;
    float sine, cosine;
    SineCosineToFloat(x, sine, cosine);
    const float wantS = static_cast<float>(std::sin(wide));
    const float wantC = static_cast<float>(std::cos(wide));
    ++tally.checked;
    if (BitsOf(sine) != BitsOf(wantS)) {
      ++tally.differences;
      ReportDifference("sin", wide, 0, sine, wantS);
    }
    if (BitsOf(cosine) != BitsOf(wantC)) {
      ++tally.differences;
      ReportDifference("cos", wide, 0, cosine, wantC);
    }
    rounded_trig::SineCosine kernel;
    if (KernelOf(x, kernel)) {
      ++tally.inRange;
      float fastSine, fastCosine;
      const bool decided = rounded_trig::FastSineCosine(x, fastSine, fastCosine);
      if (!decided) ++tally.undecided;
      if (std::fabs(wide) >= 0x1p-20 && std::fabs(wide) <= rounded_trig::kSineLimit) {
        ++tally.typical;
        if (!decided) ++tally.typicalUndecided;
      }
      if (BitsOf(static_cast<float>(kernel.sine)) != BitsOf(wantS) ||
          BitsOf(static_cast<float>(kernel.cosine)) != BitsOf(wantC)) {
        ++tally.kernelWrong;
      }
#if defined(TAMBERLO_HAVE_QUADMATH)
      if ((bits & 0xfff) == 0x5a5 && std::fabs(kernel.sine) >= 0x1p-8 && std::fabs(kernel.cosine) >= 0x1p-8) {
        const __float128 q = wide;
        tally.NoteError(ErrorInUlps(kernel.sine, sinq(q)));
        tally.NoteError(ErrorInUlps(kernel.cosine, cosq(q)));
      }
#endif
    }
    block[filled] = x;
    wantSine[filled] = wantS;
    wantCosine[filled] = wantC;
    if (++filled == kMostLanes) {
      CheckSineLanes(block, wantSine, wantCosine, filled, tally);
      filled = 0;
    }
  }
  if (filled > 0) {
    for (int i = filled; i < kMostLanes; ++i) block[i] = block[0];
    CheckSineLanes(block, wantSine, wantCosine, filled, tally);
  }
}

// ---- atan2

double DoubleFromBits(uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

float UnitFloat(std::mt19937_64& random) {
  // Uniform in [-1, 1] with the low bits of small values filled in too.
  const uint64_t r = random();
  const float magnitude = static_cast<float>(static_cast<double>(r >> 11) * 0x1p-53);
  return (r & 1) ? -magnitude : magnitude;
}

void RandomPair(std::mt19937_64& random, uint64_t i, double& y, double& x) {
  switch (i % 4) {
    case 0:
      y = UnitFloat(random);
      x = UnitFloat(random);
      break;
    case 1: {
      y = UnitFloat(random);
      const double a = UnitFloat(random), b = UnitFloat(random);
      x = std::sqrt(a * a + b * b);
      break;
    }
    case 2:
      y = FromBits(static_cast<uint32_t>(random()));
      x = FromBits(static_cast<uint32_t>(random()));
      break;
    default:
      y = DoubleFromBits(random());
      x = DoubleFromBits(random());
      break;
  }
}

// A pair whose scaled angle is next to the halfway point between two floats.
void BoundaryPair(std::mt19937_64& random, uint64_t i, double& y, double& x) {
  // A random float32 angle in degrees (-180, 180), of any magnitude from 2^-30.
  const uint64_t r = random();
  const int exponent = static_cast<int>((r >> 40) % 38);  // 2^-30 .. 2^7
  float degrees = std::ldexp(static_cast<float>(0.5 + static_cast<double>(r & 0xffffff) * 0x1p-25), exponent - 29);
  if (degrees >= 180.0f) degrees = 179.0f;
  if (r >> 63) degrees = -degrees;
  const float next = std::nextafter(degrees, degrees > 0 ? 200.0f : -200.0f);
  const double halfway = (static_cast<double>(degrees) + static_cast<double>(next)) / 2;  // exact
#if defined(TAMBERLO_HAVE_QUADMATH)
  const __float128 angle = static_cast<__float128>(halfway) / static_cast<__float128>(kScale);
  const __float128 tangent = tanq(angle);
  const double cosSign = fabsq(angle) > acosq(0) ? -1.0 : 1.0;
#else
  const long double angle = static_cast<long double>(halfway) / kScale;
  const long double tangent = std::tan(angle);
  const double cosSign = std::fabs(angle) > 1.5707963267948966L ? -1.0 : 1.0;
#endif
  const float length = static_cast<float>(0.05 + 0.95 * static_cast<double>(random() >> 11) * 0x1p-53);
  if (i % 2 == 0) {
    // y a float32 with the angle's sign, x the double that puts the angle at the halfway point.
    y = halfway < 0 ? -length : length;
    x = static_cast<double>(y / tangent);
    if ((x < 0) != (cosSign < 0)) x = -x;
    return;
  }
  // Both float32: of 64 neighbouring x, the one whose angle lands closest to a halfway point.
  const double yf = static_cast<float>(halfway < 0 ? -length : length);
  const float centre = static_cast<float>(static_cast<double>(yf / tangent));
  double best = 1.0;
  y = yf;
  x = centre;
  for (int step = -32; step < 32; ++step) {
    const float candidate = FromBits(BitsOf(centre) + static_cast<uint32_t>(step));
    const double degreesThere = std::atan2(yf, static_cast<double>(candidate)) * kScale;
    const float rounded = static_cast<float>(degreesThere);
    const float neighbour = std::nextafter(rounded, degreesThere > rounded ? 1e30f : -1e30f);
    const double mid = (static_cast<double>(rounded) + static_cast<double>(neighbour)) / 2;
    const double ulp = std::fabs(static_cast<double>(neighbour) - static_cast<double>(rounded));
    const double distance = std::fabs(degreesThere - mid) / ulp;
    if (distance < best) {
      best = distance;
      x = candidate;
    }
  }
}

// Half the angle a led atan2 gets: the correct one (in radians) as a float32,
// moved by up to three float units, for a quarter of the pairs the opposite
// direction.
float GuideHalf(std::mt19937_64& random, double angle) {
  const uint64_t r = random();
  if ((r & 3) == 0) angle -= std::copysign(3.14159265358979323846, angle);
  const float half = static_cast<float>(angle / 2);
  return FromBits(BitsOf(half) + static_cast<uint32_t>(static_cast<int>((r >> 2) % 7) - 3));
}

void CheckAtan2(bool boundary, uint64_t count, uint64_t seed, Tally& tally) {
  std::mt19937_64 random(seed);
  double ys[kMostLanes], xs[kMostLanes];
  float wants[kMostLanes], guides[kMostLanes];
  int filled = 0;
  const auto checkLanes = [&] {
    for (int i = filled; i < kMostLanes; ++i) {  // pad with copies of the first
      ys[i] = ys[0];
      xs[i] = xs[0];
      guides[i] = guides[0];
    }
    for (int lanes : {2, 4, 8}) {
      for (int led = 0; led < 2; ++led) {
        float got[kMostLanes];
        for (int first = 0; first < kMostLanes; first += lanes) {
          if (led) {
            rotation_lanes::ScaledAtan2NearToFloat(lanes, ys + first, xs + first, guides + first, kScale, got + first);
          } else {
            rotation_lanes::ScaledAtan2ToFloat(lanes, ys + first, xs + first, kScale, got + first);
          }
        }
        for (int i = 0; i < filled; ++i) {
          if (BitsOf(got[i]) != BitsOf(wants[i])) {
            ++tally.differences;
            ReportDifference(LanesName(led ? "led atan2" : "atan2", lanes).c_str(), ys[i], xs[i], got[i], wants[i]);
          }
        }
      }
    }
    filled = 0;
  };
  for (uint64_t i = 0; i < count; ++i) {
    double y, x;
    if (boundary) {
      BoundaryPair(random, i, y, x);
    } else {
      RandomPair(random, i, y, x);
    }
    const double angle = std::atan2(y, x);
    const float got = ScaledAtan2ToFloat(y, x, kScale);
    const float want = static_cast<float>(angle * kScale);
    ++tally.checked;
    if (BitsOf(got) != BitsOf(want)) {
      ++tally.differences;
      ReportDifference("atan2", y, x, got, want);
    }
    if (rounded_trig::InAtanRange(y) && rounded_trig::InAtanRange(x)) {
      ++tally.inRange;
      float fast;
      const bool decided = rounded_trig::FastScaledAtan2(y, x, kScale, fast);
      if (!decided) ++tally.undecided;
      if (!boundary && i % 4 == 0) {
        ++tally.typical;
        if (!decided) ++tally.typicalUndecided;
      }
      const double v = rounded_trig::Atan2Of(y, x);
      if (BitsOf(static_cast<float>(v * kScale)) != BitsOf(want)) ++tally.kernelWrong;
#if defined(TAMBERLO_HAVE_QUADMATH)
      if (i % 997 == 0 && std::fabs(v * kScale) >= 0x1p-100) {
        tally.NoteError(ErrorInUlps(v * kScale, atan2q(y, x) * static_cast<__float128>(kScale)));
      }
#endif
    }
    ys[filled] = y;
    xs[filled] = x;
    wants[filled] = want;
    guides[filled] = std::isfinite(angle) ? GuideHalf(random, angle) : 0.0f;
    if (++filled == kMostLanes) checkLanes();
  }
  if (filled > 0) checkLanes();
}

// ---- the rotation chain

float AnyFloat(std::mt19937_64& random) { return FromBits(static_cast<uint32_t>(random())); }

float Within(std::mt19937_64& random, double limit) {
  return static_cast<float>((static_cast<double>(random() >> 11) * 0x1p-53 * 2 - 1) * limit);
}

Vector3 RandomAngles(std::mt19937_64& random, uint64_t i) {
  constexpr double kPi = 3.14159265358979323846;
  Vector3 a;
  switch (i % 6) {
    case 0:  // within a turn
      a = {Within(random, kPi), Within(random, kPi), Within(random, kPi)};
      break;
    case 1:  // within two turns: the angle about Y beyond a quarter turn comes out folded
      a = {Within(random, 2 * kPi), Within(random, 2 * kPi), Within(random, 2 * kPi)};
      break;
    case 2: {  // near the vertical, where the matrix is too close to split X from Z
      const float tilt = static_cast<float>(kPi / 2 + Within(random, 0.003));
      a = {Within(random, kPi), (random() & 1) ? tilt : -tilt, Within(random, kPi)};
      break;
    }
    case 3:  // small angles and exact zeros
      a = {Within(random, 0.01), (random() & 1) ? 0.0f : Within(random, 1e-6), (random() & 3) ? Within(random, 0.1) : -0.0f};
      break;
    case 4:  // large angles
      a = {Within(random, 1000), Within(random, 30), Within(random, 5)};
      break;
    default:  // any float32 but NaN, which never reaches these paths (NaN angles blend)
      for (int axis = 0; axis < 3; ++axis) {
        do a[axis] = AnyFloat(random);
        while (std::isnan(a[axis]));
      }
      break;
  }
  return a;
}

bool Finite(const Vector3& a) { return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z); }

void CheckChain(uint64_t count, uint64_t seed, Tally& tally) {
  std::mt19937_64 random(seed);
  Vector3 angles[kMostLanes], wants[kMostLanes];
  bool normalise[kMostLanes];
  for (uint64_t i = 0; i < count; i += kMostLanes) {
    for (int lane = 0; lane < kMostLanes; ++lane) {
      angles[lane] = RandomAngles(random, i + static_cast<uint64_t>(lane));
      // The normalised path is taken only with finite angles.
      normalise[lane] = Finite(angles[lane]) && (random() & 3) != 0;
      wants[lane] = ReferenceWholeFrameAngles(angles[lane], normalise[lane]);
      // The scalar functions the export uses elsewhere must agree too.
      Quaternion q;
      AnglesToQuaternion(angles[lane], q);
      if (normalise[lane]) NormalizeQuaternion(q);
      Vector3 scalar;
      QuaternionToAngles(q, scalar);
      bool negativeZero = false;
      for (int i = 0; i < 4; ++i) negativeZero |= q[i] == 0.0f && std::signbit(q[i]);
      for (int axis = 0; axis < 3 && !(normalise[lane] && negativeZero); ++axis) {
        if (BitsOf(scalar[axis]) != BitsOf(wants[lane][axis])) {
          ++tally.differences;
          ReportDifference("scalar chain", angles[lane][axis], axis, scalar[axis], wants[lane][axis]);
        }
      }
    }
    for (int lanes : {2, 4, 8}) {
      Vector3 got[kMostLanes];
      int done = 0;
      for (int first = 0; first < kMostLanes; first += lanes) {
        done |= rotation_lanes::WholeFrameAngles(lanes, angles + first, normalise + first, got + first) << first;
      }
      for (int lane = 0; lane < kMostLanes; ++lane) {
        if (lanes == 2) ++tally.checked;
        if (!(done & (1 << lane))) {
          if (lanes == 2) ++tally.undecided;  // left to the blend: a -0.0 in the quaternion
          continue;
        }
        for (int axis = 0; axis < 3; ++axis) {
          if (BitsOf(got[lane][axis]) != BitsOf(wants[lane][axis])) {
            ++tally.differences;
            ReportDifference(LanesName("chain", lanes).c_str(), angles[lane][axis], axis, got[lane][axis],
                             wants[lane][axis]);
          }
        }
      }
    }
  }
}

void PrintChainTally(const Tally& tally, double seconds) {
  std::printf("chain: %llu angle triples, %llu differences; %llu left to the blend (a -0.0 in the quaternion); %.1f s\n",
              static_cast<unsigned long long>(tally.checked), static_cast<unsigned long long>(tally.differences),
              static_cast<unsigned long long>(tally.undecided), seconds);
}

void PrintTally(const char* what, const Tally& tally, unsigned slack, double seconds) {
  std::printf("%s: %llu inputs, %llu differences; %llu in the kernel's range, of which %llu (%.3g %%) passed to the "
              "C library by the rounding test; %llu where the kernel's own rounding differs; %.1f s\n",
              what, static_cast<unsigned long long>(tally.checked), static_cast<unsigned long long>(tally.differences),
              static_cast<unsigned long long>(tally.inRange), static_cast<unsigned long long>(tally.undecided),
              tally.inRange ? 100.0 * static_cast<double>(tally.undecided) / static_cast<double>(tally.inRange) : 0.0,
              static_cast<unsigned long long>(tally.kernelWrong), seconds);
  if (tally.typical > 0) {
    std::printf("  %s: %llu inputs, of which %llu (%.3g %%) passed to the C library\n",
                std::strcmp(what, "sine") == 0 ? "from 2^-20 to 4" : "float32 pairs in [-1, 1]",
                static_cast<unsigned long long>(tally.typical), static_cast<unsigned long long>(tally.typicalUndecided),
                100.0 * static_cast<double>(tally.typicalUndecided) / static_cast<double>(tally.typical));
  }
  if (tally.sampled > 0) {
    std::printf("  largest kernel error on %llu sampled results (against quadruple precision): %.3g ulps of a double; "
                "the rounding test allows %u\n",
                static_cast<unsigned long long>(tally.sampled), tally.worstUlps, slack);
  }
}

int Usage() {
  std::fprintf(stderr,
               "usage: fast_math_check [--threads N] sine [STRIDE]\n"
               "       fast_math_check [--threads N] atan2 COUNT [SEED]\n"
               "       fast_math_check [--threads N] atan2-boundary COUNT [SEED]\n"
               "       fast_math_check [--threads N] chain COUNT [SEED]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int threads = 2;
  int arg = 1;
  if (arg + 1 < argc && std::strcmp(argv[arg], "--threads") == 0) {
    threads = std::atoi(argv[arg + 1]);
    arg += 2;
  }
  if (arg >= argc || threads < 1) return Usage();
  const std::string mode = argv[arg];
  std::vector<Tally> tallies(static_cast<size_t>(threads));
  std::vector<std::thread> workers;
  const auto start = std::chrono::steady_clock::now();
  if (mode == "sine") {
    const uint64_t stride = arg + 1 < argc ? std::strtoull(argv[arg + 1], nullptr, 10) : 1;
    if (stride < 1) return Usage();
    // Bit patterns split into equal slices, both signs.
    const uint64_t total = uint64_t{1} << 32;
    for (int t = 0; t < threads; ++t) {
      const uint64_t first = total * static_cast<uint64_t>(t) / static_cast<uint64_t>(threads);
      const uint64_t end = total * static_cast<uint64_t>(t + 1) / static_cast<uint64_t>(threads);
      workers.emplace_back([&, t, first, end] { CheckSineRange(first, end, stride, tallies[static_cast<size_t>(t)]); });
    }
  } else if (mode == "atan2" || mode == "atan2-boundary" || mode == "chain") {
    if (arg + 1 >= argc) return Usage();
    const uint64_t count = std::strtoull(argv[arg + 1], nullptr, 10);
    const uint64_t seed = arg + 2 < argc ? std::strtoull(argv[arg + 2], nullptr, 10) : 1;
    const bool boundary = mode == "atan2-boundary";
    for (int t = 0; t < threads; ++t) {
      const uint64_t share = count / static_cast<uint64_t>(threads) + (static_cast<uint64_t>(t) < count % threads ? 1 : 0);
      workers.emplace_back([&, t, share] {
        const uint64_t threadSeed = seed * 1000003 + static_cast<uint64_t>(t);
        if (mode == "chain") {
          CheckChain(share, threadSeed, tallies[static_cast<size_t>(t)]);
        } else {
          CheckAtan2(boundary, share, threadSeed, tallies[static_cast<size_t>(t)]);
        }
      });
    }
  } else {
    return Usage();
  }
  for (std::thread& worker : workers) worker.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  Tally total;
  for (const Tally& tally : tallies) total.Add(tally);
  if (mode == "chain") {
    PrintChainTally(total, seconds);
  } else {
    PrintTally(mode.c_str(), total, mode == "sine" ? rounded_trig::kSineSlack : rounded_trig::kAtanSlack, seconds);
  }
  return total.differences == 0 ? 0 : 1;
}
