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

// Marks whole blocks [first, last) of text, each of which lies inside it. A CR at a block's last
// byte is left for markThrough to pair with the next block's first byte.
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
    const uint64_t crs = _mm512_cmpeq_epi8_mask(bytes, cr);
    lineEnds[block] = crs & (_mm512_cmpeq_epi8_mask(bytes, lf) >> 1);
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
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + block * 64 + 16 * part));
      const auto bits = [&](__m128i compared) {
        return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(compared))) << (16 * part);
      };
      crs |= bits(_mm_cmpeq_epi8(bytes, cr));
      lfs |= bits(_mm_cmpeq_epi8(bytes, lf));
      marks |= bits(_mm_or_si128(_mm_cmpeq_epi8(bytes, colon), _mm_cmpeq_epi8(bytes, equals)));
    }
    lineEnds[block] = crs & (lfs >> 1);
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
      if (c == '\r' && i < 63 && text[block * 64 + i + 1] == '\n') ends |= uint64_t{1} << i;
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
  const int whole = std::min(block + 1, length_ / 64);
  if (marked_ < whole) {
    markBlocks(text_, marked_, whole, lineEnds_, colonOrEquals_);
    for (int b = marked_; b < whole; ++b) {
      const int next = b * 64 + 64;
      if (next < length_ && text_[next - 1] == '\r' && text_[next] == '\n') lineEnds_[b] |= uint64_t{1} << 63;
    }
    marked_ = whole;
  }
  // The last, short block is padded with NULs, which mark nothing; blocks past the text are empty.
  for (; marked_ <= block; ++marked_) {
    const int start = marked_ * 64;
    if (start >= length_) {
      lineEnds_[marked_] = colonOrEquals_[marked_] = 0;
      continue;
    }
    char padded[64] = {};
    std::memcpy(padded, text_ + start, static_cast<size_t>(length_ - start));
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
