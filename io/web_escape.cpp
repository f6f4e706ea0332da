#include "io/web_escape.h"

#include <cstdint>

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence at the start of `text` and its
// code point; 0 and the length of the longest valid start (at least 1) when
// it is not one.
size_t DecodeUtf8(std::string_view text, uint32_t& codePoint, size_t& badLength) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(0);
  badLength = 1;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  for (size_t i = 1; i < length; ++i) {
    if (i >= text.size()) return 0;
    unsigned char c = byte(i);
    if (i == 1 ? (c < low || c > high) : !IsContinuation(c)) return 0;
    codePoint = (codePoint << 6) | (c & 0x3F);
    badLength = i + 1;
  }
  return length;
}

bool AllowedInHtml(uint32_t c) {
  if (c < 0x20) return c == '\t' || c == '\n' || c == '\f' || c == '\r';
  if (c >= 0x7F && c <= 0x9F) return false;
  if (c >= 0xFDD0 && c <= 0xFDEF) return false;
  return (c & 0xFFFE) != 0xFFFE;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    uint32_t codePoint = 0;
    size_t badLength = 1;
    const size_t length = DecodeUtf8(text.substr(i), codePoint, badLength);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

void AppendHtmlText(std::string& out, std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    uint32_t codePoint = 0;
    size_t badLength = 1;
    size_t length = DecodeUtf8(text.substr(i), codePoint, badLength);
    if (length == 0 || !AllowedInHtml(codePoint)) {
      out += kReplacement;
      i += length == 0 ? badLength : length;
      continue;
    }
    switch (codePoint) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out.append(text.substr(i, length));
    }
    i += length;
  }
}

void AppendUrlPath(std::string& out, std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char ch : path) {
    unsigned char c = static_cast<unsigned char>(ch);
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                 c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
}
