// The single-precision approximation instructions the routine variants are
// built on.
#pragma once

// SSE rsqrtss / rcpss: relative error at most 1.5 * 2^-12.
float SseReciprocalSqrtEstimate(float x);
float SseReciprocalEstimate(float x);

// 3DNow! reciprocal-square-root (about 15 bits) and reciprocal (about 14
// bits) estimates; a zero input saturates to the largest finite float of
// its sign, as that instruction set has no infinities.
float ThreeDNowReciprocalSqrtEstimate(float x);
float ThreeDNowReciprocalEstimate(float x);
