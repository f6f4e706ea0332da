// Which routine variant each slot gets, from the processor's feature bits and
// the caller's permissions. A pure function, so every combination can be
// checked without the processor offering it.
#pragma once

#include <cstdint>

#include "mathlib/math_routines.h"

struct MathDispatch {
  MathRoutineTable routines;
  bool threeDNowEnabled = false;
  bool sseEnabled = false;
  bool sse2Enabled = false;
  bool feature40Enabled = false;
};

// Only the low byte of each allow-flag counts; non-zero allows the set.
MathDispatch ChooseMathRoutines(uint8_t features, int allowThreeDNow, int allowSse, int allowSse2,
                                int allowFeature40);
