// Command-line option lookup.
#pragma once

// The argument after the first argument equal to `name` without regard to
// ASCII case (argument 0, the program path, included); "" when the match is the
// last argument; `fallback` (may be nullptr) when nothing matches.
char* FindArgument(int argc, char** argv, const char* name, char* fallback);

// "-jobs N": a whole number from 1 to 1024; 0 when the text is anything else.
int ParseJobs(const char* text);
