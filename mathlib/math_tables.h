// The sine table and the gamma and colour tables the math start-up fills.
#pragma once

#include <cstdint>

struct MathTables {
  float sineTable[256] = {};
  uint8_t gammaRatioBytes[256] = {};
  int32_t brightnessCurveInts[1024] = {};
  float powerCurveFloats[256] = {};
  int32_t inversePowerInts[1024] = {};
  float exponentScaleTable[256] = {};
  float scaledGammaFloats[4096] = {};
  int32_t scaledGammaInts[4096] = {};
};

void BuildSineTable(MathTables& tables);
// Fills the gamma tables in order, the exponent scale table included.
void BuildGammaTables(MathTables& tables, float gamma, float textureGamma, float brightness,
                      int32_t outputScaleDivisor);
void BuildExponentScaleTable(MathTables& tables);

// Truncation toward zero as the processor's conversion does it: NaN and
// values outside the int32 range give INT32_MIN.
int32_t TruncToInt32(double value);
