// A file whose head is known only after its body: the body is written after
// room left for the head, and the head is written into that room at the end.
// Should the head outgrow the room, the body is moved further to widen it.
// All three keep the file's count of bytes (bytesWritten) and its cap as
// PutBytes does; collected text gets zeros for the room and the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "io/output_file.h"

// Leaves `length` bytes at the end of the file for PatchOutputBytes (a hole
// in the file: zeros until written).
void SkipOutputBytes(OutputFile& out, uint64_t length);
// Writes `length` bytes at `offset`, which with them must lie within what
// the file holds already.
void PatchOutputBytes(OutputFile& out, uint64_t offset, const char* data, size_t length);
// Moves every byte from `offset` to the end `by` bytes further on: the room
// before `offset` grows by `by` bytes, to be patched.
void WidenOutputRoom(OutputFile& out, uint64_t offset, uint64_t by);
