// Runs the whole tool on a (model, strip) pair taken from the fuzz input:
// 4 bytes little-endian model size, the model bytes, the strip bytes. Output
// files are formatted into memory and discarded; messages go nowhere.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "driver/model_load.h"
#include "driver/run_tool.h"

namespace {

// A small input may rightly ask for a long animation (a line per bone and
// frame, any number of frames); the run's output limit ends it, as it does in
// the tool, and this one keeps a fuzzing run fast. tests/hostile replays the
// regressions with the same limit.
constexpr uint64_t kFuzzOutputLimit = 8 << 20;
// A small picture and the counts: the scene walk and the renderer take the
// same hostile input as the writers.
constexpr OutputChoice kPreviewAndCounts{OutputFormat::Smd, 32};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const OutputFolder memory = InMemoryFolder();
  if (size < 4) return 0;
  uint32_t modelSize = static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
                       (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24);
  size_t rest = size - 4;
  if (modelSize > rest) modelSize = static_cast<uint32_t>(rest);
  // Copies, so that the sanitizer sees the exact bounds of each image.
  std::vector<uint8_t> model(data + 4, data + 4 + modelSize);
  std::vector<uint8_t> strip(data + 4 + modelSize, data + size);
  LogChannel quiet{.toConsole = false, .toLogFile = false};
  OutputLimit limit{kFuzzOutputLimit};
  Destination to{&memory, MessageSink{&quiet, nullptr}, false, &limit};
  ModelCounts counts;
  ConvertImages(model.data(), static_cast<int64_t>(model.size()), "fuzz.mdl", strip.data(),
                static_cast<int64_t>(strip.size()), "fuzz.dx80.vtx", to, Parallelism{},
                kPreviewAndCounts, &counts);
  return 0;
}
