#include "io/shown_name.h"

#include <algorithm>

namespace {

std::string Escaped(std::string_view text, bool (*unsafe)(unsigned char)) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string shown;
  shown.reserve(text.size());
  for (char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (!unsafe(byte)) {
      shown += c;
      continue;
    }
    shown += "\\x";
    shown += kHex[byte >> 4];
    shown += kHex[byte & 15];
  }
  return shown;
}

bool IsControlByte(unsigned char c) { return c < 0x20 || c == 0x7F; }

}  // namespace

bool HasUnsafeNameBytes(std::string_view name) {
  return std::any_of(name.begin(), name.end(), [](char c) { return IsUnsafeNameByte(static_cast<unsigned char>(c)); });
}

std::string ShownName(std::string_view name) { return Escaped(name, IsUnsafeNameByte); }

std::string ShownLine(std::string_view text) { return Escaped(text, IsControlByte); }
