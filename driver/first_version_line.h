// The first version's command lines, -file and -batch, read through the
// option table: every option is found anywhere by name in any letter case.
#pragma once

#include <array>
#include <initializer_list>
#include <string>
#include <vector>

#include "driver/option_table.h"

struct FirstVersionLine {
  // An option with a value: the argument after its first match (argument 0
  // compared too), "" when that match is the last argument; nullptr: absent.
  std::array<char*, kOptionCount> values{};  // into argv: -file's name is cut in place
  // An option without one: some argument after argument 0 is one of its names.
  std::array<bool, kOptionCount> given{};
};

FirstVersionLine ReadFirstVersionLine(int argc, char** argv);

// `id` (help or version) given as an option of its own, not as the value of
// an option that takes one.
bool AsksFor(int argc, char** argv, Option id);

// "tamberlo: unknown option ignored: -bogus" lines, one for each argument
// that starts with '-', is no option of either line and no option's value;
// with "(did you mean -out?)" where one is close.
std::vector<std::string> UnknownOptionLines(int argc, char** argv);

// Sets the flags given, then the values of `checked` in that order (the
// processors available for a -jobs not given). False with `error` at the
// first value that breaks its rule.
bool ApplyFirstVersionValues(const FirstVersionLine& line, std::initializer_list<Option> checked,
                             BatchOptions& options, std::string& error);
