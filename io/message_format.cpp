#include "io/message_format.h"

#include <cstdint>
#include <cstring>

#include "io/float_format.h"

namespace {

struct Sink {
  char* buffer;
  size_t size;
  size_t used;
  bool cut = false;
  char last = 0;  // of the whole output, cut or not
  void Put(const char* text, size_t length) {
    if (length == 0) return;
    last = text[length - 1];
    size_t room = size - 1 - used;
    if (length > room) {
      length = room;
      cut = true;
    }
    std::memcpy(buffer + used, text, length);
    used += length;
  }
  void Pad(int width, size_t length) {
    for (size_t i = length; static_cast<int>(i) < width; ++i) Put(" ", 1);
  }
};

}  // namespace

size_t FormatMessage(char* buffer, size_t size, const char* format, va_list args, int* cut) {
  if (size == 0) return 0;
  Sink sink{buffer, size, 0};
  const auto finish = [&sink, cut] {
    sink.buffer[sink.used] = '\0';
    if (sink.cut && cut != nullptr) *cut = static_cast<unsigned char>(sink.last);
    return sink.used;
  };
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
        if (*p == '\0') return finish();
        number[0] = '%';
        number[1] = *p;
        length = 2;
        break;
    }
    if (!leftAlign) sink.Pad(width, length);
    sink.Put(text, length);
    if (leftAlign) sink.Pad(width, length);
  }
  return finish();
}
