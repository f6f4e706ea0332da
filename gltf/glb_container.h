// The .glb container: a 12-byte header ("glTF", version 2, total length),
// the JSON chunk padded with spaces to a multiple of 4 bytes, and the binary
// chunk padded with zeros, left out when there is no binary data.
#pragma once

#include <string>
#include <vector>

#include "gltf/binary_blocks.h"

// The whole file; empties `binary`. Throws GlbTooLarge when the file would
// need more than kMaxGlbBytes.
std::vector<unsigned char> AssembleGlb(const std::string& json, BinaryBlocks& binary);
