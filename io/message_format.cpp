#include "io/message_format.h"

#include <cstdint>
#include <cstring>

#include "io/float_format.h"

namespace {

struct Sink {
  char* buffer;
  size_t size;
  size_t used;
  void Put(const char* text, size_t length) {
    size_t room = size - 1 - used;
    if (length > room) length = room;
    std::memcpy(buffer + used, text, length);
    used += length;
  }
  void Pad(int width, size_t length) {
    for (size_t i = length; static_cast<int>(i) < width; ++i) Put(" ", 1);
  }
};

}  // namespace

size_t FormatMessage(char* buffer, size_t size, const char* format, va_list args) {
  if (size == 0) return 0;
  Sink sink{buffer, size, 0};
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') {
      sink.Put(p, 1);
      continue;
    }
    ++p;
    bool leftAlign = false;
    while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') {
      if (*p == '-') leftAlign = true;
      ++p;
    }
    int width = 0;
    while (*p >= '0' && *p <= '9') width = width * 10 + (*p++ - '0');
    int precision = -1;
    if (*p == '.') {
      ++p;
      precision = 0;
      while (*p >= '0' && *p <= '9') precision = precision * 10 + (*p++ - '0');
    }
    int longs = 0;
    while (*p == 'l') {
      ++longs;
      ++p;
    }
    char number[64];
    const char* text = number;
    size_t length = 0;
    switch (*p) {
      case 's': {
        text = va_arg(args, const char*);
        if (text == nullptr) text = "(null)";
        length = std::strlen(text);
        if (precision >= 0 && static_cast<size_t>(precision) < length) length = static_cast<size_t>(precision);
        break;
      }
      case 'd':
      case 'i':
      case 'u': {
        int64_t value;
        if (*p == 'u') {
          value = longs == 0 ? static_cast<int64_t>(va_arg(args, unsigned)) : static_cast<int64_t>(va_arg(args, unsigned long));
        } else {
          value = longs == 0 ? va_arg(args, int) : static_cast<int64_t>(va_arg(args, long));
        }
        length = FormatInteger(number, value);
        break;
      }
      case 'c':
        number[0] = static_cast<char>(va_arg(args, int));
        length = 1;
        break;
      case 'f':
        length = FormatFloat(number, static_cast<float>(va_arg(args, double)), precision < 0 ? 6 : precision);
        break;
      case '%':
        number[0] = '%';
        length = 1;
        break;
      default:  // unknown conversion: written as it stands
        if (*p == '\0') return sink.buffer[sink.used] = '\0', sink.used;
        number[0] = '%';
        number[1] = *p;
        length = 2;
        break;
    }
    if (!leftAlign) sink.Pad(width, length);
    sink.Put(text, length);
    if (leftAlign) sink.Pad(width, length);
  }
  sink.buffer[sink.used] = '\0';
  return sink.used;
}
