// printf-style formatting into a fixed buffer, with floats through the tool's
// float formatter instead of the C library's.
#pragma once

#include <cstdarg>
#include <cstddef>

// Supports %s %d %i %u %c %% and %f / %.Nf (with optional flags, width and the
// l/ll length modifiers). Always NUL-terminates; output beyond size - 1 bytes
// is cut. Returns the number of bytes stored, without the terminator. When
// the output was cut and `cut` is set, it receives the last byte the whole
// output would have ended with (the message's line feed, as a rule); else it
// is left alone.
size_t FormatMessage(char* buffer, size_t size, const char* format, va_list args, int* cut = nullptr);
