#include "content/header_line_marks.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "content/header_line.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace vireo {
namespace {

// Marks whole blocks [first, last) of text, each of which and the byte after it lie inside it:
// the LF of a CR LF pair is compared one byte further on, so a pair across two blocks is found
// too.
#if defined(__x86_64__)
// One 64-byte compare per byte sought, straight into a mask; a loop inside, as a call into code
// of another target cannot be inlined.
__attribute__((target("avx512f,avx512bw"))) void markBlocksAvx512(const char* text, int first, int last,
                                                                 uint64_t* lineEnds, uint64_t* colonOrEquals) {
  const __m512i cr = _mm512_set1_epi8('\r');
  const __m512i lf = _mm512_set1_epi8('\n');
  const __m512i colon = _mm512_set1_epi8(':');
  const __m512i equals = _mm512_set1_epi8('=');
  for (int block = first; block < last; ++block) {
    const __m512i bytes = _mm512_loadu_si512(text + block * 64);
    const __m512i following = _mm512_loadu_si512(text + block * 64 + 1);
    lineEnds[block] = _mm512_cmpeq_epi8_mask(bytes, cr) & _mm512_cmpeq_epi8_mask(following, lf);
    colonOrEquals[block] = _mm512_cmpeq_epi8_mask(bytes, colon) | _mm512_cmpeq_epi8_mask(bytes, equals);
  }
}

void markBlocksSse2(const char* text, int first, int last, uint64_t* lineEnds, uint64_t* colonOrEquals) {
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i colon = _mm_set1_epi8(':');
  const __m128i equals = _mm_set1_epi8('=');
  for (int block = first; block < last; ++block) {
    uint64_t crs = 0;
    uint64_t lfs = 0;
    uint64_t marks = 0;
    for (int part = 0; part < 4; ++part) {
      const char* const at = text + block * 64 + 16 * part;
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
      const __m128i following = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
      const auto bits = [&](__m128i compared) {
        return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(compared))) << (16 * part);
      };
      crs |= bits(_mm_cmpeq_epi8(bytes, cr));
      lfs |= bits(_mm_cmpeq_epi8(following, lf));
      marks |= bits(_mm_or_si128(_mm_cmpeq_epi8(bytes, colon), _mm_cmpeq_epi8(bytes, equals)));
    }
    lineEnds[block] = crs & lfs;
    colonOrEquals[block] = marks;
  }
}

void markBlocks(const char* text, int first, int last, uint64_t* lineEnds, uint64_t* colonOrEquals) {
  static const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
  if (avx512) markBlocksAvx512(text, first, last, lineEnds, colonOrEquals);
  else markBlocksSse2(text, first, last, lineEnds, colonOrEquals);
}
#else
void markBlocks(const char* text, int first, int last, uint64_t* lineEnds, uint64_t* colonOrEquals) {
  for (int block = first; block < last; ++block) {
    uint64_t ends = 0;
    uint64_t marks = 0;
    for (int i = 0; i < 64; ++i) {
      const char c = text[block * 64 + i];
      if (c == '\r' && text[block * 64 + i + 1] == '\n') ends |= uint64_t{1} << i;
      if (c == ':' || c == '=') marks |= uint64_t{1} << i;
    }
    lineEnds[block] = ends;
    colonOrEquals[block] = marks;
  }
}
#endif

}  // namespace

void HeaderLineMarks::markThrough(int block) {
  if (block < marked_) return;
  // Blocks followed by at least one byte of the text are marked where they lie.
  const int followed = std::min(block + 1, length_ > 0 ? (length_ - 1) / 64 : 0);
  if (marked_ < followed) {
    markBlocks(text_, marked_, followed, lineEnds_, colonOrEquals_);
    marked_ = followed;
  }
  // The last block is copied and padded with NULs, which mark nothing (nor follow a CR as an LF
  // would); blocks past the text are empty.
  for (; marked_ <= block; ++marked_) {
    const int start = marked_ * 64;
    if (start >= length_) {
      lineEnds_[marked_] = colonOrEquals_[marked_] = 0;
      continue;
    }
    char padded[2 * 64] = {};
    std::memcpy(padded, text_ + start, static_cast<size_t>(std::min(length_ - start, 64)));
    markBlocks(padded, 0, 1, lineEnds_ + marked_, colonOrEquals_ + marked_);
  }
}

int HeaderLineMarks::findLineEndFurther(int from, int limit) {
  if (from < 0) from = 0;
  if (from >= limit) return -1;
  int block = from / 64;
  uint64_t mask = ~uint64_t{0} << (from % 64);
  for (; block < kMarkedBlocks && block * 64 < limit; ++block, mask = ~uint64_t{0}) {
    // Several blocks at a time, so that the inline search mostly finds its two blocks marked.
    markThrough(std::min(block + kMarkAhead, kMarkedBlocks - 1));
    const uint64_t ends = lineEnds_[block] & mask;
    if (ends != 0) {
      const int position = block * 64 + std::countr_zero(ends);
      return position < limit ? position : -1;
    }
  }
  if (block * 64 >= limit) return -1;
  return vireo::findLineEnd(text_, std::max(from, block * 64), limit);
}

bool HeaderLineMarks::holdsColonOrEqualsFurther(int from, size_t span) {
  if (span == 0 || from < 0) return false;
  const size_t end = static_cast<size_t>(from) + span;
  if (end > static_cast<size_t>(kMarkedBytes))
    return std::memchr(text_ + from, ':', span) != nullptr || std::memchr(text_ + from, '=', span) != nullptr;
  const int first = from / 64;
  const int last = static_cast<int>((end - 1) / 64);
  markThrough(last);
  for (int block = first; block <= last; ++block) {
    uint64_t mask = colonOrEquals_[block];
    if (block == first) mask &= ~uint64_t{0} << (from % 64);
    if (block == last) mask &= upTo(end % 64);
    if (mask != 0) return true;
  }
  return false;
}

}  // namespace vireo
