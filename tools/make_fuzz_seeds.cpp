// Writes the fuzzer's seed corpus into a folder: builder models of every
// family, each as one input (4-byte model size, model bytes, strip bytes).
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "tools/sample_model.h"

namespace {

void WriteSeed(const std::filesystem::path& folder, const std::string& name, const tb::BuiltModel& built) {
  const std::vector<uint8_t>& model = built.model.bytes;
  const std::vector<uint8_t>& strip = built.strip.bytes;
  std::vector<uint8_t> input(4 + model.size() + strip.size());
  uint32_t size = static_cast<uint32_t>(model.size());
  for (int i = 0; i < 4; ++i) input[i] = static_cast<uint8_t>(size >> (8 * i));
  std::copy(model.begin(), model.end(), input.begin() + 4);
  std::copy(strip.begin(), strip.end(), input.begin() + 4 + static_cast<std::ptrdiff_t>(model.size()));
  tb::WriteFileBytes((folder / name).string(), input);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds <folder>\n");
    return 2;
  }
  try {
    std::filesystem::path folder(argv[1]);
    std::filesystem::create_directories(folder);
    for (int32_t version : {28, 30, 31, 36, 37}) {
      std::string v = std::to_string(version);
      WriteSeed(folder, "sample-" + v, tb::BuildModel(SampleModel(version)));
      WriteSeed(folder, "box-" + v, tb::BuildModel(tb::BoxModel(version)));
      tb::BuildOptions odd = tb::GarbageEverywhere(static_cast<uint32_t>(version));
      odd.oddBlocks = {"*"};
      odd.beforeBase = {"*"};
      WriteSeed(folder, "sample-odd-" + v, tb::BuildModel(SampleModel(version), odd));
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "make_fuzz_seeds: %s\n", error.what());
    return 1;
  }
  return 0;
}
