#include "driver/batch_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "io/names.h"

namespace {

// Each open folder on the current path holds one descriptor.
constexpr size_t kMaxDepth = 400;

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// "crate.mdl", "crate.MDL": a name of more than its extension ending in .mdl.
bool IsModelName(const std::string& name) {
  return name.size() > 4 && ::strcasecmp(name.c_str() + name.size() - 4, ".mdl") == 0;
}

int64_t RegularFileSize(const std::string& path) {
  struct stat status;
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return 0;
  return status.st_size;
}

BatchModel MakeModel(const std::string& base, const std::string& extension, const std::string& output) {
  BatchModel model;
  model.base = base;
  model.extension = extension;
  model.input = base + extension;
  model.output = output;
  model.inputBytes = RegularFileSize(model.input) + RegularFileSize(base + ".dx80.vtx");
  return model;
}

struct FolderId {
  dev_t device;
  ino_t inode;
  bool operator==(const FolderId&) const = default;
};

class Walker {
 public:
  Walker(const WalkSettings& settings, BatchPlan& plan) : settings_(settings), plan_(plan) {}

  // `fd` is an open folder; it is closed here.
  void Folder(int fd, const std::string& path, const std::string& output) {
    if (settings_.stop != nullptr && settings_.stop->load()) {
      plan_.walkInterrupted = true;
      ::close(fd);
      return;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0) {
      Skip(path, std::string("unreadable folder: ") + std::strerror(errno), true);
      ::close(fd);
      return;
    }
    FolderId id{status.st_dev, status.st_ino};
    if (id == FolderId{settings_.outputDevice, settings_.outputInode}) {
      Skip(path, "the output folder", false);
      ::close(fd);
      return;
    }
    if (std::find(path_.begin(), path_.end(), id) != path_.end()) {
      Skip(path, "folder link loop", false);
      ::close(fd);
      return;
    }
    if (path_.size() >= kMaxDepth) {
      Skip(path, "folders nested too deep", true);
      ::close(fd);
      return;
    }
    std::vector<std::string> names;
    if (!ReadNames(fd, names)) {
      Skip(path, std::string("unreadable folder: ") + std::strerror(errno), true);
      ::close(fd);
      return;
    }
    path_.push_back(id);
    for (const std::string& name : names) Entry(fd, path, output, name);
    path_.pop_back();
    ::close(fd);
  }

 private:
  static bool ReadNames(int fd, std::vector<std::string>& names) {
    int copy = ::dup(fd);
    if (copy < 0) return false;
    DIR* folder = ::fdopendir(copy);
    if (folder == nullptr) {
      ::close(copy);
      return false;
    }
    errno = 0;
    while (dirent* entry = ::readdir(folder)) {
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
        names.emplace_back(entry->d_name);
      errno = 0;
    }
    int error = errno;
    ::closedir(folder);
    errno = error;
    if (error != 0) return false;
    std::sort(names.begin(), names.end());
    return true;
  }

  void Entry(int fd, const std::string& folderPath, const std::string& folderOutput, const std::string& name) {
    std::string path = Join(folderPath, name);
    struct stat status;
    if (::fstatat(fd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return;  // gone meanwhile
    bool isLink = S_ISLNK(status.st_mode);
    if (isLink && ::fstatat(fd, name.c_str(), &status, 0) != 0) {
      if (IsModelName(name)) Skip(path, "link to nothing", false);
      return;
    }
    if (S_ISDIR(status.st_mode)) {
      if (isLink && !settings_.followLinks) {
        Skip(path, "folder link not followed", false);
        return;
      }
      int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (isLink ? 0 : O_NOFOLLOW);
      int child = ::openat(fd, name.c_str(), flags);
      if (child < 0) {
        Skip(path, std::string("unreadable folder: ") + std::strerror(errno), true);
        return;
      }
      Folder(child, path, Join(folderOutput, name));
      return;
    }
    if (!IsModelName(name)) return;
    if (!S_ISREG(status.st_mode)) {
      Skip(path, "not a regular file", false);
      return;
    }
    std::string stem = name.substr(0, name.size() - 4);
    // "..mdl" and "...mdl" would name the folder itself or its parent as the
    // model's output folder.
    if (stem == "." || stem == "..") {
      Skip(path, "not a model name", true);
      return;
    }
    plan_.models.push_back(MakeModel(Join(folderPath, stem), name.substr(name.size() - 4), Join(folderOutput, stem)));
  }

  void Skip(const std::string& path, std::string reason, bool isError) {
    plan_.skipped.push_back(BatchSkip{path, std::move(reason), isError});
  }

  const WalkSettings& settings_;
  BatchPlan& plan_;
  std::vector<FolderId> path_;
};

// A PATH that is not a folder names a model as -file does: backslashes read
// as slashes, the last extension cut. An extension .mdl in other letters is
// kept when that file exists.
void NamedModel(const std::string& path, BatchPlan& plan) {
  std::string base = path;
  StripExtension(base.data());
  base.resize(std::strlen(base.c_str()));
  std::string extension = ".mdl";
  std::string cut = path.substr(base.size());
  if (::strcasecmp(cut.c_str(), ".mdl") == 0 && RegularFileSize(base + cut) > 0) extension = cut;
  size_t slash = base.rfind('/');
  std::string name = slash == std::string::npos ? base : base.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") {
    plan.skipped.push_back(BatchSkip{path, "not a model name", true});
    return;
  }
  plan.models.push_back(MakeModel(base, extension, name));
}

}  // namespace

BatchPlan FindModels(const std::vector<std::string>& paths, const WalkSettings& settings) {
  BatchPlan plan;
  Walker walker(settings, plan);
  for (const std::string& given : paths) {
    if (settings.stop != nullptr && settings.stop->load()) {
      plan.walkInterrupted = true;
      break;
    }
    // A PATH on the command line is followed when it is a link.
    struct stat status;
    if (::stat(given.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
      int fd = ::open(given.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (fd < 0) {
        plan.skipped.push_back(BatchSkip{given, std::string("unreadable folder: ") + std::strerror(errno), true});
        continue;
      }
      std::string path = given;
      while (path.size() > 1 && path.back() == '/') path.pop_back();
      walker.Folder(fd, path, "");
    } else {
      NamedModel(given, plan);
    }
  }
  MarkOutputCollisions(plan.models);
  return plan;
}
