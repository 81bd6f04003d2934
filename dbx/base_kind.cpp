#include "dbx/base_kind.h"

#include "dbx/byte_view.h"
#include "dbx/layout.h"
#include "platform/read_only_file.h"
#include "reader/message_base_reader.h"

namespace vireo::dbx {

int16_t baseKindFromWord(uint32_t kindWord, bool newsMarkerZero) {
  switch (kindWord) {
    case kKindWordMessages: return newsMarkerZero ? kBaseKindNews : kBaseKindMail;
    case kKindWordFolders: return kBaseKindFolders;
    case kKindWordOffline: return kBaseKindOffline;
    case kKindWordPop3uidl: return kBaseKindPop3uidl;
    default: return kBaseKindOther;
  }
}

}  // namespace vireo::dbx

namespace vireo {

void MessageBaseReader::detectBaseKind() {
  ReadOnlyFile file;
  if (!file.open(basePath())) return;
  uint8_t header[8] = {};
  const size_t got = file.readAt(0, header, sizeof header);
  const uint32_t kindWord = got == sizeof header ? dbx::ByteView(header, 8).u32(dbx::kKindWordOffset) : 0;
  uint8_t marker = 1;
  const bool markerRead = file.readAt(dbx::kNewsMarkerOffset, &marker, 1) == 1;
  baseKind = dbx::baseKindFromWord(kindWord, markerRead && marker == 0);
}

}  // namespace vireo
