#pragma once
// The fields of a base's file header that Vireo reads, as far as the file holds them.
#include <cstdint>
#include <optional>
#include <string>

#include "dbx/base_file.h"

namespace vireo::dbx {

struct FileHeader {
  std::optional<uint32_t> kindWord;      // at 4
  std::optional<int32_t> messageCount;   // at 196
  std::optional<uint32_t> rootNode;      // at 228
  std::optional<uint8_t> newsMarker;     // at 9,408; 0 marks a mail base as news

  // 1 mail, 2 news, 7 any other kind word (or none), 11 to 13 the system bases.
  int16_t baseKind() const;
};

FileHeader readFileHeader(BaseFile& file);

// The base kind for the kind word at offset 4; newsMarkerZero: the byte at 9,408 was read and is 0.
int16_t baseKindFromWord(uint32_t kindWord, bool newsMarkerZero);

// The kind of the base at path; nothing when it cannot be opened.
std::optional<int16_t> detectBaseKind(const std::string& path);

}  // namespace vireo::dbx
