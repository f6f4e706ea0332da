#include "gltf/binary_chunk.h"

#include <sys/mman.h>

#include "io/large_pages.h"
#include "io/output_head.h"

void* MapMemory(size_t length) {
  void* mapped = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  AdviseLargePages(mapped, length);
  return mapped;
}

void UnmapMemory(void* data, size_t length) { munmap(data, length); }

void BinaryChunk::CheckRoom(int64_t more) const {
  if (more > kMaxGlbBytes - size_) throw GlbTooLarge{size_ + more, false};
  if (outputLimit_ != 0 && static_cast<uint64_t>(size_ + more) > outputLimit_) throw GlbTooLarge{size_ + more, true};
}

void BinaryChunk::Append(const void* data, size_t length) {
  if (static_cast<int64_t>(length) > kMaxGlbBytes - size_) throw GlbTooLarge{size_ + static_cast<int64_t>(length)};
  CheckRoom(static_cast<int64_t>(length));
  if (length == 0) return;
  if (out_ == nullptr) {
    const unsigned char* from = static_cast<const unsigned char*>(data);
    held_.insert(held_.end(), from, from + length);
  } else {
    Put(data, length);
  }
  size_ += static_cast<int64_t>(length);
}

void BinaryChunk::PadTo4() {
  static constexpr unsigned char kZeros[3] = {};
  Append(kZeros, static_cast<size_t>((4 - size_ % 4) % 4));
}

unsigned char* BinaryChunk::Room(size_t length) {
  if (out_ == nullptr) {
    held_.resize(static_cast<size_t>(size_) + length);
    return held_.data() + size_;
  }
  LeaveRoom();
  return reinterpret_cast<unsigned char*>(ReserveBytes(*out_, length));
}

void BinaryChunk::Appended(size_t length) {
  CheckRoom(static_cast<int64_t>(length));
  if (out_ == nullptr) {
    held_.resize(static_cast<size_t>(size_) + length);
  } else {
    out_->used += length;
  }
  size_ += static_cast<int64_t>(length);
}

void BinaryChunk::StreamTo(OutputFile& out, uint64_t room) {
  out_ = &out;
  room_ = room;
  if (!held_.empty()) Put(held_.data(), held_.size());
  std::vector<unsigned char>().swap(held_);
}

void BinaryChunk::LeaveRoom() {
  if (roomLeft_) return;
  SkipOutputBytes(*out_, room_);
  roomLeft_ = true;
}

void BinaryChunk::Put(const void* data, size_t length) {
  LeaveRoom();
  PutBytes(*out_, static_cast<const char*>(data), length);
}
