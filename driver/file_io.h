// Whole-file loading and saving.
#pragma once

#include <cstdint>
#include <memory>

struct FileBlock {
  int64_t size = 0;  // 0 means failure: missing, unreadable, empty or too large
  std::unique_ptr<unsigned char[]> data;
};

// Reads the whole file in binary mode. A file that cannot be opened gives
// size 0 and no block; an empty file size 0 with an empty block; a short read
// or a file above 2 GiB - 1 (the format's offsets are 32-bit) size 0.
FileBlock ReadWholeFile(const char* path);
// Creates or truncates the file and writes the bytes; 1 on success, 0 when the
// file cannot be created or written.
int WriteWholeFile(const char* path, int64_t size, const unsigned char* data);
