#include "driver/arguments.h"

#include <cstdlib>

namespace {

bool EqualIgnoringAsciiCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    char ca = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
    char cb = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
    if (ca != cb) return false;
    if (ca == '\0') return true;
  }
}

char gEmpty[1] = {'\0'};

}  // namespace

char* FindArgument(int argc, char** argv, const char* name, char* fallback) {
  for (int i = 0; i < argc; ++i) {
    if (EqualIgnoringAsciiCase(argv[i], name)) return i + 1 < argc ? argv[i + 1] : gEmpty;
  }
  return fallback;
}

int ParseJobs(const char* text) {
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > 1024) return 0;
  return static_cast<int>(value);
}
