#include "driver/file_io.h"

#include <cstdio>

FileBlock ReadWholeFile(const char* path) {
  FileBlock block;
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return block;
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  if (size < 0 || size > INT32_MAX || std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    return block;
  }
  // Not cleared first: every byte is read from the file but the terminator
  // kept after the last one.
  block.data = std::make_unique_for_overwrite<unsigned char[]>(static_cast<size_t>(size) + 1);
  block.data[static_cast<size_t>(size)] = 0;
  size_t got = std::fread(block.data.get(), 1, static_cast<size_t>(size), file);
  std::fclose(file);
  if (got != static_cast<size_t>(size)) {
    block.data.reset();
    return block;
  }
  block.size = size;
  return block;
}

int WriteWholeFile(const char* path, int64_t size, const unsigned char* data) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return 0;
  bool ok = size <= 0 || std::fwrite(data, 1, static_cast<size_t>(size), file) == static_cast<size_t>(size);
  if (std::fclose(file) != 0) ok = false;
  return ok ? 1 : 0;
}
