#include "driver/text_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "driver/log.h"
#include "driver/run_status.h"

namespace {
bool gOutputToMemory = false;
}

void SetOutputToMemory(bool inMemory) { gOutputToMemory = inMemory; }

bool IsSafeOutputName(std::string_view name) {
  if (name.empty()) return true;
  if (name[0] == '/' || name[0] == '\\') return false;
  if (name.size() >= 2 && name[1] == ':' &&
      ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')))
    return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = name.size();
    if (name.substr(start, end - start) == "..") return false;
    start = end + 1;
  }
  return true;
}

OpenResult OpenOutputFile(OutputFile& out, const std::string& name) {
  out = OutputFile();
  out.name = name;
  if (!IsSafeOutputName(name)) {
    LogMessage("Refused output name outside the current folder: %s\n", name.c_str());
    NoteRunError();
    return OpenResult::UnsafeName;
  }
  out.buffer = std::make_unique_for_overwrite<char[]>(kOutputBufferSize);  // only written bytes are read
  if (gOutputToMemory) {
    out.inMemory = true;
    return OpenResult::Opened;
  }
  // Beside the final file (so the rename stays on one file system), under a
  // short name of its own, so that any final name that fits also has a
  // temporary name that fits.
  static unsigned counter = 0;
  size_t slash = name.find_last_of('/');
  out.tempName = (slash == std::string::npos ? std::string() : name.substr(0, slash + 1)) + ".tamberlo-" +
                 std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".part";
  // A fresh file, never through a link left at the temporary name; a stale one
  // from an interrupted run is removed first. The rename in CloseOutputFile
  // replaces a link at the final name instead of writing through it.
  ::unlink(out.tempName.c_str());
  out.fd = ::open(out.tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (out.fd < 0) {
    out.buffer.reset();
    return OpenResult::CannotCreate;
  }
  return OpenResult::Opened;
}

void FlushOutputBuffer(OutputFile& out) {
  if (out.used == 0) return;
  if (out.inMemory || out.writeFailed || out.fd < 0) {
    out.bytesWritten += out.used;
    out.used = 0;
    return;
  }
  const char* p = out.buffer.get();
  size_t left = out.used;
  while (left > 0) {
    ssize_t written = ::write(out.fd, p, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      out.writeFailed = true;
      out.writeErrno = errno;
      break;
    }
    if (written == 0) {
      out.writeFailed = true;
      out.writeErrno = ENOSPC;
      break;
    }
    p += written;
    left -= static_cast<size_t>(written);
  }
  out.bytesWritten += out.used;
  out.used = 0;
}

bool CloseOutputFile(OutputFile& out) {
  if (!out.buffer && out.fd < 0) return false;
  FlushOutputBuffer(out);
  bool ok = !out.writeFailed;
  if (out.fd >= 0) {
    if (::close(out.fd) != 0 && ok) {
      ok = false;
      out.writeErrno = errno;
    }
    out.fd = -1;
    if (ok && std::rename(out.tempName.c_str(), out.name.c_str()) != 0) {
      ok = false;
      out.writeErrno = errno;
    }
    if (!ok) {
      std::remove(out.tempName.c_str());
      LogMessage("Write failed: %s (%s)\n", out.name.c_str(), std::strerror(out.writeErrno));
      NoteRunError();
    }
  }
  out.buffer.reset();
  return ok;
}

void AbandonOutputFile(OutputFile& out) {
  if (out.fd >= 0) {
    ::close(out.fd);
    out.fd = -1;
    std::remove(out.tempName.c_str());
  }
  out.buffer.reset();
  out.used = 0;
}
