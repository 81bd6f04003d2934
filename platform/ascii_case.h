#pragma once
// Case folding of the ASCII letters only: header names, charset names and month names are
// ASCII, and a byte of another code page must never be folded as if it were a letter.
#include <string_view>

namespace vireo {

constexpr char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

}  // namespace vireo
