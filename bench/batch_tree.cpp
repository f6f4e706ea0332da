// Writes a folder tree of small models for timing batch runs.
//
//   batch_tree <folder> <count> [--frames N]
//
// Model i is <folder>/group<i / 10>/model<i>.mdl with its strip file: the
// bundled sample model in version 28 + i % 10 (all three families), its
// animations stretched to --frames frames (default: as bundled, 2 to 4
// frames), so every model is a complete small conversion. Larger models for a
// mixed tree come from bench_model.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

#include "tools/sample_model.h"

int main(int argc, char** argv) {
  if (argc != 3 && !(argc == 5 && std::strcmp(argv[3], "--frames") == 0)) {
    std::fprintf(stderr, "usage: batch_tree <folder> <count> [--frames N]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const int count = std::atoi(argv[2]);
  const int frames = argc == 5 ? std::atoi(argv[4]) : 0;
  try {
    for (int i = 0; i < count; ++i) {
      tb::ModelDescription model = SampleModel(28 + i % 10);
      if (frames > 0) {
        for (tb::AnimationDescription& animation : model.animations) animation.frameCount = frames;
      }
      std::string group = folder + "/group" + std::to_string(i / 10);
      std::filesystem::create_directories(group);
      tb::WriteModelFiles(tb::BuildModel(model), group, "model" + std::to_string(i));
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "batch_tree: %s\n", error.what());
    return 1;
  }
  return 0;
}
