#include "tests/tool_runner/tool_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
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

StartedTool StartTool(const std::filesystem::path& dir, const std::vector<std::string>& args,
                      const std::filesystem::path& console) {
  StartedTool tool;
  tool.console = console;
  tool.errors = console.string() + ".errors";
  std::vector<std::string> argvStrings = {TAMBERLO_EXE};
  argvStrings.insert(argvStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : argvStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, console.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, tool.errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  // The child starts in the scratch folder; this process stays where it is.
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, signal);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ) == 0) tool.pid = pid;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return tool;
}

ToolRun WaitForTool(const StartedTool& tool) {
  ToolRun run;
  if (tool.pid < 0) return run;
  int status = 0;
  struct rusage usage {};
  wait4(tool.pid, &status, 0, &usage);
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  run.peakRssKb = usage.ru_maxrss;  // kilobytes on Linux
  run.console = ReadFileText(tool.console);
  run.errors = ReadFileText(tool.errors);
  std::filesystem::remove(tool.console);
  std::filesystem::remove(tool.errors);
  return run;
}

ToolRun RunTool(const std::filesystem::path& dir, const std::vector<std::string>& args) {
  return WaitForTool(StartTool(dir, args, dir / ".console.txt"));
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
