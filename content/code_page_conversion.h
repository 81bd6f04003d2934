#pragma once
// Detection and conversion of byte strings in terms of code page numbers.
#include <optional>
#include <string>

namespace vireo {

// Most likely code page of a NUL-terminated text, 0 when none is found. A text of plain 7-bit
// ASCII gives 20127.
int detectCodePage(const char* text);

// The NUL-terminated text converted from code page from to code page to. Bytes that are invalid
// in from become U+FFFD (when to is UTF-8) or '?', and the rest is still converted. Nothing when
// either code page has no converter; an empty text always gives an empty string.
std::optional<std::string> convertCodePage(const char* text, int from, int to);

}  // namespace vireo
