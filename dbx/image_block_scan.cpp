#include "dbx/image_block_scan.h"

#include <algorithm>
#include <memory>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "dbx/byte_view.h"
#include "dbx/read_failure.h"
#include "dbx/self_offset_search.h"
#include "platform/progress_sink.h"

namespace vireo::dbx {
namespace {

// Reads of a megabyte: few enough system calls to go at the disk's pace, small enough that the
// chunk is still in the processor's cache when it is scanned. Chunks start on multiples of the
// stride, which is a multiple of the sector, and overlap by enough for the last block header
// tested in a chunk.
constexpr size_t kChunkStride = size_t{1} << 20;
constexpr size_t kChunkOverlap = 32;
constexpr uint32_t kSectorMask = 511;

bool knownKindWord(uint32_t word) {
  return word == kKindWordMessages || word == kKindWordFolders || word == kKindWordOffline ||
         word == kKindWordPop3uidl;
}


HeaderFind readHeaderPiece(const uint8_t* bytes, size_t length, uint64_t position) {
  // Only the sector holding the signature is sure to be the header's; its piece may end anywhere
  // after that.
  HeaderFind find{position, kSectorMask + 1, {}};
  const ByteView view(bytes, length);  // as far as the chunk goes
  for (size_t q = kFileHeaderEnd; view.has(q, kInfoHeaderSize); q += 4) {
    // The next header ends the look, so an image of headers costs one pass, not one per header.
    if ((q & kSectorMask) == 0 && view.u32(q) == kFileSignature) break;
    if (view.u32(q) != q) continue;
    find.extent = static_cast<uint32_t>(q + kInfoHeaderSize);
    // An information record names its message's first block in attribute 4.
    const int attributes = view.i8(q + kInfoAttributeCount);
    for (int a = 0; a < attributes && a < 64; ++a) {
      const size_t at = q + kInfoHeaderSize + kAttributeSize * static_cast<size_t>(a);
      if ((view.u8(at) & kAttributeIdMask) != 4) continue;
      const uint32_t value = view.u24(at + 1);
      if ((view.u8(at) & kAttributeDirect) != 0) {
        find.firstBlocks.push_back(value);
      } else {
        // Indirect: the word at the value's place in the record's data area.
        const size_t word = q + kInfoHeaderSize + kAttributeSize * static_cast<size_t>(attributes) + value;
        if (view.has(word, 4)) find.firstBlocks.push_back(view.u32(word));
      }
    }
  }
  std::sort(find.firstBlocks.begin(), find.firstBlocks.end());
  return find;
}

void voteAt(const uint8_t* bytes, uint64_t position, std::vector<BlockVote>& votes) {
  if (!plausibleBlock(bytes, position)) return;
  const ByteView view(bytes, kBlockHeaderSize);
  votes.push_back({position, view.u32(kBlockSelf), view.u32(kBlockNext)});
}

}  // namespace

bool plausibleBlock(const uint8_t* bytes, uint64_t position) {
  const ByteView view(bytes, kBlockHeaderSize);
  const uint32_t sizeField = view.u32(kBlockSizeField);
  if (sizeField != kNormalBlockSize && sizeField != kDeletedBlockSize) return false;
  const uint32_t self = view.u32(kBlockSelf);
  // The base begins on a sector boundary, so a block's offset in it and its place in the image
  // agree in their low nine bits.
  if ((self & kSectorMask) != (position & kSectorMask)) return false;
  if (self < kFileHeaderEnd || !reachable(self)) return false;
  const int32_t used = view.i32(kBlockUsed);
  if (used <= 0 || used > kBlockUsedMax) return false;
  const uint32_t next = view.u32(kBlockNext);
  return next == 0 || (next % 4 == 0 && next >= kFileHeaderEnd && reachable(next) && next != self);
}

void findBlockVotesScalar(const uint8_t* bytes, size_t count, uint64_t firstPosition, std::vector<BlockVote>& votes) {
  for (size_t i = 0; i < count; i += 4) voteAt(bytes + i, firstPosition + i, votes);
}

#if defined(__x86_64__)
namespace {

// Looks at the block behind each set lane of a comparison's mask (one bit per 32-bit word from i).
void voteAtLanes(int mask, const uint8_t* bytes, size_t i, uint64_t firstPosition, std::vector<BlockVote>& votes) {
  while (mask != 0) {
    const int lane = __builtin_ctz(static_cast<unsigned>(mask));
    mask &= mask - 1;
    const size_t at = i + 4 * static_cast<size_t>(lane);
    voteAt(bytes + at, firstPosition + at, votes);
  }
}

// Almost no word of an image is a block size: the size fields of eight blocks are compared at
// once, and only a match is looked at whole.
__attribute__((target("avx2"))) size_t findBlockVotesAvx2(const uint8_t* bytes, size_t count, uint64_t firstPosition,
                                                          std::vector<BlockVote>& votes) {
  const __m256i normal = _mm256_set1_epi32(static_cast<int>(kNormalBlockSize));
  const __m256i deleted = _mm256_set1_epi32(static_cast<int>(kDeletedBlockSize));
  size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    const __m256i fields = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i + kBlockSizeField));
    const __m256i match = _mm256_or_si256(_mm256_cmpeq_epi32(fields, normal), _mm256_cmpeq_epi32(fields, deleted));
    voteAtLanes(_mm256_movemask_ps(_mm256_castsi256_ps(match)), bytes, i, firstPosition, votes);
  }
  return i;
}

size_t findBlockVotesSse2(const uint8_t* bytes, size_t count, uint64_t firstPosition, std::vector<BlockVote>& votes) {
  const __m128i normal = _mm_set1_epi32(static_cast<int>(kNormalBlockSize));
  const __m128i deleted = _mm_set1_epi32(static_cast<int>(kDeletedBlockSize));
  size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i fields = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + kBlockSizeField));
    const __m128i match = _mm_or_si128(_mm_cmpeq_epi32(fields, normal), _mm_cmpeq_epi32(fields, deleted));
    voteAtLanes(_mm_movemask_ps(_mm_castsi128_ps(match)), bytes, i, firstPosition, votes);
  }
  return i;
}

}  // namespace
#endif

void findBlockVotes(const uint8_t* bytes, size_t count, uint64_t firstPosition, std::vector<BlockVote>& votes) {
  size_t done = 0;
#if defined(__x86_64__)
  static const bool avx2 = avx2Available();
  done = avx2 ? findBlockVotesAvx2(bytes, count, firstPosition, votes)
              : findBlockVotesSse2(bytes, count, firstPosition, votes);
#endif
  findBlockVotesScalar(bytes + done, count - done, firstPosition + done, votes);
}

ImageScan scanImage(ReadOnlyFile& image, const OperationControl& control) {
  ProgressSink& progress = control.bar();
  progress.setRange(100);
  progress.setStep(1);
  progress.setPos(0);
  ImageScan scan;
  scan.imageSize = image.size();
  const auto buffer = std::make_unique<uint8_t[]>(kChunkStride + kChunkOverlap);
  int shown = 0;
  for (uint64_t start = 0;; start += kChunkStride) {
    if (control.stopRequested()) failStopped();
    const size_t read = image.readAt(start, buffer.get(), kChunkStride + kChunkOverlap);
    if (read < kBlockHeaderSize) break;
    // A chunk tests the blocks that begin before the next chunk does; the last one, every block
    // that is whole in what could be read (a read error ends the image there).
    const bool last = read < kChunkStride + kChunkOverlap;
    const size_t tested = last ? (read - kBlockHeaderSize) / 4 * 4 + 4 : kChunkStride;
    findBlockVotes(buffer.get(), tested, start, scan.votes);
    for (size_t at = 0; at + 8 <= read && at < tested; at += kSectorMask + 1) {
      const ByteView view(buffer.get() + at, 8);
      if (view.u32(0) == kFileSignature && knownKindWord(view.u32(kKindWordOffset)))
        scan.headers.push_back(readHeaderPiece(buffer.get() + at, read - at, start + at));
    }
    const int percent = static_cast<int>(std::min<uint64_t>(100, (start + tested) * 100 / std::max<uint64_t>(1, scan.imageSize)));
    for (; shown < percent; ++shown) progress.stepIt();
    if (last) break;
  }
  return scan;
}

}  // namespace vireo::dbx
