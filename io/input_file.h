// Whole-file loading of the input files.
#pragma once

#include <cstdint>
#include <memory>

struct FileBlock {
  int64_t size = 0;  // 0 means failure: missing, unreadable, empty, too large or not a regular file
  std::unique_ptr<unsigned char[]> data;
};

// Reads the whole file. Only a regular file is read: a FIFO, a device or a
// folder gives size 0 at once, never a wait (the file is opened without
// blocking and checked before the first read). A file that cannot be opened
// gives size 0 and no block; an empty file size 0 with an empty block; a short
// read or a file above 2 GiB - 1 (the format's offsets are 32-bit) size 0.
FileBlock ReadWholeFile(const char* path);
