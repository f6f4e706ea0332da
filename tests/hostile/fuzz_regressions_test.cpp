// Every input the fuzzer ever found a fault with lives in fuzz/regressions,
// in the fuzzer's own form (4 bytes little-endian model size, the model bytes,
// the strip bytes). They are replayed here in memory, the way the fuzzer runs
// the tool, so the normal test suite keeps them fixed.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "driver/model_load.h"
#include "driver/run_tool.h"

namespace fs = std::filesystem;

namespace {

// The output limit the fuzzer runs with (fuzz/fuzz_run.cpp).
constexpr uint64_t kFuzzOutputLimit = 8 << 20;
// A small picture and the counts: the scene walk and the renderer take the
// same hostile input as the writers.
constexpr OutputChoice kPreviewAndCounts{OutputFormat::Smd, 32};

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(FuzzRegressions, EveryFoundInputRunsToAnEnd) {
  const OutputFolder memory = InMemoryFolder();
  int replayed = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(TAMBERLO_FUZZ_REGRESSIONS)) {
    if (!entry.is_regular_file() || entry.path().filename().string().front() == '.') continue;
    const std::vector<uint8_t> input = ReadBytes(entry.path());
    if (input.size() < 4) continue;  // the fuzzer ignores these too
    uint32_t modelSize = static_cast<uint32_t>(input[0]) | (static_cast<uint32_t>(input[1]) << 8) |
                         (static_cast<uint32_t>(input[2]) << 16) | (static_cast<uint32_t>(input[3]) << 24);
    modelSize = std::min<uint32_t>(modelSize, static_cast<uint32_t>(input.size() - 4));
    const std::vector<uint8_t> model(input.begin() + 4, input.begin() + 4 + modelSize);
    const std::vector<uint8_t> strip(input.begin() + 4 + modelSize, input.end());

    LogChannel quiet{.toConsole = false, .toLogFile = false};
    OutputLimit limit{kFuzzOutputLimit};
    Destination to{&memory, MessageSink{&quiet, nullptr}, false, &limit};
    ModelCounts counts;
    const auto start = std::chrono::steady_clock::now();
    const int status = ConvertImages(model.data(), static_cast<int64_t>(model.size()), "fuzz.mdl", strip.data(),
                                     static_cast<int64_t>(strip.size()), "fuzz.dx80.vtx", to, Parallelism{},
                                     kPreviewAndCounts, &counts);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(status == 1 || status == 2) << entry.path();
    // The work is bounded by what the file backs; a generous limit that still
    // catches a return of the slow inputs, even in a sanitizer build.
    EXPECT_LT(seconds, 10.0) << entry.path();
    ++replayed;
  }
  EXPECT_GT(replayed, 0) << "no inputs in " << TAMBERLO_FUZZ_REGRESSIONS;
}

}  // namespace
