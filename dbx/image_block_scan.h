#pragma once
// The carving scan: one forward pass over a disk image that finds every place where a data block
// of some base could lie. Inside an image a block's own-offset word no longer equals its position;
// it equals its position minus where its base (or that piece of its base) begins. Such a block
// therefore proposes an origin, and the votes of many blocks locate the pieces of a base.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dbx/layout.h"
#include "dbx/operation.h"

namespace vireo::dbx {

struct BlockVote {
  uint64_t position = 0;  // image offset of the block header
  uint32_t self = 0;      // its own-offset word: its offset in its base
  uint32_t next = 0;      // the next block of its message, 0 for none
  // Where offset 0 of its piece's base would lie; a later piece may lie before it in the image,
  // so this can be negative.
  int64_t origin() const { return static_cast<int64_t>(position) - static_cast<int64_t>(self); }
};

// A base's file header found at a sector boundary. Information records and index nodes follow
// it in the same cluster run more often than not; they begin with their own offset as blocks do,
// so they show how far the header's piece reaches, and the first blocks their records name
// show which blocks (found elsewhere) belong to this base.
struct HeaderFind {
  uint64_t position = 0;
  uint32_t extent = 0;                // base offsets [0, extent) known to lie at position
  std::vector<uint32_t> firstBlocks;  // ascending
};

struct ImageScan {
  std::vector<BlockVote> votes;    // ascending position
  std::vector<HeaderFind> headers;  // ascending position
  uint64_t imageSize = 0;
};

// Whether the 16 bytes at bytes[0..15], found at image position, look like a data block header
// of a base whose origin lies on a 512-byte boundary: a block size the format uses, a used count
// within a block, a next offset that could be one, and an own offset past the file header.
bool plausibleBlock(const uint8_t* bytes, uint64_t position);

// Appends a vote for every 4-aligned block position firstPosition + i, i in [0, count), that is
// plausible. bytes must hold count + 16 bytes; firstPosition must be a multiple of 4.
void findBlockVotes(const uint8_t* bytes, size_t count, uint64_t firstPosition, std::vector<BlockVote>& votes);
// The same, testing every position one by one: the definition the vector version must match.
void findBlockVotesScalar(const uint8_t* bytes, size_t count, uint64_t firstPosition, std::vector<BlockVote>& votes);

// Reads the whole image (a regular file or a block device) once in large chunks, on as many
// threads as the cores and its size are worth; drives the bar from 0 to 100, fails when the image
// cannot be opened and with a stop when one is requested.
ImageScan scanImage(const std::string& imagePath, const OperationControl& control);

}  // namespace vireo::dbx
