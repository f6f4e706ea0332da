// The command line of `tamberlo convert`, read the GNU way through the option
// table: -o DIR, -oDIR, --out DIR, --out=DIR, short flags joined (-qj2), and
// "--" before PATHs that start with '-'.
#pragma once

#include <string>

#include "driver/batch_options.h"

struct ConvertLine {
  BatchOptions options;  // paths as given; out "" when not given; jobs 0 when not given
  bool help = false;
  bool version = false;
};

// The arguments after "convert". False with `error` (one line, with a
// suggestion where one is close) for an unknown option, a value missing or
// breaking its rule, a value given to an option without one, an empty PATH,
// or no PATH at all (help and version need none).
bool ParseConvertLine(int argc, char** argv, ConvertLine& line, std::string& error);
