// The one channel for messages: each goes to standard output unchanged and is
// appended to "streams.log" in the current directory.
#pragma once

// Formats into a 2048-byte buffer (printf rules for %s %d %c %%, the tool's own
// float formatting for %f and %.Nf); a longer message is cut at 2047 bytes.
// "streams.log" is opened in binary append mode and closed again for every
// message; when it cannot be opened the console line still appears.
void LogMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Writes text to standard output unchanged (no code-page conversion here);
// returns 1.
int PrintConsole(const char* text);
// Logs "Use: Tamberlo.exe -file <Model Name>\n"; returns 1.
int PrintUsage();

// For the fuzzer and in-process tests: where messages go.
struct LogTargets {
  bool console = true;
  bool logFile = true;
};
void SetLogTargets(LogTargets targets);
