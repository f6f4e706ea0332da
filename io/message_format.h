// printf-style formatting into a fixed buffer, with floats through the tool's
// float formatter instead of the C library's.
#pragma once

#include <cstdarg>
#include <cstddef>

// Supports %s %d %i %u %c %% and %f / %.Nf (with optional flags, width and the
// l/ll length modifiers). Always NUL-terminates; output beyond size - 1 bytes
// is cut. Returns the number of bytes stored, without the terminator.
size_t FormatMessage(char* buffer, size_t size, const char* format, va_list args);
