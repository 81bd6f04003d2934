#pragma once
// Guesses the character set of a text with uchardet. One detector per thread is kept and reset
// for each text, since detection may run for every summary field of a base.
#include <string>
#include <string_view>

namespace vireo {

// uchardet's name for the most likely charset ("KOI8-R", "WINDOWS-1251", "ASCII" ...), or an
// empty string when it finds none.
std::string detectCharsetName(std::string_view text);

}  // namespace vireo
