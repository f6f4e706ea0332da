// Math start-up: the processor-dependent routine table, its state flags and
// the sine and gamma tables, filled once before the writers run.
#pragma once

#include <cstdint>

int MathStartup(float gamma, float textureGamma, float brightness, int32_t outputScaleDivisor,
                int allowThreeDNow, int allowSse, int allowSse2, int allowFeature40);
