#include <cmath>

#include "mathlib/math_tables.h"

void BuildSineTable(MathTables& tables) {
  constexpr double kStep = 0.02454369260617026;  // 2*pi / 256
  for (int i = 0; i < 256; ++i) tables.sineTable[i] = static_cast<float>(std::sin(i * kStep));
}
