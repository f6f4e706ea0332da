// The registry of temporary files a terminating signal removes. Each case runs
// in a child process (a death test), since the handler ends the process and
// closes the registry for good.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "io/temp_registry.h"
#include "tests/tool_runner/tool_runner.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> FilesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Forked, not started afresh: the child works in the parent's scratch folder.
class TempRegistryDeathTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "fast"); }
};

void InstallHandler() {
  struct sigaction action = {};
  action.sa_handler = [](int signal) { RemoveRegisteredFilesAndExit(signal); };
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

TEST_F(TempRegistryDeathTest, RemovesOnlyTheFilesItCreatedAndStillHolds) {
  ScratchDir dir;
  const fs::path taken = dir.path / ".tamberlo-00000000deadbeef.part";
  WriteFileBytes(taken, {'t', 'a', 'k', 'e', 'n'});
  const auto run = [&] {
    const int folder = ::open(dir.path.c_str(), O_RDONLY | O_DIRECTORY);
    int live = -1, refused = -1, renamed = -1, removed = -1;
    const bool ok =
        CreateRegisteredFile(folder, "live.part", O_WRONLY, 0644, live) >= 0 &&
        // Someone else's name is not taken over, nor recorded.
        CreateRegisteredFile(folder, taken.filename().c_str(), O_WRONLY, 0644, refused) < 0 &&
        errno == EEXIST && refused == -1 &&
        CreateRegisteredFile(folder, "renamed.part", O_WRONLY, 0644, renamed) >= 0 &&
        CreateRegisteredFile(folder, "removed.part", O_WRONLY, 0644, removed) >= 0;
    // Committed: renamed into place, then released.
    ::renameat(folder, "renamed.part", folder, "kept.smd");
    ReleaseRegisteredFile(renamed);
    // Abandoned: removed, then released.
    ::unlinkat(folder, "removed.part", 0);
    ReleaseRegisteredFile(removed);
    if (!ok || renamed != -1) _exit(1);
    RemoveRegisteredFilesAndExit(SIGTERM);
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(128 + SIGTERM), "");
  EXPECT_EQ(FilesIn(dir.path), (std::vector<std::string>{".tamberlo-00000000deadbeef.part", "kept.smd"}));
  EXPECT_EQ(ReadFileText(taken), "taken");
}

// Threads create, commit and abandon files without pause while the signal
// arrives: whatever each was doing, no temporary file is left.
TEST_F(TempRegistryDeathTest, ASignalAmidBusyThreadsLeavesNoTemporaryFile) {
  ScratchDir dir;
  const auto run = [&] {
    InstallHandler();
    const int folder = ::open(dir.path.c_str(), O_RDONLY | O_DIRECTORY);
    std::atomic<int> created{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&, t] {
        // Built by appending: GCC 12 at -O3 warns (-Wrestrict) inside
        // operator+(const char*, std::string&&).
        const std::string prefix = std::string("t").append(std::to_string(t));
        for (int n = 0;; ++n) {
          const std::string name = prefix + "-" + std::to_string(n) + ".part";
          int slot = -1;
          const int fd = CreateRegisteredFile(folder, name.c_str(), O_WRONLY, 0644, slot);
          if (fd < 0) continue;
          ::close(fd);
          ++created;
          if (n % 2 == 0) {
            ::renameat(folder, name.c_str(), folder, (prefix + ".smd").c_str());
          } else {
            ::unlinkat(folder, name.c_str(), 0);
          }
          ReleaseRegisteredFile(slot);
        }
      });
    }
    while (created < 2000) std::this_thread::yield();
    ::kill(::getpid(), SIGTERM);
    for (;;) ::pause();
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(128 + SIGTERM), "");
  for (const std::string& name : FilesIn(dir.path)) EXPECT_EQ(name.find(".part"), std::string::npos) << name;
}

}  // namespace
