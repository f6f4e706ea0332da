#include "driver/batch_options.h"

#include <strings.h>

#include "driver/arguments.h"
#include "io/work_pool.h"

bool IsBatchCommand(int argc, char** argv) { return HasOption(argc, argv, "-batch"); }

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
  if (FindArgument(argc, argv, "-file", nullptr) != nullptr) {
    error = "-batch and -file cannot be used together";
    return false;
  }
  const char* out = FindArgument(argc, argv, "-out", nullptr);
  if (out == nullptr || out[0] == '\0') {
    error = "-batch needs -out DIR";
    return false;
  }
  options.out = out;
  const char* jobsText = FindArgument(argc, argv, "-jobs", nullptr);
  options.jobs = jobsText == nullptr ? AvailableProcessors() : ParseJobs(jobsText);
  if (options.jobs == 0) {
    error = std::string("-jobs takes a whole number from 1 to 1024, not \"") + jobsText + "\"";
    return false;
  }
  const char* formatText = FindArgument(argc, argv, "-format", nullptr);
  if (formatText != nullptr && !ParseOutputFormat(formatText, options.format)) {
    error = std::string("-format takes smd, gltf or all, not \"") + formatText + "\"";
    return false;
  }
  const char* limitText = FindArgument(argc, argv, "-max-output", nullptr);
  if (limitText != nullptr && !ParseByteSize(limitText, options.maxOutput)) {
    error = std::string("-max-output takes a size in bytes with an optional K, M or G (0: no limit), not \"") +
            limitText + "\"";
    return false;
  }
  if (HasOption(argc, argv, "-preview")) options.previewSize = kDefaultPreviewSize;
  const char* previewSizeText = FindArgument(argc, argv, "-preview-size", nullptr);
  if (previewSizeText != nullptr && (options.previewSize = ParsePreviewSize(previewSizeText)) == 0) {
    error = std::string("-preview-size takes a whole number from 16 to 4096, not \"") + previewSizeText + "\"";
    return false;
  }
  options.quiet = HasOption(argc, argv, "-quiet");
  options.followLinks = HasOption(argc, argv, "-follow-links");
  return true;
}
