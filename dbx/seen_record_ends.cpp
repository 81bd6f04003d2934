#include "dbx/seen_record_ends.h"

#include <algorithm>

namespace vireo::dbx {

bool beginsWithHeaderField(const uint8_t* bytes, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (bytes[i] == ':') return i > 0;
    if (bytes[i] < 33 || bytes[i] > 126) return false;
  }
  return false;
}

const SeenRecordEnds::Start* SeenRecordEnds::startAt(uint32_t offset, int16_t length) const {
  const auto found =
      std::lower_bound(starts.begin(), starts.end(), offset, [](const Start& s, uint32_t value) { return s.offset < value; });
  if (found == starts.end() || found->offset != offset || found->length != length) return nullptr;
  return &*found;
}

}  // namespace vireo::dbx
