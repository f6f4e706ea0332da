#include "gltf/binary_blocks.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "io/large_pages.h"

namespace {

// Blocks grow from the first to the largest size, so a small file costs
// little memory and a large one few blocks; the largest is large enough that
// the copy into the file runs at memory speed, small enough that the one
// block held beyond the file's size does not matter.
constexpr size_t kFirstBlockSize = size_t{64} << 10;
constexpr size_t kLargestBlockSize = size_t{8} << 20;

}  // namespace

void* MapMemory(size_t length) {
  void* mapped = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  AdviseLargePages(mapped, length);
  return mapped;
}

void UnmapMemory(void* data, size_t length) { munmap(data, length); }

BinaryBlocks::BinaryBlocks(BinaryBlocks&& other) noexcept
    : blocks_(std::move(other.blocks_)), size_(other.size_), outputLimit_(other.outputLimit_) {
  other.blocks_.clear();
  other.size_ = 0;
}

BinaryBlocks& BinaryBlocks::operator=(BinaryBlocks&& other) noexcept {
  if (this != &other) {
    for (Block& block : blocks_) Release(block);
    blocks_ = std::move(other.blocks_);
    size_ = other.size_;
    outputLimit_ = other.outputLimit_;
    other.blocks_.clear();
    other.size_ = 0;
  }
  return *this;
}

BinaryBlocks::~BinaryBlocks() {
  for (Block& block : blocks_) Release(block);
}

void BinaryBlocks::CheckRoom(int64_t more) const {
  if (more > kMaxGlbBytes - size_) throw GlbTooLarge{size_ + more, false};
  if (outputLimit_ != 0 && static_cast<uint64_t>(size_ + more) > outputLimit_) throw GlbTooLarge{size_ + more, true};
}

void BinaryBlocks::Append(const void* data, size_t length) {
  if (static_cast<int64_t>(length) > kMaxGlbBytes - size_) throw GlbTooLarge{size_ + static_cast<int64_t>(length)};
  CheckRoom(static_cast<int64_t>(length));
  const unsigned char* from = static_cast<const unsigned char*>(data);
  while (length > 0) {
    if (blocks_.empty() || blocks_.back().used == blocks_.back().size) {
      const size_t size = blocks_.empty() ? kFirstBlockSize : std::min(2 * blocks_.back().size, kLargestBlockSize);
      // Mapped, not from the heap: a released block leaves the process at once.
      blocks_.push_back(Block{static_cast<unsigned char*>(MapMemory(size)), size, 0});
    }
    Block& block = blocks_.back();
    const size_t piece = std::min(length, block.size - block.used);
    std::memcpy(block.data + block.used, from, piece);
    block.used += piece;
    from += piece;
    length -= piece;
    size_ += static_cast<int64_t>(piece);
  }
}

void BinaryBlocks::PadTo4() {
  static constexpr unsigned char kZeros[3] = {};
  Append(kZeros, static_cast<size_t>((4 - size_ % 4) % 4));
}

void BinaryBlocks::Release(Block& block) {
  if (block.data != nullptr) UnmapMemory(block.data, block.size);
  block.data = nullptr;
  block.used = 0;
}
