#include "io/output_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "io/shown_name.h"
#include "io/temp_registry.h"

namespace {

void NoteRefusedName(Destination& to, const std::string& name) {
  LogMessage(to.sink, "Refused output name outside the current folder: %s\n", ShownName(name).c_str());
  to.hadErrors = true;
}

// A name no other process can predict: 64 random bits.
std::string RandomTempName() {
  uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, 0) != static_cast<ssize_t>(sizeof bits)) {
    bits = static_cast<uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ull ^ reinterpret_cast<uintptr_t>(&bits);
  }
  char text[40];
  std::snprintf(text, sizeof text, ".tamberlo-%016llx.part", static_cast<unsigned long long>(bits));
  return text;
}

enum class FolderResult { Opened, Missing, Link };

// Opens each folder part of `name` (all but its last component) from `top`,
// never following a link. With `create`, missing folders are made.
FolderResult OpenFolderParts(int top, const std::string& name, bool create, int& fd, bool& owned,
                             std::string& leaf) {
  fd = top;
  owned = false;
  size_t start = 0;
  for (;;) {
    size_t slash = name.find('/', start);
    if (slash == std::string::npos) {
      leaf = name.substr(start);
      return FolderResult::Opened;
    }
    std::string part = name.substr(start, slash - start);
    start = slash + 1;
    if (part.empty() || part == ".") continue;
    int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0 && errno == ENOENT && create) {
      if (::mkdirat(fd, part.c_str(), 0755) == 0 || errno == EEXIST)
        next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    FolderResult failure = FolderResult::Missing;
    if (next < 0) {
      struct stat status;
      if (errno == ELOOP || (::fstatat(fd, part.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                             S_ISLNK(status.st_mode)))
        failure = FolderResult::Link;
    }
    if (owned) ::close(fd);
    if (next < 0) {
      fd = -1;
      owned = false;
      return failure;
    }
    fd = next;
    owned = true;
  }
}

}  // namespace

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

OpenResult OpenOutputFile(Destination& to, OutputFile& out, const std::string& name) {
  out = OutputFile();
  out.name = name;
  if (to.limit != nullptr) {
    if (to.limit->reached) return OpenResult::LimitReached;
    if (to.limit->bytes != 0) out.byteCap = to.limit->bytes;
  }
  if (!IsSafeOutputName(name)) {
    NoteRefusedName(to, name);
    return OpenResult::UnsafeName;
  }
  const OutputFolder& folder = *to.folder;
  if (folder.inMemory) {
    out.inMemory = true;
    out.buffer = std::make_unique_for_overwrite<char[]>(kOutputBufferSize);
    return OpenResult::Opened;
  }
  switch (OpenFolderParts(folder.fd, name, folder.createSubfolders, out.folderFd, out.ownsFolderFd, out.leafName)) {
    case FolderResult::Opened:
      break;
    case FolderResult::Missing:
      return OpenResult::CannotCreate;
    case FolderResult::Link:
      NoteRefusedName(to, name);
      return OpenResult::UnsafeName;
  }
  // Beside the final file, so the rename stays on one file system; a fresh
  // file under a random name, never one that exists already.
  for (int attempt = 0; attempt < 100 && out.fd < 0; ++attempt) {
    out.tempName = RandomTempName();
    out.fd = CreateRegisteredFile(out.folderFd, out.tempName.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0644,
                                  out.tempSlot);
    if (out.fd < 0 && errno != EEXIST) break;
  }
  if (out.fd < 0) {
    if (out.ownsFolderFd) ::close(out.folderFd);
    out.folderFd = -1;
    out.ownsFolderFd = false;
    return OpenResult::CannotCreate;
  }
  out.buffer = std::make_unique_for_overwrite<char[]>(kOutputBufferSize);  // only written bytes are read
  return OpenResult::Opened;
}

void LogCannotOpen(Destination& to, const std::string& name) {
  LogMessage(to.sink, "Can't open: %s\n", ShownName(name).c_str());
}

bool OpenOutputFileOrSay(Destination& to, OutputFile& out, const std::string& name) {
  switch (OpenOutputFile(to, out, name)) {
    case OpenResult::Opened:
      return true;
    case OpenResult::CannotCreate:
      // The next file follows; the exit status stays as it is.
      LogCannotOpen(to, name);
      return false;
    case OpenResult::UnsafeName:
      return false;  // logged by OpenOutputFile
    case OpenResult::LimitReached:
      return false;
  }
  return false;
}

void OpenOutputToString(OutputFile& out, std::string& text) {
  out = OutputFile();
  out.inMemory = true;
  out.collect = &text;
  out.buffer = std::make_unique_for_overwrite<char[]>(kOutputBufferSize);
}

void FlushOutputBuffer(OutputFile& out) {
  if (out.used == 0) return;
  const size_t used = out.used;
  out.used = 0;
  WriteOutputBytes(out, out.buffer.get(), used);
}

void WriteOutputBytes(OutputFile& out, const char* data, size_t length) {
  // Collected text keeps the bytes that cross the cap, so it is over the cap
  // wherever it is copied to, and nothing after them.
  if (out.collect != nullptr && !out.writeFailed) out.collect->append(data, length);
  if (!out.overLimit && out.bytesWritten + length > out.byteCap) {
    out.overLimit = true;
    out.writeFailed = true;
  }
  if (out.inMemory || out.writeFailed || out.fd < 0) {
    out.bytesWritten += length;
    return;
  }
  const char* p = data;
  size_t left = length;
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
  out.bytesWritten += length;
}

void FinishOutputFile(OutputFile& out) {
  if (!out.buffer) return;
  FlushOutputBuffer(out);
  out.buffer.reset();
  if (out.fd >= 0) {
    if (::close(out.fd) != 0 && !out.writeFailed) {
      out.writeFailed = true;
      out.writeErrno = errno;
    }
    out.fd = -1;
  }
}

namespace {

// Counts the file against the run's limit; false when it must not be kept.
bool CountAgainstLimit(Destination& to, OutputFile& out) {
  OutputLimit* limit = to.limit;
  if (limit == nullptr) return true;
  if (limit->reached) return false;
  limit->used += out.bytesWritten;
  if (!out.overLimit && (limit->bytes == 0 || limit->used <= limit->bytes)) return true;
  ReachOutputLimit(to, out.name);
  return false;
}

}  // namespace

uint64_t OutputRoom(const Destination& to) {
  const OutputLimit* limit = to.limit;
  if (limit == nullptr || limit->bytes == 0) return 0;
  return limit->used < limit->bytes ? limit->bytes - limit->used : 1;
}

void ReachOutputLimit(Destination& to, const std::string& name) {
  OutputLimit* limit = to.limit;
  if (limit == nullptr || limit->reached) return;
  limit->reached = true;
  LogMessage(to.sink, "Output limit reached (%s): %s; -max-output raises it\n", ByteSizeText(limit->bytes).c_str(),
             ShownName(name).c_str());
  to.hadErrors = true;
  if (to.sink.channel != nullptr) to.sink.channel->silenced = true;
}

std::string ByteSizeText(uint64_t bytes) {
  static const char kSuffixes[] = "KMGTPE";
  int suffix = -1;
  while (bytes != 0 && bytes % 1024 == 0 && suffix < 5) {
    bytes /= 1024;
    ++suffix;
  }
  std::string text = std::to_string(bytes);
  if (suffix >= 0) text += kSuffixes[suffix];
  return text;
}

bool CommitOutputFile(Destination& to, OutputFile& out) {
  if (!CountAgainstLimit(to, out)) {
    AbandonOutputFile(out);
    return false;
  }
  if (out.abandoned) return false;
  if (out.inMemory) return !out.writeFailed;
  if (out.folderFd < 0) return false;
  bool ok = !out.writeFailed;
  if (ok && ::renameat(out.folderFd, out.tempName.c_str(), out.folderFd, out.leafName.c_str()) != 0) {
    ok = false;
    out.writeErrno = errno;
  }
  if (!ok) {
    ::unlinkat(out.folderFd, out.tempName.c_str(), 0);
    LogMessage(to.sink, "Write failed: %s (%s)\n", ShownName(out.name).c_str(), std::strerror(out.writeErrno));
    to.hadErrors = true;
  }
  if (to.folder != nullptr && to.folder->onCommit != nullptr)
    (*to.folder->onCommit)(out.name, out.bytesWritten, ok ? 0 : (out.writeErrno != 0 ? out.writeErrno : EIO));
  // The temporary name is gone (renamed or removed) before the folder it was
  // registered with is closed.
  ReleaseRegisteredFile(out.tempSlot);
  if (out.ownsFolderFd) ::close(out.folderFd);
  out.folderFd = -1;
  out.ownsFolderFd = false;
  return ok;
}

bool CloseOutputFile(Destination& to, OutputFile& out) {
  if (!out.buffer && out.fd < 0) return false;
  FinishOutputFile(out);
  return CommitOutputFile(to, out);
}

void AbandonOutputFile(OutputFile& out) {
  if (out.abandoned) return;
  out.abandoned = true;
  out.bytesWritten += out.used;
  if (out.fd >= 0) {
    ::close(out.fd);
    out.fd = -1;
  }
  if (out.folderFd >= 0) {
    if (!out.tempName.empty()) ::unlinkat(out.folderFd, out.tempName.c_str(), 0);
    ReleaseRegisteredFile(out.tempSlot);
    if (out.ownsFolderFd) ::close(out.folderFd);
  }
  out.folderFd = -1;
  out.ownsFolderFd = false;
  out.buffer.reset();
  out.used = 0;
}

OutputFile::~OutputFile() {
  if (fd >= 0 || folderFd >= 0) AbandonOutputFile(*this);
}

OutputFile::OutputFile(OutputFile&& other) noexcept { *this = std::move(other); }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this == &other) return *this;
  if (fd >= 0 || folderFd >= 0) AbandonOutputFile(*this);
  name = std::move(other.name);
  folderFd = std::exchange(other.folderFd, -1);
  ownsFolderFd = std::exchange(other.ownsFolderFd, false);
  leafName = std::move(other.leafName);
  tempName = std::move(other.tempName);
  fd = std::exchange(other.fd, -1);
  tempSlot = std::exchange(other.tempSlot, -1);
  inMemory = other.inMemory;
  collect = other.collect;
  writeFailed = other.writeFailed;
  writeErrno = other.writeErrno;
  overLimit = other.overLimit;
  abandoned = other.abandoned;
  byteCap = other.byteCap;
  buffer = std::move(other.buffer);
  used = std::exchange(other.used, 0);
  bytesWritten = other.bytesWritten;
  return *this;
}
