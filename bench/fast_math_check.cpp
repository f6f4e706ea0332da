// Checks the rounded sine, cosine and atan2 (mathlib/rounded_trig.h) against
// the C library, comparing the float32 results bit for bit:
//
//   fast_math_check [--threads N] sine [STRIDE]
//       every float32 the sine and cosine kernel takes (|x| <= 4: every
//       half angle the rotation math can meet there, subnormals, zeros and
//       both signs included; larger, infinite and NaN inputs go to the C
//       library untouched); with STRIDE, every STRIDE-th bit pattern only;
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
//       the closest to such a halfway point among 64 neighbours.
//
// The angle scale is the one the rotation math uses (57.29578f). Prints the
// inputs checked, the differences (the first few listed), how many the
// rounding test passed to the C library, how many the kernel alone would have
// rounded wrongly (what the test guards against), the time, and, with GCC's
// quadruple precision, the kernels' largest error seen on a sample as a
// fraction of the bound the test uses. Exits with 1 on any difference.
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

#include "mathlib/rounded_trig.h"

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
    differences += other.differences;
    undecided += other.undecided;
    kernelWrong += other.kernelWrong;
    sampled += other.sampled;
    if (other.worstUlps > worstUlps || std::isnan(other.worstUlps)) worstUlps = other.worstUlps;
  }
};

std::mutex reportMutex;
std::atomic<int> reported{0};

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

void CheckSineRange(uint64_t first, uint64_t end, uint64_t stride, Tally& tally) {
  for (uint64_t bits = first; bits < end; bits += stride) {
    const float x = FromBits(static_cast<uint32_t>(bits));
    const double wide = x;
    if (!(std::fabs(wide) <= rounded_trig::kSineLimit)) continue;
    float sine, cosine;
    SineCosineToFloat(x, sine, cosine);
    const float wantSine = static_cast<float>(std::sin(wide));
    const float wantCosine = static_cast<float>(std::cos(wide));
    ++tally.checked;
    ++tally.inRange;
    if (BitsOf(sine) != BitsOf(wantSine)) {
      ++tally.differences;
      ReportDifference("sin", wide, 0, sine, wantSine);
    }
    if (BitsOf(cosine) != BitsOf(wantCosine)) {
      ++tally.differences;
      ReportDifference("cos", wide, 0, cosine, wantCosine);
    }
    float fastSine, fastCosine;
    if (!rounded_trig::FastSineCosine(x, fastSine, fastCosine)) ++tally.undecided;
    const rounded_trig::SineCosine kernel = rounded_trig::SineCosineOf(wide);
    if (BitsOf(static_cast<float>(kernel.sine)) != BitsOf(wantSine) ||
        BitsOf(static_cast<float>(kernel.cosine)) != BitsOf(wantCosine)) {
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

void CheckAtan2(bool boundary, uint64_t count, uint64_t seed, Tally& tally) {
  std::mt19937_64 random(seed);
  for (uint64_t i = 0; i < count; ++i) {
    double y, x;
    if (boundary) {
      BoundaryPair(random, i, y, x);
    } else {
      RandomPair(random, i, y, x);
    }
    const float got = ScaledAtan2ToFloat(y, x, kScale);
    const float want = static_cast<float>(std::atan2(y, x) * kScale);
    ++tally.checked;
    if (BitsOf(got) != BitsOf(want)) {
      ++tally.differences;
      ReportDifference("atan2", y, x, got, want);
    }
    if (rounded_trig::InAtanRange(y) && rounded_trig::InAtanRange(x)) {
      ++tally.inRange;
      float fast;
      if (!rounded_trig::FastScaledAtan2(y, x, kScale, fast)) ++tally.undecided;
      const double v = rounded_trig::Atan2Of(y, x);
      if (BitsOf(static_cast<float>(v * kScale)) != BitsOf(want)) ++tally.kernelWrong;
#if defined(TAMBERLO_HAVE_QUADMATH)
      if (i % 997 == 0 && std::fabs(v * kScale) >= 0x1p-100) {
        tally.NoteError(ErrorInUlps(v * kScale, atan2q(y, x) * static_cast<__float128>(kScale)));
      }
#endif
    }
  }
}

void PrintTally(const char* what, const Tally& tally, unsigned slack, double seconds) {
  std::printf("%s: %llu inputs, %llu differences; %llu in the kernel's range, of which %llu (%.3g %%) passed to the "
              "C library by the rounding test; %llu where the kernel's own rounding differs; %.1f s\n",
              what, static_cast<unsigned long long>(tally.checked), static_cast<unsigned long long>(tally.differences),
              static_cast<unsigned long long>(tally.inRange), static_cast<unsigned long long>(tally.undecided),
              tally.inRange ? 100.0 * static_cast<double>(tally.undecided) / static_cast<double>(tally.inRange) : 0.0,
              static_cast<unsigned long long>(tally.kernelWrong), seconds);
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
               "       fast_math_check [--threads N] atan2-boundary COUNT [SEED]\n");
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
  } else if (mode == "atan2" || mode == "atan2-boundary") {
    if (arg + 1 >= argc) return Usage();
    const uint64_t count = std::strtoull(argv[arg + 1], nullptr, 10);
    const uint64_t seed = arg + 2 < argc ? std::strtoull(argv[arg + 2], nullptr, 10) : 1;
    const bool boundary = mode == "atan2-boundary";
    for (int t = 0; t < threads; ++t) {
      const uint64_t share = count / static_cast<uint64_t>(threads) + (static_cast<uint64_t>(t) < count % threads ? 1 : 0);
      workers.emplace_back([&, t, share] {
        CheckAtan2(boundary, share, seed * 1000003 + static_cast<uint64_t>(t), tallies[static_cast<size_t>(t)]);
      });
    }
  } else {
    return Usage();
  }
  for (std::thread& worker : workers) worker.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  Tally total;
  for (const Tally& tally : tallies) total.Add(tally);
  PrintTally(mode.c_str(), total, mode == "sine" ? rounded_trig::kSineSlack : rounded_trig::kAtanSlack, seconds);
  return total.differences == 0 ? 0 : 1;
}
