// The .glb container: a 12-byte header ("glTF", version 2, total length),
// the JSON chunk padded with spaces to a multiple of 4 bytes, and the binary
// chunk padded with zeros, left out when there is no binary data.
//
// The binary chunk is written first, after room left for the head
// (gltf/binary_chunk.h); the JSON then fills that room, padded with spaces
// (JSON's own white space), and a JSON longer than the room widens it.
#pragma once

#include <cstdint>
#include <string>

#include "gltf/binary_chunk.h"

// The header, the JSON chunk's header and the binary chunk's header.
constexpr uint64_t kGlbHeadBytes = 12 + 8 + 8;

// The room to leave before the binary chunk for a JSON text of about
// `jsonBytes` bytes: a multiple of 4.
uint64_t GlbHeadRoom(int64_t jsonBytes);

// Completes the file `binary` streams to: pads the chunk and writes the head
// with `json` (into the room, or, without binary data, as the whole file).
// Returns the file's length. Throws GlbTooLarge when the file would need more
// than kMaxGlbBytes.
int64_t FinishGlb(const std::string& json, BinaryChunk& binary);
