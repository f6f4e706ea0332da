// Whole-file loading of the input files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Gives a block back: to the heap, or to the system where it was mapped.
struct BlockRelease {
  size_t mappedLength = 0;  // 0: from the heap
  void operator()(unsigned char* data) const;
};

struct FileBlock {
  int64_t size = 0;  // 0 means failure: missing, unreadable, empty, too large or not a regular file
  std::unique_ptr<unsigned char[], BlockRelease> data;
};

// Reads the whole file. Only a regular file is read: a FIFO, a device or a
// folder gives size 0 at once, never a wait (the file is opened without
// blocking and checked before the first read). A file that cannot be opened
// gives size 0 and no block; an empty file size 0 with an empty block; a short
// read or a file above 2 GiB - 1 (the format's offsets are 32-bit) size 0.
// A file of 2 MB or more is read into memory mapped with large pages where
// the system gives them: its first touch then costs a fault per 2 MB rather
// than per 4 KB, which on a virtual machine is a good part of reading it.
FileBlock ReadWholeFile(const char* path);
