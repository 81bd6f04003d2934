// Header parsing and encoded words on any text: summary fields, charsets, dates.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "content/encoded_words.h"
#include "content/header_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int length = static_cast<int>(text.size());
  (void)vireo::parseHeaderFields(text.data(), length);
  int target = 0;
  int wordCodePage = 0;
  if (const auto decoded = vireo::decodeHeaderWords(text.data(), length, target, wordCodePage)) {
    if (decoded->size() > 16 * text.size() + 64) std::abort();  // decoding never explodes
  }
  return 0;
}
