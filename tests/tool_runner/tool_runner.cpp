#include "tests/tool_runner/tool_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>

extern char** environ;

namespace {
std::atomic<int> gScratchCounter{0};
}

ScratchDir::ScratchDir() {
  path = std::filesystem::temp_directory_path() /
         ("tamberlo-test-" + std::to_string(::getpid()) + "-" + std::to_string(gScratchCounter++));
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

const char* ToolPath() { return TAMBERLO_EXE; }

pid_t StartTool(const std::filesystem::path& dir, const std::vector<std::string>& args) {
  std::filesystem::path consolePath = dir / ".console.txt";
  std::filesystem::path errorsPath = dir / ".errors.txt";
  std::vector<std::string> argvStrings = {TAMBERLO_EXE};
  argvStrings.insert(argvStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : argvStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, consolePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errorsPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  // The child starts in the scratch folder; this process stays where it is.
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0 ? pid : -1;
}

ToolRun FinishTool(const std::filesystem::path& dir, pid_t pid) {
  ToolRun run;
  if (pid < 0) return run;
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  std::filesystem::path consolePath = dir / ".console.txt";
  std::filesystem::path errorsPath = dir / ".errors.txt";
  run.console = ReadFileText(consolePath);
  run.errors = ReadFileText(errorsPath);
  std::filesystem::remove(consolePath);
  std::filesystem::remove(errorsPath);
  return run;
}

ToolRun RunTool(const std::filesystem::path& dir, const std::vector<std::string>& args) {
  return FinishTool(dir, StartTool(dir, args));
}

std::string ReadFileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFileBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
