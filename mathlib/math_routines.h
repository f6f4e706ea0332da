// The eight processor-dependent math routines and their variants: a default
// set in plain floating point and the variants that use the approximation
// instructions of the 3DNow!, SSE and SSE2 instruction sets.
#pragma once

#include "mathlib/vector_types.h"

using SqrtRoutineFn = float (*)(float x);
using NormalizeReturnLengthFn = float (*)(Vector3& v);
using NormalizeInPlaceFn = void (*)(Vector3& v);
using InvLengthSquaredFn = float (*)(const Vector3& v);
using SineCosineFn = void (*)(float angle, float& sine, float& cosine);
using CosineFn = float (*)(float angle);

// Default set ("x87"): exact results.
float SqrtX87(float x);
float InvSqrtX87(float x);  // also the coarse 1/sqrt routine of this set
float NormalizeReturnLengthX87(Vector3& v);
void NormalizeInPlaceX87(Vector3& v);
float InvLengthSquaredX87(const Vector3& v);
void SineCosineX87(float angle, float& sine, float& cosine);
float CosineX87(float angle);

// 3DNow! set, built on its reciprocal and reciprocal-square-root estimates.
float SqrtThreeDNow(float x);
float InvSqrtThreeDNow(float x);  // also the coarse 1/sqrt routine of this set
float NormalizeReturnLengthThreeDNow(Vector3& v);
void NormalizeInPlaceThreeDNow(Vector3& v);
float InvLengthSquaredThreeDNow(const Vector3& v);

// SSE set. Its length-returning normalisation is the default one.
float SqrtSse(float x);
float InvSqrtSse(float x);
float InvSqrtEstimateSse(float x);
void NormalizeInPlaceSse(Vector3& v);
float InvLengthSquaredSse(const Vector3& v);
void SineCosineSse(float angle, float& sine, float& cosine);
float CosineSse(float angle);

// SSE2 set: the same polynomial as the SSE sine/cosine, integer quadrant math.
void SineCosineSse2(float angle, float& sine, float& cosine);
float CosineSse2(float angle);

// Slot order is fixed; every slot starts out with its default routine.
struct MathRoutineTable {
  SqrtRoutineFn SqrtRoutine = SqrtX87;
  SqrtRoutineFn InvSqrtRoutine = InvSqrtX87;
  SqrtRoutineFn InvSqrtEstimateRoutine = InvSqrtX87;
  NormalizeReturnLengthFn NormalizeReturnLengthRoutine = NormalizeReturnLengthX87;
  NormalizeInPlaceFn NormalizeInPlaceRoutine = NormalizeInPlaceX87;
  InvLengthSquaredFn InvLengthSquaredRoutine = InvLengthSquaredX87;
  SineCosineFn SineCosineRoutine = SineCosineX87;
  CosineFn CosineRoutine = CosineX87;
};
