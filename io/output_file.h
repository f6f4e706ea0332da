// Buffered output files below a conversion's output folder.
//
// A file is written under a temporary name beside its final one and renamed
// into place only when it is complete, so a file abandoned after bad input or
// a write error never looks complete and an earlier good file of the same name
// survives. Each folder part of a name is opened from the output folder
// without following links, and the temporary file is created and renamed
// relative to that sub-folder's descriptor, so nothing is ever written
// outside the output folder. Write, flush and close errors are detected and
// reported when the file is committed. While a temporary file exists it is
// registered (io/temp_registry.h), so a terminating signal removes it.
//
// A file stops taking bytes once it alone holds more than the run's output
// limit (OutputLimit in io/destination.h); it is then settled as over the
// limit when committed. The limit every file of a run is held to is the same,
// so what a file holds never depends on the order in which other files were
// finished.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "io/destination.h"
#include "io/float_format.h"

constexpr size_t kOutputBufferSize = 1 << 18;

struct OutputFile {
  std::string name;      // the name as asked for, relative to the output folder
  int folderFd = -1;     // the folder that holds it
  bool ownsFolderFd = false;
  std::string leafName;  // its name inside that folder
  std::string tempName;  // where the bytes go until committed
  int fd = -1;
  int tempSlot = -1;              // its entry in the temporary file registry
  bool inMemory = false;          // formatted and discarded, or collected
  std::string* collect = nullptr;  // in memory: the bytes are appended here
  bool writeFailed = false;  // also set over the limit: the bytes are lost, formatting may stop
  int writeErrno = 0;
  bool overLimit = false;    // more bytes than byteCap were given to it
  bool abandoned = false;
  uint64_t byteCap = UINT64_MAX;
  std::unique_ptr<char[]> buffer;
  size_t used = 0;
  uint64_t bytesWritten = 0;  // bytes given to the file and flushed (when abandoned: all it was given)

  OutputFile() = default;
  // A file still open (neither committed nor abandoned) when it goes out of
  // scope is abandoned: its descriptors are closed and its temporary file
  // removed, whatever ended its writer, an exception included.
  ~OutputFile();
  // Moving hands the open file over; the file moved from holds nothing.
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
};

enum class OpenResult {
  Opened,
  CannotCreate,  // the caller logs "Can't open: %s\n"
  UnsafeName,    // refused and logged here: absolute, drive-letter or ".." name, or a folder part that is a link
  LimitReached,  // the run's output limit was reached: nothing more is created, nothing logged
};

// Refuses names that are absolute, start with a drive letter and colon, or have
// a ".." component with either kind of slash.
bool IsSafeOutputName(std::string_view name);

OpenResult OpenOutputFile(Destination& to, OutputFile& out, const std::string& name);
// Logs "Can't open: <name>": a file that could not be created.
void LogCannotOpen(Destination& to, const std::string& name);
// Opens the file and logs "Can't open: <name>" when it cannot be created.
// False when nothing was opened.
bool OpenOutputFileOrSay(Destination& to, OutputFile& out, const std::string& name);
// A file whose bytes are appended to `text`; nothing is created.
void OpenOutputToString(OutputFile& out, std::string& text);
// Flushes and closes the temporary file; the outcome is kept for
// CommitOutputFile. Safe to call from any thread: it logs nothing.
void FinishOutputFile(OutputFile& out);
// Settles a finished or abandoned file: counts it against the run's output
// limit and renames a finished one into place. A file that takes the run past
// its limit is removed instead, "Output limit reached (<limit>): <name>;
// -max-output raises it" is logged, an error noted and the channel silenced
// for the rest of the conversion; once the limit was reached every file is
// removed without a word. On a write, flush, close or rename failure it logs
// the file's name and the reason, notes an error, removes the temporary file
// and returns false. True only when the file was put in place.
bool CommitOutputFile(Destination& to, OutputFile& out);
// FinishOutputFile, then CommitOutputFile.
bool CloseOutputFile(Destination& to, OutputFile& out);
// Discards the output: the temporary file is removed, the final name untouched.
void AbandonOutputFile(OutputFile& out);
// The run's output limit, in one place. OutputRoom: what the limit still
// leaves for a file built whole in memory before it is opened (0: no limit;
// at least 1 while not reached). ReachOutputLimit: the run reached its limit
// with file `name`: "Output limit reached (<limit>): <name>; -max-output
// raises it" is logged once, an error noted, and the channel silenced for the
// rest of the conversion.
uint64_t OutputRoom(const Destination& to);
void ReachOutputLimit(Destination& to, const std::string& name);
// "4G", "512K", "1000": the size with the largest suffix (powers of 1024) that
// divides it.
std::string ByteSizeText(uint64_t bytes);

void FlushOutputBuffer(OutputFile& out);
// Writes `length` bytes past the buffer, which must be empty: what a flush of
// those bytes would do, without copying them.
void WriteOutputBytes(OutputFile& out, const char* data, size_t length);

inline void PutBytes(OutputFile& out, const char* data, size_t length) {
  if (length > kOutputBufferSize - out.used) {
    FlushOutputBuffer(out);
    if (length > kOutputBufferSize) {
      // Larger than the whole buffer (a block of a binary file): written
      // from where it lies.
      WriteOutputBytes(out, data, length);
      return;
    }
  }
  std::memcpy(out.buffer.get() + out.used, data, length);
  out.used += length;
}
// PutBytes for bytes followed by padding: `data` must be readable for kChunk
// bytes. A text up to kChunk long is then copied as one block of that fixed
// size, which costs less than a copy of its exact length; the bytes copied
// past the text are overwritten by what comes next.
template <size_t kChunk>
inline void PutPaddedBytes(OutputFile& out, const char* data, size_t length) {
  if (length <= kChunk) {
    if (kChunk > kOutputBufferSize - out.used) FlushOutputBuffer(out);
    std::memcpy(out.buffer.get() + out.used, data, kChunk);
    out.used += length;
    return;
  }
  PutBytes(out, data, length);
}
inline void PutText(OutputFile& out, std::string_view text) { PutBytes(out, text.data(), text.size()); }
inline void PutChar(OutputFile& out, char c) {
  if (out.used == kOutputBufferSize) FlushOutputBuffer(out);
  out.buffer[out.used++] = c;
}
// Room for at least `length` bytes at the end of the buffer, for formatting in place.
inline char* ReserveBytes(OutputFile& out, size_t length) {
  if (length > kOutputBufferSize - out.used) FlushOutputBuffer(out);
  return out.buffer.get() + out.used;
}
inline void PutInt(OutputFile& out, int64_t value) {
  char* p = ReserveBytes(out, 24);
  out.used += FormatInteger(p, value);
}
// The float by the tool's formatting rule with `precision` decimals.
inline void PutFloat(OutputFile& out, float value, int precision) {
  char* p = ReserveBytes(out, kMaxFormattedFloat);
  out.used += FormatFloat(p, value, precision);
}

