// The folder a conversion writes into, held as an open directory descriptor:
// every output file and "streams.log" is created below it, never through a
// link, whatever the current folder is or becomes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Told of every output file committed into a folder: its name as asked for,
// its size, and 0 or the errno that kept it from being written whole. Called
// by the thread that commits the file, which for one conversion is always the
// thread that walks it, so the hook needs no lock of its own.
using CommitHook = std::function<void(std::string_view name, uint64_t bytes, int error)>;

struct OutputFolder {
  int fd = -1;
  // Sub-folders that output names ask for are created (with -out); otherwise
  // they must exist.
  bool createSubfolders = false;
  // Nothing is created: every file is formatted and discarded (the fuzzer).
  bool inMemory = false;
  std::string absolutePath;  // for "$cd"; "." when it could not be found or cannot be written (CdPath)
  const CommitHook* onCommit = nullptr;  // optional
};

// `absolute` as "$cd" may carry it inside its quotes: "." (the folder a build
// run from beside the script is in) when it holds a byte no output may carry
// (io/shown_name.h: a line feed or a quote would end the line or the quotes).
std::string CdPath(std::string absolute);

// The current folder. False when it cannot be opened.
bool OpenCurrentFolder(OutputFolder& folder);
// `path`, created with its missing parents. False with `error` ("<path>:
// <reason>", the path as io/shown_name.h shows it) when it cannot be created
// or opened.
bool OpenNamedFolder(OutputFolder& folder, const std::string& path, std::string& error);
// A folder that takes no files: everything is formatted into memory.
OutputFolder InMemoryFolder();
void CloseOutputFolder(OutputFolder& folder);
