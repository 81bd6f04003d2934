#include "content/b_q_decoders.h"

#include <array>
#include <cstdint>

#include "platform/hex_digit.h"

namespace vireo {
namespace {

// Built at compile time: nothing to race over when several threads decode.
constexpr std::array<uint8_t, 256> makeBTable() {
  std::array<uint8_t, 256> table{};
  constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<uint8_t>(i);
  return table;
}
constexpr std::array<uint8_t, 256> kBTable = makeBTable();

uint32_t bValue(const char* text, int index) {
  return kBTable[static_cast<unsigned char>(text[index])];
}

}  // namespace

int bTextCapacity(int length) { return length < 0 ? 0 : (length + 3) / 4 * 3; }
int qTextCapacity(int length) { return length < 0 ? 0 : length; }

int decodeBText(const char* text, int length, char* out, int& count) {
  while (length > 0 && text[length - 1] == '=') --length;
  if (length <= 0 || count < bTextCapacity(length)) return count = -1;

  const int fullGroups = length / 4;
  int written = 0;
  for (int group = 0; group < fullGroups; ++group) {
    const int i = group * 4;
    const uint32_t v = bValue(text, i) << 18 | bValue(text, i + 1) << 12 |
                       bValue(text, i + 2) << 6 | bValue(text, i + 3);
    out[written++] = static_cast<char>(v >> 16 & 0xFF);
    out[written++] = static_cast<char>(v >> 8 & 0xFF);
    out[written++] = static_cast<char>(v & 0xFF);
  }
  // A single leftover character holds only 6 bits, less than a byte: it yields nothing.
  const int rest = length % 4;
  if (rest >= 2) {
    const int i = fullGroups * 4;
    uint32_t v = bValue(text, i) << 18 | bValue(text, i + 1) << 12;
    if (rest == 3) v |= bValue(text, i + 2) << 6;
    out[written++] = static_cast<char>(v >> 16 & 0xFF);
    if (rest == 3) out[written++] = static_cast<char>(v >> 8 & 0xFF);
  }
  return count = written;
}

int decodeQText(const char* text, int length, char* out, int& count) {
  const int capacity = count;
  int written = 0;
  for (int i = 0; i < length; ++i) {
    const char c = text[i];
    if (c == ' ') continue;
    char byte;
    if (c == '=') {
      if (i + 2 >= length) return count = -1;
      const int high = hexDigitValue(text[i + 1]);
      const int low = hexDigitValue(text[i + 2]);
      if (high < 0 || low < 0) return count = -1;
      byte = static_cast<char>(high * 16 + low);
      i += 2;
    } else if (c == '_') {
      byte = ' ';
    } else if (c >= 0x21 && c <= 0x7E) {
      byte = c;
    } else {
      return count = -1;
    }
    if (written >= capacity) return count = -1;
    out[written++] = byte;
  }
  return count = written;
}

}  // namespace vireo
