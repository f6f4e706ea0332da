#include "io/output_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "io/shown_name.h"

namespace {

std::string CurrentPath() {
  // 4096 bytes rather than 260, so a long path is still written whole: a cut
  // path would name another folder.
  char path[4096];
  return ::getcwd(path, sizeof path) != nullptr ? std::string(path) : std::string(".");
}

// mkdir -p: each missing folder of the path, from the top.
bool MakeFolders(const std::string& path, std::string& error) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string part = path.substr(0, slash);
    if (!part.empty() && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
      const int reason = errno;
      error = ShownName(part) + ": " + std::strerror(reason);
      errno = reason;
      return false;
    }
    if (slash == std::string::npos) return true;
  }
}

}  // namespace

std::string CdPath(std::string absolute) { return HasUnsafeNameBytes(absolute) ? std::string(".") : absolute; }

bool OpenCurrentFolder(OutputFolder& folder) {
  folder = OutputFolder();
  folder.fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  folder.absolutePath = CdPath(CurrentPath());
  return folder.fd >= 0;
}

bool OpenNamedFolder(OutputFolder& folder, const std::string& path, std::string& error) {
  folder = OutputFolder();
  folder.createSubfolders = true;
  if (path.empty()) {
    error = "an empty folder name";
    return false;
  }
  if (!MakeFolders(path, error)) return false;
  folder.fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder.fd < 0) {
    const int reason = errno;
    error = ShownName(path) + ": " + std::strerror(reason);
    errno = reason;
    return false;
  }
  char resolved[PATH_MAX];
  folder.absolutePath = ::realpath(path.c_str(), resolved) != nullptr ? CdPath(resolved) : std::string(".");
  return true;
}

OutputFolder InMemoryFolder() {
  // Built in place: GCC 12 at -O3 warns falsely (-Wrestrict) on assigning a
  // literal to the member of a local that is returned.
  OutputFolder folder{-1, false, true, std::string(1, '.'), nullptr};
  return folder;
}

void CloseOutputFolder(OutputFolder& folder) {
  if (folder.fd >= 0) ::close(folder.fd);
  folder.fd = -1;
}
