#include "io/input_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "io/large_pages.h"

void BlockRelease::operator()(unsigned char* data) const {
  if (mappedLength != 0) {
    ::munmap(data, mappedLength);
  } else {
    delete[] data;
  }
}

namespace {

constexpr size_t kLargePage = size_t{2} << 20;

// Not cleared first: every byte is read from the file but the terminator
// kept after the last one.
std::unique_ptr<unsigned char[], BlockRelease> NewBlock(size_t length) {
  if (length >= kLargePage) {
    // Whole large pages, starting on one (mmap aligns to small pages only);
    // the unaligned ends go back at once.
    const size_t kept = (length + kLargePage - 1) / kLargePage * kLargePage;
    const size_t mapped = kept + kLargePage;
    void* start = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start != MAP_FAILED) {
      const uintptr_t base = reinterpret_cast<uintptr_t>(start);
      const uintptr_t aligned = (base + kLargePage - 1) / kLargePage * kLargePage;
      if (aligned > base) ::munmap(start, aligned - base);
      if (base + mapped > aligned + kept) ::munmap(reinterpret_cast<void*>(aligned + kept), base + mapped - (aligned + kept));
      unsigned char* data = reinterpret_cast<unsigned char*>(aligned);
      AdviseLargePages(data, kept);
      return std::unique_ptr<unsigned char[], BlockRelease>(data, BlockRelease{kept});
    }
  }
  return std::unique_ptr<unsigned char[], BlockRelease>(new unsigned char[length]);
}

}  // namespace

FileBlock ReadWholeFile(const char* path) {
  FileBlock block;
  int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return block;
  struct stat status;
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > INT32_MAX) {
    ::close(fd);
    return block;
  }
  const size_t size = static_cast<size_t>(status.st_size);
  block.data = NewBlock(size + 1);
  block.data[size] = 0;
  size_t got = 0;
  while (got < size) {
    ssize_t n = ::read(fd, block.data.get() + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  if (got != size) {
    block.data.reset();
    return block;
  }
  block.size = static_cast<int64_t>(size);
  return block;
}
