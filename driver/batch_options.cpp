#include "driver/batch_options.h"

#include <strings.h>

#include "driver/first_version_line.h"

bool IsBatchCommand(int argc, char** argv) {
  return ReadFirstVersionLine(argc, argv).given[static_cast<size_t>(Option::Batch)];
}

bool ParseBatchOptions(int argc, char** argv, BatchOptions& options, std::string& error) {
  options = BatchOptions();
  int first = 1;
  while (first < argc && ::strcasecmp(argv[first], "-batch") != 0) ++first;
  for (int i = first + 1; i < argc && argv[i][0] != '-'; ++i) {
    if (argv[i][0] == '\0') {
      error = "-batch takes no empty PATH";
      return false;
    }
    options.paths.push_back(argv[i]);
  }
  if (options.paths.empty()) {
    error = "-batch needs at least one PATH (a model or a folder)";
    return false;
  }
  const FirstVersionLine line = ReadFirstVersionLine(argc, argv);
  if (line.values[static_cast<size_t>(Option::File)] != nullptr) {
    error = "-batch and -file cannot be used together";
    return false;
  }
  const char* out = line.values[static_cast<size_t>(Option::Out)];
  if (out == nullptr || out[0] == '\0') {
    error = "-batch needs -out DIR";
    return false;
  }
  options.out = out;
  return ApplyFirstVersionValues(line, {Option::Jobs, Option::Format, Option::MaxOutput, Option::PreviewSize},
                                 options, error);
}
