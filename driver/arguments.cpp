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

bool ParseByteSize(const char* text, uint64_t& bytes) {
  uint64_t value = 0;
  const char* p = text;
  if (*p < '0' || *p > '9') return false;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (__builtin_mul_overflow(value, 10u, &value) || __builtin_add_overflow(value, unsigned(*p - '0'), &value))
      return false;
  }
  int shift = 0;
  switch (*p) {
    case '\0':
      break;
    case 'K': case 'k': shift = 10; break;
    case 'M': case 'm': shift = 20; break;
    case 'G': case 'g': shift = 30; break;
    default: return false;
  }
  if (*p != '\0' && p[1] != '\0') return false;
  if (shift != 0 && value > (UINT64_MAX >> shift)) return false;
  bytes = value << shift;
  return true;
}

namespace {

// A whole number from `low` (at least 1) to `high`; 0 for anything else.
int WholeNumberIn(const char* text, long low, long high) {
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < low || value > high) return 0;
  return static_cast<int>(value);
}

}  // namespace

int ParseJobs(const char* text) { return WholeNumberIn(text, 1, 1024); }

bool HasOption(int argc, char** argv, const char* name) {
  for (int i = 1; i < argc; ++i) {
    if (EqualIgnoringAsciiCase(argv[i], name)) return true;
  }
  return false;
}

int ParsePreviewSize(const char* text) { return WholeNumberIn(text, 16, 4096); }
