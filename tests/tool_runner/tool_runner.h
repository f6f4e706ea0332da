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

// The same, without waiting: the process id, or -1 when it could not start.
// FinishTool waits for it and collects what it printed.
pid_t StartTool(const std::filesystem::path& dir, const std::vector<std::string>& args);
ToolRun FinishTool(const std::filesystem::path& dir, pid_t pid);

// The tool's executable.
const char* ToolPath();

std::string ReadFileText(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);
