#pragma once
// From block votes to bases: runs of blocks that agree where their base begins are the pieces of
// a base; chains that leave one piece and continue in another tie pieces into one base, as long
// as the pieces tied never claim the same offsets of it.
#include <cstdint>
#include <vector>

#include "dbx/image_block_scan.h"

namespace vireo::dbx {

// A stretch of the image copied into a base: image [imageStart, imageStart + length) holds base
// offsets [baseStart, baseStart + length).
struct ImageSegment {
  uint64_t imageStart = 0;
  uint32_t baseStart = 0;
  uint32_t length = 0;
  int blocks = 0;  // data blocks found in it
  int64_t shift() const { return static_cast<int64_t>(imageStart) - baseStart; }
  uint64_t imageEnd() const { return imageStart + length; }
  uint32_t baseEnd() const { return baseStart + length; }
};

struct FoundBase {
  std::vector<ImageSegment> pieces;  // ascending base offset; never overlapping in the base
  int64_t origin = 0;               // image offset where offset 0 of the base lies (or would)
  bool headerSurvived = false;      // a file header lies at origin
  int blocks = 0;
  uint32_t length() const { return pieces.empty() ? 0 : pieces.back().baseEnd(); }
};

// The bases the votes describe, in the order of their first piece in the image.
std::vector<FoundBase> assembleBases(const ImageScan& scan);

}  // namespace vireo::dbx
