// Command-line option lookup.
#pragma once

#include <cstdint>

// The argument after the first argument equal to `name` without regard to
// ASCII case (argument 0, the program path, included); "" when the match is the
// last argument; `fallback` (may be nullptr) when nothing matches.
char* FindArgument(int argc, char** argv, const char* name, char* fallback);

// A size in bytes: a whole number, optionally followed by K, M or G (either
// case; powers of 1024). False for anything else, or a size above 2^64 - 1.
bool ParseByteSize(const char* text, uint64_t& bytes);

// "-jobs N": a whole number from 1 to 1024; 0 when the text is anything else.
int ParseJobs(const char* text);
// True when one argument (argument 0 aside) is `name` in any letter case.
bool HasOption(int argc, char** argv, const char* name);
// "-preview-size N": a whole number from 16 to 4096; 0 when the text is anything else.
int ParsePreviewSize(const char* text);
