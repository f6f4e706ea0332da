#include "io/whole_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool WriteWholeFile(int folderFd, const std::string& name, const std::string& text, std::string& error) {
  // Hidden, and named after the process, so two runs into one folder do not
  // write the same temporary file.
  std::string tempName = "." + name + "." + std::to_string(::getpid()) + ".tmp";
  int fd = ::openat(folderFd, tempName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = name + ": " + std::strerror(errno);
    return false;
  }
  const char* p = text.data();
  size_t left = text.size();
  int writeError = 0;
  while (left > 0) {
    ssize_t written = ::write(fd, p, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      writeError = written < 0 ? errno : ENOSPC;
      break;
    }
    p += written;
    left -= static_cast<size_t>(written);
  }
  if (::close(fd) != 0 && writeError == 0) writeError = errno;
  if (writeError == 0 && ::renameat(folderFd, tempName.c_str(), folderFd, name.c_str()) != 0) writeError = errno;
  if (writeError != 0) {
    ::unlinkat(folderFd, tempName.c_str(), 0);
    error = name + ": " + std::strerror(writeError);
    return false;
  }
  return true;
}
