#include "mathlib/math_dispatch.h"

#include "mathlib/processor_info.h"

namespace {

bool Allowed(int flag) { return static_cast<uint8_t>(flag) != 0; }

}  // namespace

MathDispatch ChooseMathRoutines(uint8_t features, int allowThreeDNow, int allowSse, int allowSse2,
                                int allowFeature40) {
  MathDispatch d;  // every slot starts with its default variant
  MathRoutineTable& t = d.routines;

  d.feature40Enabled = Allowed(allowFeature40) && (features & kFeature40);

  if (Allowed(allowThreeDNow) && (features & kFeatureThreeDNow)) {
    d.threeDNowEnabled = true;
    t.SqrtRoutine = SqrtThreeDNow;
    t.InvSqrtRoutine = InvSqrtThreeDNow;
    t.InvSqrtEstimateRoutine = InvSqrtThreeDNow;
    t.NormalizeReturnLengthRoutine = NormalizeReturnLengthThreeDNow;
    t.NormalizeInPlaceRoutine = NormalizeInPlaceThreeDNow;
    t.InvLengthSquaredRoutine = InvLengthSquaredThreeDNow;
  }

  // SSE overrides everything 3DNow! set; the length-returning normalisation
  // has no SSE form and goes back to the default one.
  if (Allowed(allowSse) && (features & kFeatureSse)) {
    d.sseEnabled = true;
    t.SqrtRoutine = SqrtSse;
    t.InvSqrtRoutine = InvSqrtSse;
    t.InvSqrtEstimateRoutine = InvSqrtEstimateSse;
    t.NormalizeReturnLengthRoutine = NormalizeReturnLengthX87;
    t.NormalizeInPlaceRoutine = NormalizeInPlaceSse;
    t.InvLengthSquaredRoutine = InvLengthSquaredSse;
    t.SineCosineRoutine = SineCosineSse;
    t.CosineRoutine = CosineSse;
  }

  if (Allowed(allowSse2) && (features & kFeatureSse2)) {
    d.sse2Enabled = true;
    t.SineCosineRoutine = SineCosineSse2;
    t.CosineRoutine = CosineSse2;
  }
  return d;
}
