#pragma once
#include <string>
#include <string_view>

namespace vireo::cli {

// Appends text as a JSON string literal. Bytes that are not valid UTF-8 (a field whose charset
// could not be told) become U+FFFD, so the output is always valid JSON.
void appendJsonString(std::string& out, std::string_view text);

// Appends the text with every control character (tabs and line breaks included) replaced by a
// space, so that one record stays on one line.
void appendOneLine(std::string& out, std::string_view text);

}  // namespace vireo::cli
