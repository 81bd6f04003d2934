#include "dbx/file_header.h"

#include "dbx/byte_view.h"
#include "dbx/layout.h"

namespace vireo::dbx {
namespace {

std::optional<uint32_t> wordAt(BaseFile& file, uint32_t offset) {
  uint8_t bytes[4];
  if (!file.readExact(offset, bytes, sizeof bytes)) return std::nullopt;
  return ByteView(bytes, sizeof bytes).u32(0);
}

}  // namespace

int16_t baseKindFromWord(uint32_t kindWord, bool newsMarkerZero) {
  switch (kindWord) {
    case kKindWordMessages: return newsMarkerZero ? kBaseKindNews : kBaseKindMail;
    case kKindWordFolders: return kBaseKindFolders;
    case kKindWordOffline: return kBaseKindOffline;
    case kKindWordPop3uidl: return kBaseKindPop3uidl;
    default: return kBaseKindOther;
  }
}

int16_t FileHeader::baseKind() const {
  return baseKindFromWord(kindWord.value_or(0), newsMarker && *newsMarker == 0);
}

FileHeader readFileHeader(BaseFile& file) {
  FileHeader header;
  header.kindWord = wordAt(file, kKindWordOffset);
  if (const auto count = wordAt(file, kMessageCountOffset)) header.messageCount = static_cast<int32_t>(*count);
  header.rootNode = wordAt(file, kRootNodeOffset);
  uint8_t marker = 0;
  if (file.readExact(kNewsMarkerOffset, &marker, 1)) header.newsMarker = marker;
  return header;
}

std::optional<int16_t> detectBaseKind(const std::string& path) {
  BaseFile file;
  if (!file.open(path)) return std::nullopt;
  return readFileHeader(file).baseKind();
}

}  // namespace vireo::dbx
