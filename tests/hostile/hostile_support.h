// Running the real tool on damaged model files and checking what it left.
//
// Every run happens in a work folder that is the only entry of an otherwise
// empty parent folder; after the run the parent must still hold nothing else,
// so a file written through "..", an absolute name or a link shows up. The
// input files lie in a sub-folder "in" of the work folder; everything else in
// the work folder except "streams.log" counts as output.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "builder/model_builder.h"
#include "tests/tool_runner/tool_runner.h"

struct HostileRun {
  int status = -1;  // -1: the process did not exit normally (a signal)
  std::string console;
  // Output files by path relative to the work folder; dec.qc without its
  // first line, which names the (changing) work folder.
  std::map<std::string, std::string> outputs;
  // Entries that must not exist: anything in the parent beside the work
  // folder, and temporary files left in the work folder tree.
  std::vector<std::string> strays;
  long peakRssKb = -1;  // the tool's peak resident memory
};

// The parent folder and the work folder inside it, removed with the parent.
struct HostileFolders {
  ScratchDir parent;
  std::filesystem::path work;
  HostileFolders();
};

// Runs the tool in folders.work on the two images, as "-file in/m" and then
// `extraArgs`. A non-zero fileSizeLimit is the largest file (in bytes) the
// tool may write.
HostileRun RunToolIn(const HostileFolders& folders, const std::vector<uint8_t>& model,
                     const std::vector<uint8_t>& strip, uint64_t fileSizeLimit = 0,
                     const std::vector<std::string>& extraArgs = {});
// The same in fresh folders.
HostileRun RunToolOnImages(const std::vector<uint8_t>& model, const std::vector<uint8_t>& strip,
                           const std::vector<std::string>& extraArgs = {});
inline HostileRun RunOnBuilt(const tb::BuiltModel& built, const std::vector<std::string>& extraArgs = {}) {
  return RunToolOnImages(built.model.bytes, built.strip.bytes, extraArgs);
}

// The temporary files (".tamberlo-*") below a folder, as relative paths.
std::vector<std::string> TemporaryFilesIn(const std::filesystem::path& folder);

// The console lines that start with "Bad data: ".
std::vector<std::string> BadDataLines(const std::string& console);

// The names of a run's outputs.
std::set<std::string> OutputNames(const HostileRun& run);

// Appends bytes to the end of an image and returns where they start.
size_t AppendBytes(std::vector<uint8_t>& image, const std::string& bytes);

// The checks that hold for every damaged run: the process ended by itself
// with status 2, a "Bad data" line contains `item` (when not empty), nothing
// lies outside the work folder, no temporary file is left, and every output
// that was written equals the intact run's file of the same name (a damaged
// file is never left looking complete).
void ExpectHandledDamage(const HostileRun& run, const HostileRun& intact, const std::string& item,
                         const std::string& what);
// Nothing outside the work folder, no temporary file left, no signal.
void ExpectContained(const HostileRun& run, const std::string& what);
