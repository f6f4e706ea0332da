#include "mathlib/math_startup.h"

int MathStartup(float, float, float, int32_t, int, int, int, int) { return 1; }
