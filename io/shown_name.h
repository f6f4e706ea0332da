// Names shown in messages: a name from a model file or from the file system
// may hold any byte but zero, and a line feed, an escape or a quote in it must
// not end a message line or steer the terminal that shows it.
#pragma once

#include <string>
#include <string_view>

// The bytes below 0x20 (line feed, tab, escape, ...), 0x7F and the quote '"'.
inline bool IsUnsafeNameByte(unsigned char c) { return c < 0x20 || c == 0x7F || c == '"'; }
bool HasUnsafeNameBytes(std::string_view name);

// The name as messages show it: each unsafe byte as "\xNN" (two upper case
// hex digits), every other byte as it is.
std::string ShownName(std::string_view name);

// A whole line of text that may hold names among its words: each byte below
// 0x20 and 0x7F as "\xNN", quotes kept. For text whose names could not be
// shown one by one where the line was made.
std::string ShownLine(std::string_view text);
