#pragma once
#include <cstdint>

namespace vireo::dbx {

// The base kind for the kind word at offset 4; newsMarkerZero: the byte at 9,408 was read and is 0.
int16_t baseKindFromWord(uint32_t kindWord, bool newsMarkerZero);

}  // namespace vireo::dbx
