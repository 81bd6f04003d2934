#include "dbx/image_block_scan.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "dbx/byte_view.h"
#include "dbx/read_failure.h"
#include "dbx/self_offset_search.h"
#include "platform/progress_sink.h"
#include "platform/read_only_file.h"

namespace vireo::dbx {
namespace {

// Reads of a megabyte: few enough system calls to go at the disk's pace, small enough that the
// chunk is still in the processor's cache when it is scanned. Chunks start on multiples of the
// stride, which is a multiple of the sector, and overlap by enough for the last block header
// tested in a chunk.
constexpr size_t kChunkStride = size_t{1} << 20;
constexpr size_t kChunkOverlap = 32;
constexpr uint64_t kChunksPerThread = 16;
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

// Almost no word of an image is a block size: the size fields of eight (sixteen) blocks are
// compared at once, and only a match is looked at whole.
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

__attribute__((target("avx512f"))) size_t findBlockVotesAvx512(const uint8_t* bytes, size_t count,
                                                              uint64_t firstPosition, std::vector<BlockVote>& votes) {
  const __m512i normal = _mm512_set1_epi32(static_cast<int>(kNormalBlockSize));
  const __m512i deleted = _mm512_set1_epi32(static_cast<int>(kDeletedBlockSize));
  size_t i = 0;
  for (; i + 64 <= count; i += 64) {
    const __m512i fields = _mm512_loadu_si512(bytes + i + kBlockSizeField);
    const unsigned match = _mm512_cmpeq_epi32_mask(fields, normal) | _mm512_cmpeq_epi32_mask(fields, deleted);
    voteAtLanes(static_cast<int>(match), bytes, i, firstPosition, votes);
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
  static const bool avx512 = avx512Available();
  static const bool avx2 = avx2Available();
  done = avx512 ? findBlockVotesAvx512(bytes, count, firstPosition, votes)
         : avx2 ? findBlockVotesAvx2(bytes, count, firstPosition, votes)
                : findBlockVotesSse2(bytes, count, firstPosition, votes);
#endif
  findBlockVotesScalar(bytes + done, count - done, firstPosition + done, votes);
}

namespace {

// What one thread found in the chunks it took, in ascending order of position.
struct ScanPart {
  std::vector<BlockVote> votes;
  std::vector<HeaderFind> headers;
  std::exception_ptr failure;
};

// The chunks of the image are handed out in order to a few threads, each reading with a file of
// its own: the disk is still read front to back, and the scan of a chunk overlaps the read of the
// next. A chunk that reads short ends the image there, as a read error does.
class ParallelImageScan {
 public:
  ParallelImageScan(const std::string& path, uint64_t size, const OperationControl& control)
      : path_(path), size_(size), control_(control), chunks_((size + kChunkStride - 1) / kChunkStride) {}

  void scanChunks(ReadOnlyFile& image, uint8_t* buffer, ScanPart& part, bool drivesBar) {
    ProgressSink& progress = control_.bar();
    int shown = 0;
    for (;;) {
      const uint64_t chunk = next_.fetch_add(1, std::memory_order_relaxed);
      if (chunk >= end_.load(std::memory_order_relaxed) || control_.stopRequested()) break;
      const uint64_t start = chunk * kChunkStride;
      const size_t read = image.readAt(start, buffer, kChunkStride + kChunkOverlap);
      const bool last = read < kChunkStride + kChunkOverlap;
      if (last) lowerEnd(chunk + 1);
      if (read < kBlockHeaderSize) break;
      // A chunk tests the blocks that begin before the next chunk does; the last one, every
      // block that is whole in what could be read.
      const size_t tested = last ? (read - kBlockHeaderSize) / 4 * 4 + 4 : kChunkStride;
      findBlockVotes(buffer, tested, start, part.votes);
      for (size_t at = 0; at + 8 <= read && at < tested; at += kSectorMask + 1) {
        const ByteView view(buffer + at, 8);
        if (view.u32(0) == kFileSignature && knownKindWord(view.u32(kKindWordOffset)))
          part.headers.push_back(readHeaderPiece(buffer + at, read - at, start + at));
      }
      if (drivesBar) {
        const int percent = static_cast<int>(std::min<uint64_t>(100, (chunk + 1) * 100 / std::max<uint64_t>(1, chunks_)));
        for (; shown < percent; ++shown) progress.stepIt();
      }
      if (last) break;
    }
  }

  // Runs the scan on this thread and parts - 1 others.
  ImageScan run(int parts) {
    std::vector<ScanPart> found(static_cast<size_t>(parts));
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<size_t>(parts));
    for (int t = 1; t < parts; ++t) {
      // Where the system has no thread to spare, fewer threads take all the chunks.
      try {
        helpers.emplace_back([this, &part = found[static_cast<size_t>(t)]] {
          try {
            ReadOnlyFile image;
            if (!image.open(path_, ReadOnlyFile::Accept::regularFilesAndBlockDevices)) failCannotOpen(image.error());
            const auto buffer = std::make_unique_for_overwrite<uint8_t[]>(kChunkStride + kChunkOverlap);
            scanChunks(image, buffer.get(), part, false);
          } catch (...) {
            lowerEnd(0);
            part.failure = std::current_exception();
          }
        });
      } catch (const std::system_error&) {
        break;
      }
    }
    try {
      ReadOnlyFile image;
      if (!image.open(path_, ReadOnlyFile::Accept::regularFilesAndBlockDevices)) failCannotOpen(image.error());
      const auto buffer = std::make_unique_for_overwrite<uint8_t[]>(kChunkStride + kChunkOverlap);
      scanChunks(image, buffer.get(), found[0], true);
    } catch (...) {
      lowerEnd(0);
      found[0].failure = std::current_exception();
    }
    for (std::thread& helper : helpers) helper.join();
    for (const ScanPart& part : found)
      if (part.failure) std::rethrow_exception(part.failure);
    if (control_.stopRequested()) failStopped();
    control_.bar().setPos(100);
    return merge(found);
  }

 private:
  void lowerEnd(uint64_t chunk) {
    uint64_t end = end_.load(std::memory_order_relaxed);
    while (chunk < end && !end_.compare_exchange_weak(end, chunk, std::memory_order_relaxed)) {
    }
  }

  // Each part is ascending; together they are the chunks in turn, up to where the image ended.
  ImageScan merge(std::vector<ScanPart>& parts) const {
    ImageScan scan;
    scan.imageSize = size_;
    const uint64_t limit = std::min(end_.load(), chunks_) * kChunkStride;
    size_t votes = 0;
    for (const ScanPart& part : parts) votes += part.votes.size();
    scan.votes.reserve(votes);
    for (ScanPart& part : parts) {
      const size_t from = scan.votes.size();
      for (const BlockVote& vote : part.votes)
        if (vote.position < limit) scan.votes.push_back(vote);
      std::inplace_merge(scan.votes.begin(), scan.votes.begin() + static_cast<std::ptrdiff_t>(from), scan.votes.end(),
                         [](const BlockVote& a, const BlockVote& b) { return a.position < b.position; });
      for (HeaderFind& header : part.headers)
        if (header.position < limit) scan.headers.push_back(std::move(header));
    }
    std::sort(scan.headers.begin(), scan.headers.end(),
              [](const HeaderFind& a, const HeaderFind& b) { return a.position < b.position; });
    return scan;
  }

  const std::string& path_;
  const uint64_t size_;
  const OperationControl& control_;
  const uint64_t chunks_;
  std::atomic<uint64_t> next_{0};
  std::atomic<uint64_t> end_{UINT64_MAX};
};

}  // namespace

ImageScan scanImage(const std::string& imagePath, const OperationControl& control) {
  ProgressSink& progress = control.bar();
  progress.setRange(100);
  progress.setStep(1);
  progress.setPos(0);
  ReadOnlyFile image;
  if (!image.open(imagePath, ReadOnlyFile::Accept::regularFilesAndBlockDevices)) failCannotOpen(image.error());
  const uint64_t size = image.size();
  image.close();
  // A thread for every few dozen chunks, up to the cores: a small image is not worth a thread.
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const int parts = static_cast<int>(std::clamp<uint64_t>(size / (kChunkStride * kChunksPerThread), 1, std::min(cores, 4u)));
  return ParallelImageScan(imagePath, size, control).run(parts);
}

}  // namespace vireo::dbx
