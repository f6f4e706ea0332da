#include "io/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "io/large_pages.h"

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
  // Not cleared first: every byte is read from the file but the terminator
  // kept after the last one.
  block.data = std::make_unique_for_overwrite<unsigned char[]>(size + 1);
  block.data[size] = 0;
  // A model of tens of MB is read into fresh memory: large pages save most
  // of its page faults.
  AdviseLargePages(block.data.get(), size);
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
