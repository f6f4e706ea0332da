// The tool's entry: the command line, loading, version dispatch and the writers.
#pragma once

#include <cstdint>

#include "io/destination.h"

#include "io/work_pool.h"

// Exit statuses. 0 and 1 as the tool has always used them (1 is success);
// 2 when the run met damaged input or could not write an output; 64 for a
// command line that cannot be run.
constexpr int kExitNotLoaded = 0;
constexpr int kExitDone = 1;
constexpr int kExitDoneWithErrors = 2;
constexpr int kExitUsage = 64;

// The output limit without -max-output: 4 GiB.
constexpr uint64_t kDefaultOutputLimit = uint64_t{4} << 30;

int RunTamberlo(int argc, char** argv);

// Which files a conversion writes: the build script and SMD files, one .glb
// named after the model file, or both.
enum class OutputFormat { Smd, Gltf, All };
// "smd", "gltf" or "all" in any letter case; false for anything else.
bool ParseOutputFormat(const char* text, OutputFormat& format);

// What a conversion writes: the format, and preview.png when previewSize
// (its width and height) is not 0.
struct OutputChoice {
  OutputFormat format = OutputFormat::Smd;
  int previewSize = 0;
};
constexpr int kDefaultPreviewSize = 256;
constexpr char kPreviewFileName[] = "preview.png";

struct ModelCounts;

// One conversion after loading: math start-up (once per process), version
// dispatch and the writers, into `to` (and within its output limit). With a
// pool, the files are formatted by its workers as well as the calling
// thread. `counts`, when set, receives what the model holds (a supported
// version only).
int ConvertImages(const unsigned char* modelData, int64_t modelSize, const char* modelPath,
                  const unsigned char* stripData, int64_t stripSize, const char* stripPath, Destination& to,
                  const Parallelism& parallel, const OutputChoice& outputs = {}, ModelCounts* counts = nullptr);
