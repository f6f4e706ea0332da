// The tool's options, in one table: the first version's command lines
// (-file, -batch), the convert command and every help text read it.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "driver/batch_options.h"

enum class Option { File, Batch, Out, Jobs, MaxOutput, Format, Preview, PreviewSize, Quiet, FollowLinks, Help, Version };
constexpr int kOptionCount = static_cast<int>(Option::Version) + 1;

// Which of the first version's command lines use an option.
constexpr unsigned kFileLine = 1;
constexpr unsigned kBatchLine = 2;

// How convert takes an option's value: none, always (--out DIR, --out=DIR,
// -o DIR, -oDIR), or only joined to its name (--preview=SIZE).
enum class ValueUse { None, Required, Joined };

struct OptionRow {
  Option id;
  // The first version's spellings, matched in any letter case; the first is
  // the one help shows. Empty: convert's own.
  std::vector<const char*> firstNames;
  unsigned lines;             // kFileLine | kBatchLine; 0: convert's own
  bool firstTakesValue;       // the first version reads the next argument as its value
  const char* longName;       // "out" for --out; nullptr: not an option of convert
  char shortName;             // 'o' for -o; 0: none
  ValueUse convertValue;
  const char* valueName;      // "DIR" in help
  const char* rule;           // what a value must be: "<name> takes <rule>, not "<value>""
  // Sets the value into `options`; `value` is nullptr where the option is
  // given without one. False for a value that breaks the rule.
  bool (*apply)(const char* value, BatchOptions& options);
  const char* summary;        // the help screen: one line, at most 53 characters
  const char* details;        // convert's full help
  const char* defaultText;    // shown as "(default: ...)"; nullptr: none
  const char* firstHelp;      // the first version's help; nullptr: not shown there
};

std::span<const OptionRow> Options();
const OptionRow& OptionOf(Option id);

// "<name> takes <rule>, not "<value>"".
std::string RuleError(std::string_view name, const OptionRow& row, std::string_view value);

// Of `candidates`, the one `given` most likely misspells ("--outt", "--output"
// and "-out" give "--out"); "" when none is close.
std::string NearestName(std::string_view given, const std::vector<std::string>& candidates);
