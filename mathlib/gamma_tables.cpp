#include <cmath>
#include <cstdint>

#include "mathlib/math_tables.h"

// Every formula is evaluated in double and rounded (to float32 or by
// truncation to an integer) where it is stored; the float32 constants and
// float32 intermediates below are part of the tables' definition.

namespace {

constexpr double kOneOver255Float = 0.003921569f;  // float32 nearest 1/255, slightly above

int32_t ClampToByteRange(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// Knee of the brightness curve: below it the curve is linear up to 0.125.
float BrightnessKnee(float brightness) {
  if (brightness <= 0.0f) return 0.125f;
  if (brightness <= 1.0f) {
    const double b = brightness;
    return static_cast<float>(0.125 - 0.075 * (b * b));
  }
  return 0.05f;
}

double OutputScale(int32_t divisor) {
  if (divisor == 2) return 0.5;
  if (divisor == 4) return 0.25;
  return 1.0;
}

}  // namespace

int32_t TruncToInt32(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(value);
}

void BuildExponentScaleTable(MathTables& tables) {
  for (int i = 0; i < 256; ++i) {
    tables.exponentScaleTable[i] = static_cast<float>(std::ldexp(1.0, i - 128) / 255.0);
  }
}

void BuildGammaTables(MathTables& tables, float gamma, float textureGamma, float brightness,
                      int32_t outputScaleDivisor) {
  // The first two tables take the display gamma at most 3.0.
  const double gammaClamped = gamma > 3.0f ? 3.0 : static_cast<double>(gamma);
  const double invGamma = static_cast<float>(1.0 / gammaClamped);
  const double ratio = static_cast<float>((1.0 / gammaClamped) * textureGamma);

  for (int i = 0; i < 256; ++i) {
    const double p = std::pow(i * kOneOver255Float, ratio);
    tables.gammaRatioBytes[i] = static_cast<uint8_t>(ClampToByteRange(TruncToInt32(255.0 * p)));
  }

  const float knee = BrightnessKnee(brightness);
  const double k = knee;
  for (int i = 0; i < 1024; ++i) {
    double v = i / 1023.0;
    if (brightness > 1.0f) v *= brightness;
    const double w = v <= k ? (v / k) * 0.125 : ((v - k) / (1.0 - k)) * 0.875 + 0.125;
    const double p = std::pow(static_cast<double>(static_cast<float>(w)), invGamma);
    tables.brightnessCurveInts[i] = ClampToByteRange(TruncToInt32(255.0 * p));
  }

  for (int i = 0; i < 256; ++i) {
    tables.powerCurveFloats[i] =
        static_cast<float>(std::pow(i * kOneOver255Float, static_cast<double>(textureGamma)));
  }

  const double inverseTextureGamma = 1.0 / textureGamma;
  for (int i = 0; i < 1024; ++i) {
    tables.inversePowerInts[i] = TruncToInt32(255.0 * std::pow(i / 1023.0, inverseTextureGamma));
  }

  BuildExponentScaleTable(tables);

  // The scaled tables use the unclamped gamma. An infinite y (zero to a
  // negative power) is capped like any other large value.
  const double scale = OutputScale(outputScaleDivisor);
  const double inverseGamma = 1.0 / gamma;
  for (int i = 0; i < 4096; ++i) {
    const double y = scale * std::pow(i / 1024.0, inverseGamma);
    tables.scaledGammaFloats[i] = y > 1.0 ? 1.0f : static_cast<float>(y);
    const double scaled = y * 255.0;
    tables.scaledGammaInts[i] = scaled > 255.0 ? 255 : TruncToInt32(scaled);
  }
}
