#include "io/names.h"

#include <cstring>

void NormalizeSlashes(char* text) {
  for (; *text != '\0'; ++text)
    if (*text == '\\') *text = '/';
}

void StripExtension(char* text) {
  NormalizeSlashes(text);
  size_t length = std::strlen(text);
  if (length < 2) return;
  // The dot test at i comes before the slash test of i - 1, so a dot right
  // after a slash is still cut; index 0 is never taken as the dot.
  for (size_t i = length - 1; i >= 1; --i) {
    if (text[i] == '.') {
      text[i] = '\0';
      return;
    }
    if (text[i - 1] == '/') return;
  }
}
