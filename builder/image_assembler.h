// Puts an image together from blocks. A writer adds blocks (a header, a
// table, a name pool, a stream area), fills their fields, and records links:
// "the int32 at this field holds the distance from this base to that target".
// Assemble then chooses every block's position (in tree order, honouring the
// odd-address, before-base and gap options), lays the bytes out and writes
// the links, so no writer ever computes an offset by hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "builder/model_builder.h"

namespace tb {

struct PendingBlock {
  std::string name;
  std::vector<uint8_t> bytes;
  size_t recordSize = 0;
  int parent = -1;  // the block whose records hold the offset to this one; -1 for the file header
  size_t align = 1;
};

// The int32 at holder + field is set to (target + targetInner) - (holder + base),
// or to (target + targetInner) when fromFileStart.
struct PendingLink {
  int holder = 0;
  size_t field = 0;
  size_t base = 0;
  bool fromFileStart = false;
  std::string target;
  size_t targetInner = 0;
};

// A named position inside a block, reported in BuiltFile::blocks.
struct PendingMark {
  std::string name;
  int block = 0;
  size_t inner = 0;
  size_t size = 0;
};

struct Assembly {
  std::vector<PendingBlock> blocks;
  std::vector<PendingLink> links;
  std::vector<PendingMark> marks;
  bool garbage = false;
  uint32_t garbageState = 1;
};

Assembly StartAssembly(const BuildOptions& options);
// The next filler byte: 0, or pseudo-random 1..255 when garbage is on.
uint8_t NextFiller(Assembly& assembly);
// A new block of `size` filler bytes; returns its index.
int AddBlock(Assembly& assembly, const std::string& name, size_t size, size_t recordSize, int parent, size_t align);
// Appends a NUL-terminated string to a pool block; returns its position in the pool.
size_t AddString(Assembly& assembly, int pool, const std::string& text);
void LinkFromRecord(Assembly& assembly, int holder, size_t field, size_t base, const std::string& target,
                    size_t targetInner = 0);
void LinkFromFileStart(Assembly& assembly, int holder, size_t field, const std::string& target,
                       size_t targetInner = 0);
void MarkPosition(Assembly& assembly, const std::string& name, int block, size_t inner, size_t size);
std::vector<uint8_t>& BytesOf(Assembly& assembly, int block);

BuiltFile Assemble(Assembly& assembly, const BuildOptions& options);

// '*' matches any run of characters.
bool MatchesPattern(const std::string& pattern, const std::string& name);

// The two image writers.
BuiltFile WriteModelImage(const ModelDescription& model, Family family, const BuildOptions& options);
BuiltFile WriteStripImage(const ModelDescription& model, const BuildOptions& options);

}  // namespace tb
