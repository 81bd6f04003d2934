#pragma once
// RFC 2047 encoded words in header values, decoded and converted to a target code page.
#include <optional>
#include <string>

namespace vireo {

// The value with its encoded words decoded, up to the first word that fails; that word and the
// rest stay as they are. Nothing when the value has no complete encoded word or its first word
// fails. targetCodePage 0 means the ANSI code page and is replaced by the one used.
// wordCodePage gets the first word's charset code page (0 when unknown or malformed inside) and
// is left alone when there is no complete encoded word.
std::optional<std::string> decodeHeaderWords(const char* value, int length, int& targetCodePage,
                                             int& wordCodePage);

// One encoded word (leading spaces allowed), converted, followed by whatever comes after its
// closing "?=" within length. charsetCodePage gets the word's code page.
std::optional<std::string> decodeEncodedWord(const char* word, int length, int& targetCodePage,
                                             int& charsetCodePage);

}  // namespace vireo
