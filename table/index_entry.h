#pragma once
#include <cstdint>

namespace vireo {

// One message found by a browse, before its record is made.
struct IndexEntry {
  uint32_t recordOffset = 0;
  uint32_t dataOffset = 0;
};

}  // namespace vireo
