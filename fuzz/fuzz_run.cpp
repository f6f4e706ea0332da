// Runs the whole tool on a (model, strip) pair taken from the fuzz input:
// 4 bytes little-endian model size, the model bytes, the strip bytes. Output
// files are formatted into memory and discarded; messages go nowhere.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "driver/log.h"
#include "driver/run_status.h"
#include "driver/run_tool.h"
#include "driver/text_output.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool configured = [] {
    SetOutputToMemory(true);
    SetLogTargets(LogTargets{false, false});
    return true;
  }();
  (void)configured;
  if (size < 4) return 0;
  uint32_t modelSize = static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
                       (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24);
  size_t rest = size - 4;
  if (modelSize > rest) modelSize = static_cast<uint32_t>(rest);
  // Copies, so that the sanitizer sees the exact bounds of each image.
  std::vector<uint8_t> model(data + 4, data + 4 + modelSize);
  std::vector<uint8_t> strip(data + 4 + modelSize, data + size);
  ResetRunStatus();
  RunOnImages(model.data(), static_cast<int64_t>(model.size()), "fuzz.mdl", strip.data(),
              static_cast<int64_t>(strip.size()), "fuzz.dx80.vtx");
  return 0;
}
