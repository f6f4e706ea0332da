// Running the real executable in a scratch folder.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

struct ToolRun {
  int status = -1;      // exit status, -1 when the process did not exit normally
  std::string console;  // standard output
  std::string errors;   // standard error
  long peakRssKb = -1;  // the process's peak resident memory
};

// A fresh empty folder under the system temp folder, removed by the destructor.
struct ScratchDir {
  std::filesystem::path path;
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
};

// Runs the tool with `args` (each passed as one argument) inside `dir`.
ToolRun RunTool(const std::filesystem::path& dir, const std::vector<std::string>& args);

// A tool process that runs while the test goes on. Its standard output goes to
// `console` and its standard error to `console` + ".errors"; SIGINT, SIGTERM
// and SIGHUP have their default action in it, whatever the test process was
// started with.
struct StartedTool {
  pid_t pid = -1;
  std::filesystem::path console;
  std::filesystem::path errors;
};
StartedTool StartTool(const std::filesystem::path& dir, const std::vector<std::string>& args,
                      const std::filesystem::path& console);
// Waits for it to end; what it printed is read and the files removed.
ToolRun WaitForTool(const StartedTool& tool);

// The tool's executable.
const char* ToolPath();

std::string ReadFileText(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);
