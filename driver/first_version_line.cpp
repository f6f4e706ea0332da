#include "driver/first_version_line.h"

#include <strings.h>

#include "driver/arguments.h"
#include "io/work_pool.h"

namespace {

size_t Index(Option id) { return static_cast<size_t>(id); }

// The option one argument names, nullptr for none.
const OptionSpec* NamedBy(const char* argument) {
  for (const OptionSpec& spec : Options()) {
    for (const char* name : spec.firstNames) {
      if (::strcasecmp(argument, name) == 0) return &spec;
    }
  }
  return nullptr;
}

}  // namespace

FirstVersionLine ReadFirstVersionLine(int argc, char** argv) {
  FirstVersionLine line;
  for (const OptionSpec& spec : Options()) {
    if (spec.firstNames.empty()) continue;
    if (spec.firstTakesValue) {
      line.values[Index(spec.id)] = FindArgument(argc, argv, spec.firstNames.front(), nullptr);
      continue;
    }
    for (const char* name : spec.firstNames) line.given[Index(spec.id)] |= HasOption(argc, argv, name);
  }
  return line;
}

bool AsksFor(int argc, char** argv, Option id) {
  for (int i = 1; i < argc; ++i) {
    const OptionSpec* spec = NamedBy(argv[i]);
    if (spec == nullptr) continue;
    if (spec->id == id) return true;
    if (spec->firstTakesValue) ++i;
  }
  return false;
}

std::vector<std::string> UnknownOptionLines(int argc, char** argv) {
  std::vector<std::string> names;
  for (const OptionSpec& spec : Options()) {
    for (const char* name : spec.firstNames) names.emplace_back(name);
  }
  std::vector<std::string> lines;
  for (int i = 1; i < argc; ++i) {
    const OptionSpec* spec = NamedBy(argv[i]);
    if (spec != nullptr) {
      if (spec->firstTakesValue) ++i;
      continue;
    }
    if (argv[i][0] != '-' || argv[i][1] == '\0') continue;
    std::string line = std::string("tamberlo: unknown option ignored: ") + argv[i];
    const std::string nearest = NearestName(argv[i], names);
    if (!nearest.empty()) line += " (did you mean " + nearest + "?)";
    lines.push_back(line);
  }
  return lines;
}

bool ApplyFirstVersionValues(const FirstVersionLine& line, std::initializer_list<Option> checked,
                             BatchOptions& options, std::string& error) {
  for (Option flag : {Option::Preview, Option::Quiet, Option::FollowLinks}) {
    if (line.given[Index(flag)]) OptionOf(flag).apply(nullptr, options);
  }
  if (line.values[Index(Option::Jobs)] == nullptr) options.jobs = AvailableProcessors();
  for (Option id : checked) {
    const char* value = line.values[Index(id)];
    const OptionSpec& spec = OptionOf(id);
    if (value != nullptr && !spec.apply(value, options)) {
      error = RuleError(spec.firstNames.front(), spec, value);
      return false;
    }
  }
  return true;
}
