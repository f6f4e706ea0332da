#include "io/output_head.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>

namespace {

// Counts `length` more bytes against the file's cap, as WriteOutputBytes does.
void CountBytes(OutputFile& out, uint64_t length) {
  if (!out.overLimit && out.bytesWritten + length > out.byteCap) {
    out.overLimit = true;
    out.writeFailed = true;
  }
  out.bytesWritten += length;
}

// Where the file has a descriptor and nothing failed yet.
bool OnDisk(const OutputFile& out) { return !out.inMemory && !out.writeFailed && out.fd >= 0; }

void Fail(OutputFile& out, int error) {
  out.writeFailed = true;
  out.writeErrno = error;
}

// All `length` bytes through pread or pwrite (`transfer`); false after
// setting the file's failure.
template <class Transfer>
bool TransferAt(OutputFile& out, uint64_t offset, size_t length, Transfer transfer) {
  for (size_t done = 0; done < length;) {
    const ssize_t moved = transfer(done, length - done, static_cast<off_t>(offset + done));
    if (moved < 0 && errno == EINTR) continue;
    if (moved <= 0) {
      Fail(out, moved < 0 ? errno : EIO);
      return false;
    }
    done += static_cast<size_t>(moved);
  }
  return true;
}

bool WriteAt(OutputFile& out, uint64_t offset, const char* data, size_t length) {
  return TransferAt(out, offset, length,
                    [&](size_t done, size_t left, off_t at) { return ::pwrite(out.fd, data + done, left, at); });
}

bool ReadAt(OutputFile& out, uint64_t offset, char* data, size_t length) {
  return TransferAt(out, offset, length,
                    [&](size_t done, size_t left, off_t at) { return ::pread(out.fd, data + done, left, at); });
}

}  // namespace

void SkipOutputBytes(OutputFile& out, uint64_t length) {
  FlushOutputBuffer(out);
  if (out.collect != nullptr && !out.writeFailed) out.collect->append(length, '\0');
  CountBytes(out, length);
  if (OnDisk(out) && ::lseek(out.fd, static_cast<off_t>(length), SEEK_CUR) < 0) Fail(out, errno);
}

void PatchOutputBytes(OutputFile& out, uint64_t offset, const char* data, size_t length) {
  FlushOutputBuffer(out);
  if (out.collect != nullptr && !out.writeFailed && offset + length <= out.collect->size())
    out.collect->replace(offset, length, data, length);
  if (OnDisk(out)) WriteAt(out, offset, data, length);
}

void WidenOutputRoom(OutputFile& out, uint64_t offset, uint64_t by) {
  FlushOutputBuffer(out);
  if (out.collect != nullptr && !out.writeFailed && offset <= out.collect->size())
    out.collect->insert(offset, by, '\0');
  const uint64_t end = out.bytesWritten;
  CountBytes(out, by);
  if (!OnDisk(out) || offset >= end) return;
  // From the end backwards, so no byte is overwritten before it is moved.
  constexpr size_t kPiece = size_t{1} << 20;
  const std::unique_ptr<char[]> piece = std::make_unique_for_overwrite<char[]>(kPiece);
  for (uint64_t pieceEnd = end; pieceEnd > offset;) {
    const size_t length = static_cast<size_t>(std::min<uint64_t>(kPiece, pieceEnd - offset));
    const uint64_t from = pieceEnd - length;
    if (!ReadAt(out, from, piece.get(), length) || !WriteAt(out, from + by, piece.get(), length)) return;
    pieceEnd = from;
  }
  if (::lseek(out.fd, 0, SEEK_END) < 0) Fail(out, errno);
}
