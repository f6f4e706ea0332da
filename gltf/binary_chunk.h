// The binary chunk of a .glb while it is being built.
//
// The chunk is the largest part of the file and its size is known only at
// the end, after the JSON that describes it, which the file holds first. So
// the chunk is written into the output file as it is made, after room left
// for the head (the file's header, the JSON chunk and the binary chunk's
// header), through the file's buffer: the file is never held in memory, and
// its bytes are copied once, from buffers that stay in the cache. The head is
// written into the room at the end (gltf/glb_container.h). Bytes appended
// before the room is known are held until then.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "io/output_file.h"

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

// Thrown by BinaryChunk::Append when the chunk would no longer fit a .glb.
struct GlbTooLarge {
  int64_t needed = 0;
  bool outputLimit = false;  // the run's output limit, not the format's, was passed
};

class BinaryChunk {
 public:
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
  // Room for `length` bytes (at most kOutputBufferSize) at the end of the
  // chunk, to be filled in place; Appended(n) then takes the first n of
  // them, and throws as Append does.
  unsigned char* Room(size_t length);
  void Appended(size_t length);

  // From here on the chunk goes to `out`, which holds nothing yet, after
  // `room` bytes left for the head; the bytes held so far go first. The room
  // is left with the first byte of the chunk: an empty chunk leaves none.
  void StreamTo(OutputFile& out, uint64_t room);
  OutputFile& Out() const { return *out_; }
  // The room left before the chunk; 0 while the chunk is empty.
  uint64_t RoomLeft() const { return roomLeft_ ? room_ : 0; }

 private:
  void LeaveRoom();  // before the chunk's first byte
  void Put(const void* data, size_t length);

  std::vector<unsigned char> held_;  // before StreamTo
  OutputFile* out_ = nullptr;
  uint64_t room_ = 0;
  bool roomLeft_ = false;
  int64_t size_ = 0;
  uint64_t outputLimit_ = 0;
};
