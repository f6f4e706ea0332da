#include "mathlib/math_startup.h"

#include "mathlib/math_dispatch.h"
#include "mathlib/processor_info.h"

namespace {

MathDispatch gDispatch;  // default routines, all flags false
MathTables gTables;      // zero until start-up

// trunc(product) clamped to 0..last, the clamp taken before the conversion
// so that huge arguments land on the last entry; NaN reads entry 0.
int32_t TableIndex(double product, int32_t last) {
  if (!(product >= 0.0)) return 0;
  if (product >= last) return last;
  return static_cast<int32_t>(product);
}

}  // namespace

int MathStartup(float gamma, float textureGamma, float brightness, int32_t outputScaleDivisor,
                int allowThreeDNow, int allowSse, int allowSse2, int allowFeature40) {
  const ProcessorRecord* record = GetCPUInformation();
  gDispatch = ChooseMathRoutines(record->bytes[kProcessorFeatureByte], allowThreeDNow, allowSse,
                                 allowSse2, allowFeature40);
  BuildSineTable(gTables);
  BuildGammaTables(gTables, gamma, textureGamma, brightness, outputScaleDivisor);
  return 1;
}

const MathRoutineTable& ActiveMathRoutines() { return gDispatch.routines; }
const MathTables& ActiveMathTables() { return gTables; }
bool IsThreeDNowEnabled() { return gDispatch.threeDNowEnabled; }
bool IsSseEnabled() { return gDispatch.sseEnabled; }
bool IsSse2Enabled() { return gDispatch.sse2Enabled; }
bool IsFeature40Enabled() { return gDispatch.feature40Enabled; }

float LookupPowerCurve(int i) {
  if (i < 0) return 0.0f;
  if (i > 255) return 1.0f;
  return gTables.powerCurveFloats[i];
}

// f * 1023 is exact in double, so the truncation sees the true product.
int32_t LookupInversePower(float f) {
  return gTables.inversePowerInts[TableIndex(f * 1023.0, 1023)];
}

int32_t LookupBrightnessCurve(float f) {
  return gTables.brightnessCurveInts[TableIndex(f * 1023.0, 1023)];
}

int32_t LookupScaledGamma(float f) {
  return gTables.scaledGammaInts[TableIndex(f * 1024.0, 4095)];
}
