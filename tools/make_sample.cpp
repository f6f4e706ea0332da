// Writes the bundled sample model: make_sample <folder> creates the folder and
// writes sample.mdl and sample.dx80.vtx into it.
#include <cstdio>
#include <exception>
#include <filesystem>

#include "tools/sample_model.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sample <folder>\n");
    return 2;
  }
  try {
    std::filesystem::create_directories(argv[1]);
    std::string base = tb::WriteModelFiles(tb::BuildModel(SampleModel()), argv[1], "sample");
    std::printf("wrote %s.mdl and %s.dx80.vtx\n", base.c_str(), base.c_str());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "make_sample: %s\n", error.what());
    return 1;
  }
  return 0;
}
