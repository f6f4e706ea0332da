#include "driver/arguments.h"

#include <cstdint>

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

int ArgumentAsInt(int argc, char** argv, const char* name, int fallback) {
  const char* text = FindArgument(argc, argv, name, nullptr);
  if (text == nullptr) return fallback;
  while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r' || *text == '\f' || *text == '\v') ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  int64_t value = 0;
  // Saturates instead of overflowing on absurdly long digit runs.
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > INT32_MAX) value = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  if (value < INT32_MIN) value = INT32_MIN;
  return static_cast<int>(value);
}
