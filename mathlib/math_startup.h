// Math start-up: the processor-dependent routine table, its state flags and
// the sine and gamma tables, filled once before the writers run.
#pragma once

#include <cstdint>

#include "mathlib/math_routines.h"
#include "mathlib/math_tables.h"

// Chooses the routine variants by processor features and allow-flags (only
// their low bytes count), then builds the tables. The result means nothing.
int MathStartup(float gamma, float textureGamma, float brightness, int32_t outputScaleDivisor,
                int allowThreeDNow, int allowSse, int allowSse2, int allowFeature40);

// Before start-up: default routines, flags false, tables zero.
const MathRoutineTable& ActiveMathRoutines();
const MathTables& ActiveMathTables();
bool IsThreeDNowEnabled();
bool IsSseEnabled();
bool IsSse2Enabled();
bool IsFeature40Enabled();

// Table lookups with their indices clamped to the table.
float LookupPowerCurve(int i);          // 0.0 below 0, 1.0 above 255
int32_t LookupInversePower(float f);    // entry trunc(f * 1023)
int32_t LookupBrightnessCurve(float f); // entry trunc(f * 1023)
int32_t LookupScaledGamma(float f);     // entry trunc(f * 1024)
