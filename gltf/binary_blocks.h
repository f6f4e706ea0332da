// The binary chunk of a .glb while it is being built.
//
// The chunk is the largest part of the file and its size is known only at
// the end, after the JSON that describes it. Kept in one growing vector, each
// growth would hold the old and the new copy at once, and the final file
// would need a third. Here the bytes go into fixed blocks taken straight from
// the system, and are written to the file from where they lie, so building
// costs the file's size plus one block, with no copy of the whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

// `length` bytes mapped straight from the system (advised to take large
// pages, io/large_pages.h), and
// handed back to it: memory that leaves the process as soon as it is
// released, which the allocator does not promise for what it keeps in its
// own heap. MapMemory throws std::bad_alloc when the system has none.
void* MapMemory(size_t length);
void UnmapMemory(void* data, size_t length);

// An allocator for large arrays that are filled once and released whole
// (such as an animation channel's keys): from MapMemory from 1 MB on, from
// the heap below that.
template <class T>
struct MappedAllocator {
  using value_type = T;
  static constexpr size_t kMappedFrom = size_t{1} << 20;
  MappedAllocator() = default;
  template <class U>
  MappedAllocator(const MappedAllocator<U>&) {}
  T* allocate(size_t count) {
    const size_t length = count * sizeof(T);
    return static_cast<T*>(length >= kMappedFrom ? MapMemory(length) : ::operator new(length));
  }
  void deallocate(T* data, size_t count) {
    const size_t length = count * sizeof(T);
    if (length >= kMappedFrom) {
      UnmapMemory(data, length);
    } else {
      ::operator delete(data);
    }
  }
  bool operator==(const MappedAllocator&) const { return true; }
};

// A .glb states its total length in 32 bits.
constexpr int64_t kMaxGlbBytes = 0xFFFFFFFFLL;

// Thrown by BinaryBlocks::Append when the chunk would no longer fit a .glb.
struct GlbTooLarge {
  int64_t needed = 0;
  bool outputLimit = false;  // the run's output limit, not the format's, was passed
};

class BinaryBlocks {
 public:
  BinaryBlocks() = default;
  BinaryBlocks(const BinaryBlocks&) = delete;
  BinaryBlocks& operator=(const BinaryBlocks&) = delete;
  // Take the blocks; `other` is left empty.
  BinaryBlocks(BinaryBlocks&& other) noexcept;
  BinaryBlocks& operator=(BinaryBlocks&& other) noexcept;
  ~BinaryBlocks();

  int64_t Size() const { return size_; }
  // A run's output limit below the format's; 0 leaves kMaxGlbBytes.
  void SetOutputLimit(uint64_t bytes) { outputLimit_ = bytes; }
  // Throws GlbTooLarge when `more` bytes would pass kMaxGlbBytes or the
  // output limit; called before a large block is sampled into memory.
  void CheckRoom(int64_t more) const;
  // Throws GlbTooLarge when the chunk would pass kMaxGlbBytes or the output limit.
  void Append(const void* data, size_t length);
  // Zero bytes up to the next multiple of 4: every accessor starts aligned.
  void PadTo4();
  // Hands every byte to `put` in order, a block at a time.
  template <typename Put>
  void ForEachBlock(Put put) const {
    for (const Block& block : blocks_) put(block.data, block.used);
  }

 private:
  struct Block {
    unsigned char* data = nullptr;
    size_t size = 0;
    size_t used = 0;
  };
  void Release(Block& block);
  std::vector<Block> blocks_;
  int64_t size_ = 0;
  uint64_t outputLimit_ = 0;
};
