#pragma once
// The value of a hexadecimal digit: Wine's .reg files, quoted-printable text and URL escapes all
// write bytes as two of them.

namespace vireo {

// 0..15 for 0-9, a-f and A-F; -1 for anything else.
constexpr int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace vireo
