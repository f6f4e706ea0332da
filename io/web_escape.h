// Text and file names made safe for an HTML page: names from model files and
// file systems may hold any byte, the page must stay valid UTF-8 HTML.
#pragma once

#include <string>
#include <string_view>

// Appends `text` as HTML text or a quoted attribute value: & < > " ' become
// character references; bytes that are not UTF-8, and the code points HTML
// does not allow in a page (controls other than tab, line feed, form feed and
// carriage return; noncharacters), become U+FFFD, one per bad sequence.
void AppendHtmlText(std::string& out, std::string_view text);

// True when `text` is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// Appends the relative path `path` ('/' between its names) as a URL path:
// every byte other than A-Z a-z 0-9 - . _ ~ and '/' becomes %XX, so the result
// needs no quotes as an attribute value and no name reads as a scheme, a
// query or a fragment.
void AppendUrlPath(std::string& out, std::string_view path);
