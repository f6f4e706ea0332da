#include "driver/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "driver/message_format.h"

namespace {
LogTargets gTargets;
constexpr size_t kMessageBufferSize = 2048;
}  // namespace

void SetLogTargets(LogTargets targets) { gTargets = targets; }

int PrintConsole(const char* text) {
  // The console takes the bytes unchanged: no code-page conversion on this platform.
  if (gTargets.console) {
    std::fputs(text, stdout);
    std::fflush(stdout);
  }
  return 1;
}

void LogMessage(const char* format, ...) {
  char buffer[kMessageBufferSize] = {};
  va_list args;
  va_start(args, format);
  size_t length = FormatMessage(buffer, sizeof buffer, format, args);
  va_end(args);
  PrintConsole(buffer);
  if (!gTargets.logFile) return;
  // Opened and closed per message, so every line is on disk when the call
  // returns. A log that cannot be opened loses the line; the console has it.
  std::FILE* log = std::fopen("streams.log", "ab");
  if (log == nullptr) return;
  std::fwrite(buffer, 1, length, log);
  std::fclose(log);
}

int PrintUsage() {
  LogMessage("Use: Tamberlo.exe -file <Model Name>\n");
  return 1;
}
