#include "driver/first_version_line.h"

#include <strings.h>

#include "driver/arguments.h"
#include "io/work_pool.h"

namespace {

size_t Index(Option id) { return static_cast<size_t>(id); }

// The option one argument names, nullptr for none.
const OptionRow* NamedBy(const char* argument) {
  for (const OptionRow& row : Options()) {
    for (const char* name : row.firstNames) {
      if (::strcasecmp(argument, name) == 0) return &row;
    }
  }
  return nullptr;
}

}  // namespace

FirstVersionLine ReadFirstVersionLine(int argc, char** argv) {
  FirstVersionLine line;
  for (const OptionRow& row : Options()) {
    if (row.firstNames.empty()) continue;
    if (row.firstTakesValue) {
      line.values[Index(row.id)] = FindArgument(argc, argv, row.firstNames.front(), nullptr);
      continue;
    }
    for (const char* name : row.firstNames) line.given[Index(row.id)] |= HasOption(argc, argv, name);
  }
  return line;
}

bool AsksFor(int argc, char** argv, Option id) {
  for (int i = 1; i < argc; ++i) {
    const OptionRow* row = NamedBy(argv[i]);
    if (row == nullptr) continue;
    if (row->id == id) return true;
    if (row->firstTakesValue) ++i;
  }
  return false;
}

std::vector<std::string> UnknownOptionLines(int argc, char** argv) {
  std::vector<std::string> names;
  for (const OptionRow& row : Options()) {
    for (const char* name : row.firstNames) names.emplace_back(name);
  }
  std::vector<std::string> lines;
  for (int i = 1; i < argc; ++i) {
    const OptionRow* row = NamedBy(argv[i]);
    if (row != nullptr) {
      if (row->firstTakesValue) ++i;
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
    const OptionRow& row = OptionOf(id);
    if (value != nullptr && !row.apply(value, options)) {
      error = RuleError(row.firstNames.front(), row, value);
      return false;
    }
  }
  return true;
}
