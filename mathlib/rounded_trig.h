// Sine, cosine and atan2 results rounded to float32 that equal the C
// library's, at a fraction of its cost.
//
// Each function evaluates a short double-precision kernel with a proven error
// bound, then applies the rounding test: when every double within the bound
// of the kernel's result rounds to one float32, the C library's result, which
// lies within that bound too, rounds to it as well, so that float is the
// answer. Otherwise, and outside the kernels' ranges (tiny, zero or
// non-finite arguments and results, atan2 arguments of extreme magnitude),
// the C library is called. Sine and cosine take every finite float32: beyond
// |x| = 4 the angle is first reduced by multiples of pi/2
// (mathlib/angle_reduction.h). The bound
// allows the C library an error of one unit in the last place of a double
// and the kernel several times its own proven error, so a result is left to
// the C library only when it lies within about 2^-18 of a float32 unit from
// a rounding boundary.
//
// The Fast* forms give the kernel's answer alone and report whether the
// rounding test decided it.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "mathlib/angle_reduction.h"

namespace rounded_trig {

inline uint32_t FloatBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

inline uint64_t DoubleBits(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// The rounding test. value is within `slack` units in its last place (ulps)
// of the double whose float32 rounding is wanted, and 2^minExponent <=
// |value| < 2^(minExponent + exponentSpan), inside the normal float32 range.
// There, the float32 rounding boundaries (the halfway points between two
// floats) are the doubles whose low 29 bits are exactly 2^28; every double
// within `slack` ulps of value rounds to the float nearest to value unless
// value's low 29 bits are within `slack` of 2^28. (Stepping into the binade
// below halves the ulp, but a boundary there lies 2^28 of its ulps from the
// binade's top, far beyond 2 * slack.)
inline bool RoundsToOneFloat(double value, int minExponent, int exponentSpan, uint32_t slack, float& result) {
  const uint64_t bits = DoubleBits(value);
  const uint32_t exponent = static_cast<uint32_t>(bits >> 52) & 0x7ff;
  const uint32_t low = static_cast<uint32_t>(bits) & 0x1fffffff;
  result = static_cast<float>(value);
  return (exponent - static_cast<uint32_t>(1023 + minExponent) < static_cast<uint32_t>(exponentSpan)) &
         (low - (0x10000000u - slack) > 2 * slack);
}

// Sine and cosine, |x| <= 4 (every half angle of a turn and more).
//
// With a = |x| and j = a * 64 rounded to an integer, d = a - j/64 is exact
// (a float32 from 2^-7 up is a multiple of 2^-30, and |d| <= 1/128), and
// sin a = S_j cos d + C_j sin d, cos a = C_j cos d - S_j sin d, with S_j and
// C_j the sine and cosine of j/64 from a table (rounded to double). The
// series sin d = d - d^3/3! + d^5/5! and cos d = 1 - d^2/2! + d^4/4! - d^6/6!
// alternate with shrinking terms, so their truncation is below the first
// term left out: d^7/7! < 2^-54 |d| and d^8/8! < 2^-71.
// For j = 0 the table gives 0 and 1 exactly, the sine is sin d and the cosine
// cos d, each within 2^-51 relative: with the C library's ulp, under 6 ulps.
// For j >= 1 each of the two sums is within 2^-51 absolute; the test takes
// those results from 2^-8 (smaller ones, near a multiple of pi/2, go to the C
// library), where that is under 512 ulps plus the C library's one.
// The test uses a slack of 2048 ulps and, for j = 0, results from 2^-60.
constexpr double kSineLimit = 4.0;
constexpr double kRoundingShift = 0x1.8p52;  // adding it rounds to an integer
constexpr int kSineMinExponentNear0 = -60;   // j = 0
constexpr int kSineMinExponent = -8;         // j >= 1
constexpr uint32_t kSineSlack = 2048;
constexpr double kInvFact2 = 0.5, kInvFact3 = 0x1.5555555555555p-3, kInvFact4 = 0x1.5555555555555p-5,
                 kInvFact5 = 0x1.1111111111111p-7, kInvFact6 = 0x1.6c16c16c16c17p-10;
// {sin(j/64), cos(j/64)}, j = 0..256, each the double nearest to it.
struct SineCosinePair {
  double sine, cosine;
};
constexpr SineCosinePair kSineCosineOf64ths[257] = {
    {0x0p+0, 0x1p+0}, {0x1.fffaaaaeeeed5p-7, 0x1.fff000155549fp-1},
    {0x1.ffeaaaeeee86fp-6, 0x1.ffc00155527d3p-1}, {0x1.7fdc01032fba9p-5, 0x1.ff7006bfdf99fp-1},
    {0x1.ffaaaeeed4edbp-5, 0x1.ff0015549f4d3p-1}, {0x1.3facb12d1755bp-4, 0x1.fe7034129ef6fp-1},
    {0x1.7f701032550e4p-4, 0x1.fdc06bf7e6b9bp-1}, {0x1.bf1b78568391dp-4, 0x1.fcf0c800e99b1p-1},
    {0x1.feaaeee86ee36p-4, 0x1.fc015527d5bd3p-1}, {0x1.1f0d3d7afceafp-3, 0x1.faf22263c4bd3p-1},
    {0x1.3eb312c5d66cbp-3, 0x1.f9c340a7cc428p-1}, {0x1.5e44fcfa126f3p-3, 0x1.f874c2e1eecf6p-1},
    {0x1.7dc102fbaf2b5p-3, 0x1.f706bdf9ece1cp-1}, {0x1.9d252d0cec312p-3, 0x1.f57948cff6797p-1},
    {0x1.bc6f84edc6199p-3, 0x1.f3cc7c3b3d16ep-1}, {0x1.db9e15fb5a5dp-3, 0x1.f20073086649fp-1},
    {0x1.faaeed4f31577p-3, 0x1.f01549f7deea1p-1}, {0x1.0cd00cef36436p-2, 0x1.ee0b1fbc0f11cp-1},
    {0x1.1c37d64c6b876p-2, 0x1.ebe214f76efa8p-1}, {0x1.2b8ddc43eb49fp-2, 0x1.e99a4c3a7cd83p-1},
    {0x1.3ad129769d3d8p-2, 0x1.e733ea0193d4p-1}, {0x1.4a00c9b0f3d2p-2, 0x1.e4af14b2a449cp-1},
    {0x1.591bc9fa2f597p-2, 0x1.e20bf49acd6c1p-1}, {0x1.682138a38d7f7p-2, 0x1.df4ab3ebd875ep-1},
    {0x1.7710255764214p-2, 0x1.dc6b7eb995912p-1}, {0x1.85e7a12826949p-2, 0x1.d96e82f71a9dcp-1},
    {0x1.94a6be9f546c5p-2, 0x1.d653f073e404p-1}, {0x1.a34c91cc50ccap-2, 0x1.d31bf8d8d7c06p-1},
    {0x1.b1d8305321617p-2, 0x1.cfc6cfa52ad9fp-1}, {0x1.c048b17b140a3p-2, 0x1.cc54aa2b2972ep-1},
    {0x1.ce9d2e3d4a51fp-2, 0x1.c8c5bf8ce1a84p-1}, {0x1.dcd4c15329c9ap-2, 0x1.c51a48b8b175ep-1},
    {0x1.eaee8744b05fp-2, 0x1.c1528065b7d5p-1}, {0x1.f8e99e76abc97p-2, 0x1.bd6ea310294f5p-1},
    {0x1.0362939c69955p-1, 0x1.b96eeef58840ep-1}, {0x1.0a4021e9e1001p-1, 0x1.b553a410c104ep-1},
    {0x1.110d0c4b69c3bp-1, 0x1.b11d04162a4c6p-1}, {0x1.17c8e5f2eedbp-1, 0x1.accb526f69de5p-1},
    {0x1.1e7343236574cp-1, 0x1.a85ed4373e02dp-1}, {0x1.250bb93788bbbp-1, 0x1.a3d7d0352bdcfp-1},
    {0x1.2b91dea88421ep-1, 0x1.9f368ed912f85p-1}, {0x1.32054b148bc4fp-1, 0x1.9a7b5a36a6514p-1},
    {0x1.386597456282bp-1, 0x1.95a67e00cb1fdp-1}, {0x1.3eb25d36cd53ap-1, 0x1.90b84784ddaf7p-1},
    {0x1.44eb381cf386bp-1, 0x1.8bb105a5dc9p-1}, {0x1.4b0fc46aab761p-1, 0x1.869108d77a6c6p-1},
    {0x1.511f9fd7b351cp-1, 0x1.8158a31916d5dp-1}, {0x1.571a6966d59b3p-1, 0x1.7c0827f09e54fp-1},
    {0x1.5cffc16bf8f0dp-1, 0x1.769fec655211fp-1}, {0x1.62cf49921ac79p-1, 0x1.712046fa77678p-1},
    {0x1.6888a4e134b2fp-1, 0x1.6b898fa9efb5dp-1}, {0x1.6e2b77c40bde1p-1, 0x1.65dc1fdeb8cbap-1},
    {0x1.73b7680dea578p-1, 0x1.6018526f563dfp-1}, {0x1.792c1d0041d52p-1, 0x1.5a3e839824077p-1},
    {0x1.7e893f5037959p-1, 0x1.544f10f592ca5p-1}, {0x1.83ce792c1906ep-1, 0x1.4e4a597e4e10ep-1},
    {0x1.88fb7640b8da2p-1, 0x1.4830bd7d4ceb3p-1}, {0x1.8e0fe3beb42f8p-1, 0x1.42029e8bcd474p-1},
    {0x1.930b705f9f85ap-1, 0x1.3bc05f8b3a656p-1}, {0x1.97edcc6b1b193p-1, 0x1.356a649efec9dp-1},
    {0x1.9cb6a9bbce64bp-1, 0x1.2f011326420e4p-1}, {0x1.a165bbc44a6f1p-1, 0x1.2884d1b592f81p-1},
    {0x1.a5fab793d29c8p-1, 0x1.21f608107e37ap-1}, {0x1.aa7553db0bb41p-1, 0x1.1b551f2312386p-1},
    {0x1.aed548f090ceep-1, 0x1.14a280fb5068cp-1}, {0x1.b31a50d56de8fp-1, 0x1.0dde98c28c628p-1},
    {0x1.b74427397fca2p-1, 0x1.0709d2b6b95eep-1}, {0x1.bb52897fb9032p-1, 0x1.00249c23a6603p-1},
    {0x1.bf4536c24bb85p-1, 0x1.f25ec6b852fc2p-2}, {0x1.c31befd6b7f98p-1, 0x1.e4552f6675828p-2},
    {0x1.c6d67751be646p-1, 0x1.d62d52e9fdfa9p-2}, {0x1.ca74918b36d3dp-1, 0x1.c7e813bf862f7p-2},
    {0x1.cdf604a1cadcep-1, 0x1.b9865639d0596p-2}, {0x1.d15a987e93dfcp-1, 0x1.ab09007382047p-2},
    {0x1.d4a216d89c717p-1, 0x1.9c70fa40c279dp-2}, {0x1.d7cc4b3844e67p-1, 0x1.8dbf2d20bd903p-2},
    {0x1.dad902fa8ac87p-1, 0x1.7ef4842f0bccdp-2}, {0x1.ddc80d5433024p-1, 0x1.7011ec1500bd6p-2},
    {0x1.e0993b54d68f6p-1, 0x1.611852fae0769p-2}, {0x1.e34c5fe9d17ebp-1, 0x1.5208a878fd239p-2},
    {0x1.e5e14fe11418cp-1, 0x1.42e3dd88bd952p-2}, {0x1.e857e1ebd5fd5p-1, 0x1.33aae4758dbefp-2},
    {0x1.eaafeea12b0c4p-1, 0x1.245eb0cdba154p-2}, {0x1.ece9508079f14p-1, 0x1.1500375336bc5p-2},
    {0x1.ef03e3f3d42a2p-1, 0x1.05906dec537dap-2}, {0x1.f0ff87522f62cp-1, 0x1.ec209728baee8p-3},
    {0x1.f2dc1ae18002ep-1, 0x1.cd0190985ef77p-3}, {0x1.f49980d8b4cc7p-1, 0x1.adc5ba156432p-3},
    {0x1.f6379d619369dp-1, 0x1.8e6f075a987d6p-3}, {0x1.f7b6569a75cf8p-1, 0x1.6eff6dd08af8dp-3},
    {0x1.f9159497e853fp-1, 0x1.4f78e46e35a46p-3}, {0x1.fa55416628652p-1, 0x1.2fdd63998e1b6p-3},
    {0x1.fb75490a83c2cp-1, 0x1.102ee507ff5fp-3}, {0x1.fc7599849827bp-1, 0x1.e0dec73d9d533p-4},
    {0x1.fd5622cf734eap-1, 0x1.a141b6a6da89dp-4}, {0x1.fe16d6e2934p-1, 0x1.618a921772ba3p-4},
    {0x1.feb7a9b2c6d8bp-1, 0x1.21bd54fc5f9a7p-4}, {0x1.ff389132ee7c6p-1, 0x1.c3bbf8484388ap-5},
    {0x1.ff9985549ce69p-1, 0x1.43e10afde8436p-5}, {0x1.ffda80089810bp-1, 0x1.87e3bf7bb4f99p-6},
    {0x1.fffb7d3f3a253p-1, 0x1.0fd9d5c093df5p-7}, {0x1.fffc7ae8b279cp-1, -0x1.e049a1f9ed9acp-8},
    {0x1.ffdd78f5268bfp-1, -0x1.780a3ac0ba58bp-6}, {0x1.ff9e7954b2ff2p-1, -0x1.3bf5463f51aefp-5},
    {0x1.ff3f7ff74c9a7p-1, -0x1.bbd1afe4369efp-5}, {0x1.fec092cc814a4p-1, -0x1.1dc92e498cadep-4},
    {0x1.fe21b9c319278p-1, -0x1.5d97a825ea2aap-4}, {0x1.fd62fec8978cp-1, -0x1.9d5048a4e731fp-4},
    {0x1.fc846dc89c3afp-1, -0x1.dcef1441cb33cp-4}, {0x1.fb8614ac24a81p-1, -0x1.0e38088a94cd6p-3},
    {0x1.fa680358ad68ap-1, -0x1.2de7a38a3ff6fp-3}, {0x1.f92a4baf33dd9p-1, -0x1.4d846028db121p-3},
    {0x1.f7cd018b18246p-1, -0x1.6d0c449d3e98ap-3}, {0x1.f6503ac0df637p-1, -0x1.8c7d586bc3eb8p-3},
    {0x1.f4b40f1cd6831p-1, -0x1.abd5a485cce28p-3}, {0x1.f2f89861956bp-1, -0x1.cb133369348ccp-3},
    {0x1.f11df24662dadp-1, -0x1.ea34113fa728fp-3}, {0x1.ef243a7578f7dp-1, -0x1.049b25feefb08p-2},
    {0x1.ed0b908a2aac3p-1, -0x1.140bf9c1636a7p-2}, {0x1.ead4160ee9f4p-1, -0x1.236b8cdb3c016p-2},
    {0x1.e87dee7b2f393p-1, -0x1.32b8e9548fce1p-2}, {0x1.e6093f3141defp-1, -0x1.41f31a58ddacep-2},
    {0x1.e3762f7be2204p-1, -0x1.51192c465a31bp-2}, {0x1.e0c4e88bd4673p-1, -0x1.602a2cbd29b05p-2},
    {0x1.ddf595754e444p-1, -0x1.6f252aae8625bp-2}, {0x1.db08632d452e4p-1, -0x1.7e09366bd0109p-2},
    {0x1.d7fd80869f372p-1, -0x1.8cd561b589476p-2}, {0x1.d4d51e2f45e11p-1, -0x1.9b88bfca38dc2p-2},
    {0x1.d18f6ead1b446p-1, -0x1.aa22657537205p-2}, {0x1.ce2ca65ad1b52p-1, -0x1.b8a1691d60dbep-2},
    {0x1.caacfb64a61cdp-1, -0x1.c704e2d3b0cbfp-2}, {0x1.c710a5c4fd3aap-1, -0x1.d54bec61be7fap-2},
    {0x1.c357df40e4024p-1, -0x1.e375a15821ab9p-2}, {0x1.bf82e364734f7p-1, -0x1.f1811f1cb90d6p-2},
    {0x1.bb91ef7f1729ep-1, -0x1.ff6d84f8d3facp-2}, {0x1.b785429fb9d31p-1, -0x1.069cfa139edcfp-1},
    {0x1.b35d1d90d2dd6p-1, -0x1.0d72c7f114e12p-1}, {0x1.af19c2d45a899p-1, -0x1.1437beb880035p-1},
    {0x1.aabb769fa1ad3p-1, -0x1.1aeb721b04367p-1}, {0x1.a6427ed70e63p-1, -0x1.218d76ddfa4bap-1},
    {0x1.a1af2309bdca6p-1, -0x1.281d62e1a3938p-1}, {0x1.9d01ac6d0b1b8p-1, -0x1.2e9acd27cbd19p-1},
    {0x1.983a65d7fc58p-1, -0x1.35054dda59168p-1}, {0x1.93599bbe94e07p-1, -0x1.3b5c7e51c9196p-1},
    {0x1.8e5f9c2d0e3a9p-1, -0x1.419ff91b9ba6dp-1}, {0x1.894cb6c2f7548p-1, -0x1.47cf5a00a9c0fp-1},
    {0x1.84213cae3a92p-1, -0x1.4dea3e0b69097p-1}, {0x1.7edd80a60af5p-1, -0x1.53f0438e1b11bp-1},
    {0x1.7981d6e5b8b11p-1, -0x1.59e10a28e82edp-1}, {0x1.740e95276d7d5p-1, -0x1.5fbc32cfe56eep-1},
    {0x1.6e84129ed0f95p-1, -0x1.65815fd1054fdp-1}, {0x1.68e2a7f395799p-1, -0x1.6b3034d9f2d89p-1},
    {0x1.632aaf3bed93bp-1, -0x1.70c856fdd6b67p-1}, {0x1.5d5c83f6eac32p-1, -0x1.76496cbb0603p-1},
    {0x1.57788306c57f6p-1, -0x1.7bb31e009a57bp-1}, {0x1.517f0aab0f204p-1, -0x1.81051433f2d45p-1},
    {0x1.4b707a7acdecdp-1, -0x1.863efa361dc25p-1}, {0x1.454d335e83b29p-1, -0x1.8b607c692a7cbp-1},
    {0x1.3f15978a1f45fp-1, -0x1.906948b56347dp-1}, {0x1.38ca0a76d94b2p-1, -0x1.95590e8e6ec66p-1},
    {0x1.326af0dcfcab1p-1, -0x1.9a2f7ef858b7dp-1}, {0x1.2bf8b0ad9b16fp-1, -0x1.9eec4c8c81b17p-1},
    {0x1.2573b10c2dffep-1, -0x1.a38f2b7e75819p-1}, {0x1.1edc5a482467bp-1, -0x1.a817d1a0a7f0ap-1},
    {0x1.183315d65df2ap-1, -0x1.ac85f6691793ep-1}, {0x1.11784e4a93a26p-1, -0x1.b0d952f5d6671p-1},
    {0x1.0aac6f50aea35p-1, -0x1.b511a21177e5ep-1}, {0x1.03cfe5a60d96bp-1, -0x1.b92ea037645cap-1},
    {0x1.f9c63e25718c7p-2, -0x1.bd300b98112c3p-1}, {0x1.ebcd14c50b586p-2, -0x1.c115a41d1dbd3p-1},
    {0x1.ddb52ebc547f7p-2, -0x1.c4df2b6d54e0cp-1}, {0x1.cf7f6d8880e54p-2, -0x1.c88c64f0925e7p-1},
    {0x1.c12cb48474a24p-2, -0x1.cc1d15d38c71cp-1}, {0x1.b2bde8da8e685p-2, -0x1.cf91050b80f9bp-1},
    {0x1.a433f17654f04p-2, -0x1.d2e7fb59c6201p-1}, {0x1.958fb6f608545p-2, -0x1.d621c34f3e3f9p-1},
    {0x1.86d2239c183fbp-2, -0x1.d93e294faed14p-1}, {0x1.77fc23407fdb4p-2, -0x1.dc3cfb94fa2bcp-1},
    {0x1.690ea3420861p-2, -0x1.df1e0a323be1p-1}, {0x1.5a0a92777343cp-2, -0x1.e1e12716c788dp-1},
    {0x1.4af0e1208cd6dp-2, -0x1.e486261109c75p-1}, {0x1.3bc280d728652p-2, -0x1.e70cdcd14b62dp-1},
    {0x1.2c80648006a85p-2, -0x1.e97522ec563bcp-1}, {0x1.1d2b803ba790cp-2, -0x1.ebbed1ddfbfc6p-1},
    {0x1.0dc4c95708521p-2, -0x1.ede9c50b7e58fp-1}, {0x1.fc9a6c789d4f5p-3, -0x1.eff5d9c5d8b81p-1},
    {0x1.dd8b7cc6c48dbp-3, -0x1.f1e2ef4beb207p-1}, {0x1.be5eb484eaea6p-3, -0x1.f3b0e6cc8647ep-1},
    {0x1.9f16067cfb738p-3, -0x1.f55fa36858a4p-1}, {0x1.7fb367373b45cp-3, -0x1.f6ef0a33bc5c9p-1},
    {0x1.6038ccdb01312p-3, -0x1.f85f02386603dp-1}, {0x1.40a82f0f536dep-3, -0x1.f9af7476f3f93p-1},
    {0x1.210386db6d55bp-3, -0x1.fae04be85e5d2p-1}, {0x1.014cce872f1a7p-3, -0x1.fbf1757f47806p-1},
    {0x1.c30c02f6f2e41p-4, -0x1.fce2e0292cb7bp-1}, {0x1.83623844ee659p-4, -0x1.fdb47ccf7782fp-1},
    {0x1.43a0378fadb65p-4, -0x1.fe663e586ef52p-1}, {0x1.03c9fcf1ec027p-4, -0x1.fef819a8094eep-1},
    {0x1.87c70b94029d7p-5, -0x1.ff6a05a09dbe2p-1}, {0x1.07e1a0f419dp-5, -0x1.ffbbfb237637fp-1},
    {0x1.0fd770a03e5aap-6, -0x1.ffedf51141634p-1}, {0x1.fb543efcc9d39p-11, -0x1.fffff04a648d7p-1},
    {-0x1.e04654b27e08ap-7, -0x1.fff1ebaf2da3fp-1}, {-0x1.f011f48bc1a6dp-6, -0x1.ffc3e81fe52f3p-1},
    {-0x1.77f0dee42925cp-5, -0x1.ff75e87cc04ep-1}, {-0x1.f7c14493d7377p-5, -0x1.ff07f1a5b2b2dp-1},
    {-0x1.3bb9172c9b5d8p-4, -0x1.fe7a0a7a20a48p-1}, {-0x1.7b7dd09827b42p-4, -0x1.fdcc3bd87109p-1},
    {-0x1.bb2ad2464a48cp-4, -0x1.fcfe909d7f7f8p-1}, {-0x1.fabc216c36a15p-4, -0x1.fc1115a3ee936p-1},
    {-0x1.1d16e27d233cp-3, -0x1.fb03d9c35a13ap-1}, {-0x1.3cbde2edc530bp-3, -0x1.f9d6edcf6999dp-1},
    {-0x1.5c51179a9d633p-3, -0x1.f88a6496c3517p-1}, {-0x1.7bce8753029e6p-3, -0x1.f71e52e1df0edp-1},
    {-0x1.9b343a429923cp-3, -0x1.f592cf71b9c97p-1}, {-0x1.ba803a10cfc78p-3, -0x1.f3e7f2fe698e2p-1},
    {-0x1.d9b09200454f7p-3, -0x1.f21dd83591ff9p-1}, {-0x1.f8c34f0e141f8p-3, -0x1.f0349bb8b97e7p-1},
    {-0x1.0bdb4008811f4p-2, -0x1.ee2c5c1b7f135p-1}, {-0x1.1b441aec49e01p-2, -0x1.ec0539e1b1374p-1},
    {-0x1.2a9b41a5fed1fp-2, -0x1.e9bf577d4599dp-1}, {-0x1.39dfbec47b9c1p-2, -0x1.e75ad94c32042p-1},
    {-0x1.49109e01340b2p-2, -0x1.e4d7e596267d2p-1}, {-0x1.582cec4f78657p-2, -0x1.e236a48a28d16p-1},
    {-0x1.6733b7eba621fp-2, -0x1.df77403c11a5fp-1}, {-0x1.7624106a440e2p-2, -0x1.dc99e4a1eb3edp-1},
    {-0x1.84fd06c708f17p-2, -0x1.d99ebf9132218p-1}, {-0x1.93bdad73cbbe2p-2, -0x1.d68600bbf7c15p-1},
    {-0x1.a26518675c6p-2, -0x1.d34fd9ade7622p-1}, {-0x1.b0f25d2c443b7p-2, -0x1.cffc7dc92d61dp-1},
    {-0x1.bf6492ef6d71ep-2, -0x1.cc8c22434119ep-1}, {-0x1.cdbad28eafff2p-2, -0x1.c8fefe21918c5p-1},
    {-0x1.dbf436a743c91p-2, -0x1.c5554a3615112p-1}, {-0x1.ea0fdba416b8ep-2, -0x1.c18f411bbc3cp-1},
    {-0x1.f80cdfcc05f91p-2, -0x1.bdad1f32c831ep-1}, {-0x1.02f531a7fcba9p-1, -0x1.b9af229d04aa1p-1},
    {-0x1.09d3c42c705c2p-1, -0x1.b5958b39e5d69p-1}, {-0x1.10a1b98ac825ep-1, -0x1.b1609aa28a722p-1},
    {-0x1.175ea4e43f5bcp-1, -0x1.ad109425a2341p-1}, {-0x1.1e0a1a6ab0246p-1, -0x1.a8a5bcc338ea7p-1},
    {-0x1.24a3af6750621p-1, -0x1.a4205b28667f7p-1}, {-0x1.2b2afa415d171p-1, -0x1.9f80b7aae42dap-1},
    {-0x1.319f9284b3e88p-1, -0x1.9ac71c44872a6p-1}, {-0x1.380110e85a57fp-1, -0x1.95f3d48ea10edp-1},
    {-0x1.3e4f0f54f24aap-1, -0x1.91072dbd4648dp-1}, {-0x1.448928eb1b76ap-1, -0x1.8c01769a7ae07p-1},
    {-0x1.4aaefa09c1509p-1, -0x1.86e2ff8145dep-1}, {-0x1.50c0205455148p-1, -0x1.81ac1a58aba07p-1},
    {-0x1.56bc3ab8f386fp-1, -0x1.7c5d1a8e8f73ep-1}, {-0x1.5ca2e976760a7p-1, -0x1.76f655127cba5p-1},
    {-0x1.6273ce226eaa8p-1, -0x1.7178205057fa1p-1}, {-0x1.682e8baf0eba7p-1, -0x1.6be2d42af8269p-1},
    {-0x1.6dd2c670f7aa7p-1, -0x1.6636c9f6a87a7p-1}, {-0x1.73602424f5b5ep-1, -0x1.60745c73933ap-1},
    {-0x1.78d64bf5a40f2p-1, -0x1.5a9be7c815b86p-1}, {-0x1.7e34e680fa2e6p-1, -0x1.54adc97afdf95p-1},
    {-0x1.837b9dddc1eaep-1, -0x1.4eaa606db24c1p-1},
};

// The kernel's sine and cosine of x, |x| <= kSineLimit, and j.
struct SineCosine {
  double sine, cosine;
  int j;
};
inline SineCosine SineCosineOf(double x) {
  const double a = std::fabs(x);
  const double shifted = a * 64.0 + kRoundingShift;
  const int j = static_cast<int>(DoubleBits(shifted) & 0x1ff);
  const double d = a - (shifted - kRoundingShift) * (1.0 / 64);
  const double z = d * d;
  const double sinD = d + (d * z) * (-kInvFact3 + z * kInvFact5);
  const double cosD = 1.0 + z * (-kInvFact2 + z * (kInvFact4 + z * -kInvFact6));
  const SineCosinePair& at = kSineCosineOf64ths[j];
  const double sine = at.sine * cosD + at.cosine * sinD;
  return SineCosine{std::copysign(1.0, x) * sine, at.cosine * cosD - at.sine * sinD, j};
}

// The kernel on a reduced angle (angle_reduction.h): the sine and cosine of
// |x| = k * pi/2 + r, from those of r by the quadrant. |r| <= pi/4 + 2^-32
// (below 2^20, k * 2/pi is rounded to 2^-33) takes j <= 51, and with
// a = |hi|, d = a - j/64 is exact as above (for j >= 1, j/64 lies within
// [a/2, 2a]); d + lo, the part of |r| beyond j/64, rounds once more, by
// 2^-60 at most. So for j >= 1 each sum is within 2^-51 plus 2^-60
// absolute, as good as the test's slack wants from 2^-8 up. For j = 0 the
// relative error of r (2^-56 from |r| >= 2^-40) joins that of the series:
// the test takes results from 2^-40 there.
constexpr int kReducedMinExponentNear0 = -40;
inline SineCosine SineCosineOfReduced(const angle_reduction::Reduced& r) {
  const double a = std::fabs(r.hi);
  const double sign = std::copysign(1.0, r.hi);
  const double shifted = a * 64.0 + kRoundingShift;
  const int j = static_cast<int>(DoubleBits(shifted) & 0x1ff);
  const double d = (a - (shifted - kRoundingShift) * (1.0 / 64)) + sign * r.lo;
  const double z = d * d;
  const double sinD = d + (d * z) * (-kInvFact3 + z * kInvFact5);
  const double cosD = 1.0 + z * (-kInvFact2 + z * (kInvFact4 + z * -kInvFact6));
  const SineCosinePair& at = kSineCosineOf64ths[j];
  const double sinR = sign * (at.sine * cosD + at.cosine * sinD);
  const double cosR = at.cosine * cosD - at.sine * sinD;
  // sin and cos of r + k * pi/2.
  switch (r.quadrant) {
    case 0:
      return SineCosine{sinR, cosR, j};
    case 1:
      return SineCosine{cosR, -sinR, j};
    case 2:
      return SineCosine{-sinR, -cosR, j};
    default:
      return SineCosine{-cosR, sinR, j};
  }
}

// The kernel beyond kSineLimit, for any finite float32 x: false where the
// reduction leaves nothing to work on.
inline bool ReducedSineCosine(float x, SineCosine& kernel) {
  const float magnitude = std::fabs(x);
  angle_reduction::Reduced reduced;
  if (magnitude < angle_reduction::kModerateLimit) {
    reduced = angle_reduction::ReduceModerate(magnitude);
  } else if (!angle_reduction::ReduceWide(magnitude, reduced)) {
    return false;
  }
  kernel = SineCosineOfReduced(reduced);
  kernel.sine = std::copysign(1.0, static_cast<double>(x)) * kernel.sine;
  return true;
}

// float32 of the C library's sin(x) and cos(x), when the kernel decides both.
inline bool FastSineCosine(float x, float& sine, float& cosine) {
  const double wide = x;
  int minExponent;
  SineCosine kernel;
  if (std::fabs(wide) <= kSineLimit) [[likely]] {
    kernel = SineCosineOf(wide);
    minExponent = kernel.j == 0 ? kSineMinExponentNear0 : kSineMinExponent;
  } else {
    if (!std::isfinite(wide) || !ReducedSineCosine(x, kernel)) return false;  // also NaN
    minExponent = kernel.j == 0 ? kReducedMinExponentNear0 : kSineMinExponent;
  }
  // Results up to 1 (exponent 0).
  const bool sineDecided = RoundsToOneFloat(kernel.sine, minExponent, 1 - minExponent, kSineSlack, sine);
  const bool cosineDecided = RoundsToOneFloat(kernel.cosine, minExponent, 1 - minExponent, kSineSlack, cosine);
  return sineDecided && cosineDecided;
}

// atan2 of finite arguments with magnitudes in [2^-400, 2^401).
//
// With num = min(|x|, |y|), den = max(|x|, |y|) and t = num / den in [0, 1]
// (rounded: 2^-53 relative), c is t rounded to a multiple of 1/256 and
// atan t = atan c + atan u with u = (t - c) / (1 + t c), |u| <= 1/512.
// t - c is exact (t lies within [c/2, 2c], or c = 0); the denominator and the
// quotient round three times (2^-52 relative), and the error of t moves u by
// at most 2^-52 t, which is below 2^-51.6 atan t. atan c comes from a table
// (rounded to double), atan u from its series to u^5, whose truncation u^7/7
// is below 2^-56 |u|; the sum a = atan t is within 2^-50 relative. The octant
// gives the angle: a, pi/2 - a for |y| > |x|, pi - a for x < 0, pi/2 + a for
// both (a <= pi/4 + 1/512, so the last three are above 0.78 and round once
// more), then the sign of y: |kernel - exact| <= 2^-49 |angle|. The angle
// times the scale rounds once more, so with the C library's ulp the scaled
// result is within 2^4 + 2 ulps of the C library's; the test uses a slack of
// 1024 ulps, for scaled results from 2^-100 to below 2^100.
constexpr double kPiOver2 = 0x1.921fb54442d18p+0;
constexpr double kPi = 0x1.921fb54442d18p+1;
constexpr double kIndexShift = 0x1.8p44;  // adding it rounds t in [0, 1] to a multiple of 1/256
constexpr int kAtanMinExponent = -100;
constexpr int kAtanExponentSpan = 200;
constexpr uint32_t kAtanSlack = 1024;
// The angle is kOctantBase[o] + kOctantSign[o] * a, o = (|y| > |x|) + 2 (x < 0).
constexpr double kOctantBase[4] = {0.0, kPiOver2, kPi, kPiOver2};
constexpr double kOctantSign[4] = {1.0, -1.0, -1.0, 1.0};
// atan(i / 256), i = 0..256, each the double nearest to it.
constexpr double kAtanOf256ths[257] = {
    0x0p+0, 0x1.ffff5555bbbb7p-9, 0x1.fffd555bbba97p-8, 0x1.7ffb80184c30ap-7,
    0x1.fff555bbb729bp-7, 0x1.3ff595f18a7p-6, 0x1.7fee0184a5c36p-6, 0x1.bfe36df291712p-6,
    0x1.ffd55bba97625p-6, 0x1.1fe1a5c2ec497p-5, 0x1.3fd65f169c9d9p-5, 0x1.5fc89a5fa3b2dp-5,
    0x1.7fb818430da2ap-5, 0x1.9fa49986984dfp-5, 0x1.bf8ddf139c444p-5, 0x1.df73a9f9f1882p-5,
    0x1.ff55bb72cfdeap-5, 0x1.0f99ea71d52a7p-4, 0x1.1f86dbf082d59p-4, 0x1.2f719318a4a9ap-4,
    0x1.3f59f0e7c559dp-4, 0x1.4f3fd677292fbp-4, 0x1.5f2324fd2d7b2p-4, 0x1.6f03bdcea4b0dp-4,
    0x1.7ee182602f10fp-4, 0x1.8ebc54478fb28p-4, 0x1.9e94153cfdcf1p-4, 0x1.ae68a71c722b8p-4,
    0x1.be39ebe6f07c3p-4, 0x1.ce07c5c3cca32p-4, 0x1.ddd21701eba6ep-4, 0x1.ed98c2190043bp-4,
    0x1.fd5ba9aac2f6ep-4, 0x1.068d584212b3ep-3, 0x1.0e6adccf40882p-3, 0x1.164654106085p-3,
    0x1.1e1fafb043727p-3, 0x1.25f6e171a535cp-3, 0x1.2dcbdb2fba1ffp-3, 0x1.359e8edeb99a4p-3,
    0x1.3d6eee8c6626cp-3, 0x1.453cec6092a9ep-3, 0x1.4d087a9da4f17p-3, 0x1.54d18ba11570ap-3,
    0x1.5c9811e3ec26ap-3, 0x1.645bfffb3aa74p-3, 0x1.6c1d4898933d9p-3, 0x1.73dbde8a7d202p-3,
    0x1.7b97b4bce5b02p-3, 0x1.8350be398ebc8p-3, 0x1.8b06ee2879c29p-3, 0x1.92ba37d050272p-3,
    0x1.9a6a8e96c8626p-3, 0x1.a217e601081a6p-3, 0x1.a9c231b403279p-3, 0x1.b1696574d780cp-3,
    0x1.b90d7529260a2p-3, 0x1.c0ae54d768467p-3, 0x1.c84bf8a742e6ep-3, 0x1.cfe654e1d5395p-3,
    0x1.d77d5df205736p-3, 0x1.df110864c9d9ep-3, 0x1.e6a148e96ec4dp-3, 0x1.ee2e1451d980dp-3,
    0x1.f5b75f92c80ddp-3, 0x1.fd3d1fc40dbe4p-3, 0x1.025fa510665b6p-2, 0x1.061eea03d6291p-2,
    0x1.09dc597d86362p-2, 0x1.0d97ee509acb3p-2, 0x1.1151a362431cap-2, 0x1.150973a9ce547p-2,
    0x1.18bf5a30bf178p-2, 0x1.1c735212dd884p-2, 0x1.2025567e47c96p-2, 0x1.23d562b381042p-2,
    0x1.278372057ef46p-2, 0x1.2b2f7fd9b5fe2p-2, 0x1.2ed987a823cfep-2, 0x1.328184fb58952p-2,
    0x1.362773707ebccp-2, 0x1.39cb4eb76157cp-2, 0x1.3d6d129271134p-2, 0x1.410cbad6c7d33p-2,
    0x1.44aa436c2af0ap-2, 0x1.4845a84d0c21bp-2, 0x1.4bdee586890e7p-2, 0x1.4f75f73869979p-2,
    0x1.530ad9951cd4ap-2, 0x1.569d88e1b4cd8p-2, 0x1.5a2e0175e0f4ep-2, 0x1.5dbc3fbbe768dp-2,
    0x1.614840309cfe2p-2, 0x1.64d1ff635c1c6p-2, 0x1.685979f5fa6fep-2, 0x1.6bdeac9cbd76dp-2,
    0x1.6f61941e4def1p-2, 0x1.72e22d53aa2aap-2, 0x1.7660752817502p-2, 0x1.79dc6899118d1p-2,
    0x1.7d5604b63b3f7p-2, 0x1.80cd46a14b1d1p-2, 0x1.84422b8df95d7p-2, 0x1.87b4b0c1ebedcp-2,
    0x1.8b24d394a1b25p-2, 0x1.8e92916f5cde8p-2, 0x1.91fde7cd0c662p-2, 0x1.9566d43a34907p-2,
    0x1.98cd5454d6b18p-2, 0x1.9c3165cc58107p-2, 0x1.9f93066168002p-2, 0x1.a2f233e5e530bp-2,
    0x1.a64eec3cc23fdp-2, 0x1.a9a92d59e98cfp-2, 0x1.ad00f5422058bp-2, 0x1.b056420ae9344p-2,
    0x1.b3a911da65c6cp-2, 0x1.b6f962e737efcp-2, 0x1.ba473378624a5p-2, 0x1.bd9281e528192p-2,
    0x1.c0db4c94ec9fp-2, 0x1.c42191ff11eb7p-2, 0x1.c76550aad71f9p-2, 0x1.caa6872f3631bp-2,
    0x1.cde53432c1351p-2, 0x1.d121566b7f2adp-2, 0x1.d45aec9ec862bp-2, 0x1.d791f5a1226f5p-2,
    0x1.dac670561bb4fp-2, 0x1.ddf85bb026974p-2, 0x1.e127b6b0744bp-2, 0x1.e4548066cf51ap-2,
    0x1.e77eb7f175a34p-2, 0x1.eaa65c7cf28c4p-2, 0x1.edcb6d43f8435p-2, 0x1.f0ede98f393dp-2,
    0x1.f40dd0b541418p-2, 0x1.f72b221a4e495p-2, 0x1.fa45dd3029259p-2, 0x1.fd5e0175fdf83p-2,
    0x1.0039c73c1a40cp-1, 0x1.01c341e82422dp-1, 0x1.034b709250488p-1, 0x1.04d25314342e6p-1,
    0x1.0657e94db30dp-1, 0x1.07dc3324e9b38p-1, 0x1.095f30861a59p-1, 0x1.0ae0e1639866cp-1,
    0x1.0c6145b5b43dap-1, 0x1.0de05d7aa6f7dp-1, 0x1.0f5e28b67e295p-1, 0x1.10daa77307a0dp-1,
    0x1.1255d9bfbd2a9p-1, 0x1.13cfbfb1b056ep-1, 0x1.154859637646ap-1, 0x1.16bfa6f5137e1p-1,
    0x1.1835a88be7c13p-1, 0x1.19aa5e5299f9ap-1, 0x1.1b1dc87904285p-1, 0x1.1c8fe7341f64fp-1,
    0x1.1e00babdefeb4p-1, 0x1.1f7043557138ap-1, 0x1.20de813e823b2p-1, 0x1.224b74c1d192ap-1,
    0x1.23b71e2cc9e6ap-1, 0x1.25217dd17e501p-1, 0x1.268a940696da6p-1, 0x1.27f261273d1b3p-1,
    0x1.2958e59308e31p-1, 0x1.2abe21aded073p-1, 0x1.2c2215e024466p-1, 0x1.2d84c2961e48cp-1,
    0x1.2ee628406cbcap-1, 0x1.30464753b090bp-1, 0x1.31a52048874bep-1, 0x1.3302b39b78856p-1,
    0x1.345f01cce37bbp-1, 0x1.35ba0b60ecccep-1, 0x1.3713d0df6c504p-1, 0x1.386c52d3db11fp-1,
    0x1.39c391cd4171ap-1, 0x1.3b198e5e2564bp-1, 0x1.3c6e491c78dc5p-1, 0x1.3dc1c2a188504p-1,
    0x1.3f13fb89e96f4p-1, 0x1.4064f47569f49p-1, 0x1.41b4ae06fea41p-1, 0x1.430328e4b26d6p-1,
    0x1.445065b795b56p-1, 0x1.459c652badc7fp-1, 0x1.46e727efe4716p-1, 0x1.4830aeb5f7bfep-1,
    0x1.4978fa3269ee1p-1, 0x1.4ac00b1c71762p-1, 0x1.4c05e22de94e5p-1, 0x1.4d4a8023414e8p-1,
    0x1.4e8de5bb6ec04p-1, 0x1.4fd013b7dd17ep-1, 0x1.51110adc5ed81p-1, 0x1.5250cbef1e9fbp-1,
    0x1.538f57b89061fp-1, 0x1.54ccaf0362c8fp-1, 0x1.5608d29c70c34p-1, 0x1.5743c352b33bap-1,
    0x1.587d81f732fbbp-1, 0x1.59b60f5cfab9ep-1, 0x1.5aed6c5909517p-1, 0x1.5c2399c244261p-1,
    0x1.5d58987169b18p-1, 0x1.5e8c6941043dp-1, 0x1.5fbf0d0d5cc4ap-1, 0x1.60f084b46e05fp-1,
    0x1.6220d115d7b8ep-1, 0x1.634ff312d1f3bp-1, 0x1.647deb8e20b9p-1, 0x1.65aabb6c07b03p-1,
    0x1.66d663923e087p-1, 0x1.6800e4e7e2858p-1, 0x1.692a40556fb6ap-1, 0x1.6a5276c4b0576p-1,
    0x1.6b798920b3d99p-1, 0x1.6c9f7855c3198p-1, 0x1.6dc44551553afp-1, 0x1.6ee7f10204aefp-1,
    0x1.700a7c5784634p-1, 0x1.712be84295198p-1, 0x1.724c35b4fae7bp-1, 0x1.736b65a172dffp-1,
    0x1.748978fba8e0fp-1, 0x1.75a670b82d8d8p-1, 0x1.76c24dcc6c6cp-1, 0x1.77dd112ea22c7p-1,
    0x1.78f6bbd5d315ep-1, 0x1.7a0f4eb9c19a2p-1, 0x1.7b26cad2e50fep-1, 0x1.7c3d311a6092bp-1,
    0x1.7d528289fa093p-1, 0x1.7e66c01c114fep-1, 0x1.7f79eacb97898p-1, 0x1.808c03940694bp-1,
    0x1.819d0b7158a4dp-1, 0x1.82ad036000005p-1, 0x1.83bbec5cdee22p-1, 0x1.84c9c7653f7ebp-1,
    0x1.85d69576cc2c5p-1, 0x1.86e2578f87ae5p-1, 0x1.87ed0eadc5a2ap-1, 0x1.88f6bbd023119p-1,
    0x1.89ff5ff57f1f8p-1, 0x1.8b06fc1cf3dffp-1, 0x1.8c0d9145cf49dp-1, 0x1.8d13206f8c4cbp-1,
    0x1.8e17aa99cc05ep-1, 0x1.8f1b30c44f167p-1, 0x1.901db3eeef187p-1, 0x1.911f35199833bp-1,
    0x1.921fb54442d18p-1,
};

inline bool InAtanRange(double v) {
  const uint32_t exponent = static_cast<uint32_t>(DoubleBits(v) >> 52) & 0x7ff;
  return exponent - (1023 - 400) < 801;  // 2^-400 <= |v| < 2^401
}

// The kernel's atan2(y, x); only for arguments InAtanRange.
inline double Atan2Of(double y, double x) {
  const double ax = std::fabs(x), ay = std::fabs(y);
  const bool steep = ay > ax;
  const double t = (steep ? ax : ay) / (steep ? ay : ax);
  const double shifted = t + kIndexShift;
  const double c = shifted - kIndexShift;
  const int i = static_cast<int>(DoubleBits(shifted) & 0x1ff);  // c = i/256
  const double u = (t - c) / (1.0 + t * c);
  const double u2 = u * u;
  const double a = kAtanOf256ths[i] + (u + (u * u2) * (-1.0 / 3 + u2 * (1.0 / 5)));
  const int octant = static_cast<int>(steep) + (x < 0 ? 2 : 0);
  return std::copysign(kOctantBase[octant] + kOctantSign[octant] * a, y);
}

// float32 of the C library's atan2(y, x) * scale, when the kernel decides it.
inline bool FastScaledAtan2(double y, double x, double scale, float& result) {
  if (!InAtanRange(y) || !InAtanRange(x)) return false;
  return RoundsToOneFloat(Atan2Of(y, x) * scale, kAtanMinExponent, kAtanExponentSpan, kAtanSlack, result);
}

}  // namespace rounded_trig

// static_cast<float>(std::sin(x)) and static_cast<float>(std::cos(x)) for a
// float32 x, bit for bit.
inline void SineCosineToFloat(float x, float& sine, float& cosine) {
  if (!rounded_trig::FastSineCosine(x, sine, cosine)) [[unlikely]] {
    sine = static_cast<float>(std::sin(static_cast<double>(x)));
    cosine = static_cast<float>(std::cos(static_cast<double>(x)));
  }
}

// static_cast<float>(std::atan2(y, x) * scale) bit for bit.
inline float ScaledAtan2ToFloat(double y, double x, double scale) {
  float result;
  if (!rounded_trig::FastScaledAtan2(y, x, scale, result)) [[unlikely]] {
    result = static_cast<float>(std::atan2(y, x) * scale);
  }
  return result;
}
