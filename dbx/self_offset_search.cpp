#include "dbx/self_offset_search.h"

#include <endian.h>

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VIREO_X86 1
#endif

namespace vireo::dbx {
namespace {

inline uint32_t wordAt(const uint8_t* bytes) {
  uint32_t word;
  std::memcpy(&word, bytes, sizeof word);
  return le32toh(word);
}

// Tests the offsets whose low position byte matched; the vector filters only narrow the search.
inline void verifyLanes(const uint8_t* bytes, size_t at, uint32_t position, uint32_t mask,
                        std::vector<uint32_t>& hits) {
  while (mask != 0) {
    const unsigned lane = static_cast<unsigned>(__builtin_ctz(mask));
    if (wordAt(bytes + at + lane) == position + lane) hits.push_back(position + lane);
    mask &= mask - 1;
  }
}

void scalarFrom(const uint8_t* bytes, size_t from, size_t count, uint32_t firstOffset,
                std::vector<uint32_t>& hits) {
  for (size_t i = from; i < count; ++i) {
    const uint32_t position = firstOffset + static_cast<uint32_t>(i);
    if (wordAt(bytes + i) == position) hits.push_back(position);
  }
}

// Within a run of lanes that does not cross a multiple of 65,536, bytes 2 and 3 of every lane's
// position are the same, so a match needs the byte at +2 and +3 to equal two constants as well:
// on real data almost no lane survives to the full test.
inline bool sameHighHalf(uint32_t position, uint32_t lanes) { return (position & 0xFFFFu) <= 0xFFFFu - (lanes - 1); }

// Byte 3 of the position is the same over runs of 2^24 offsets.
constexpr uint32_t kTopByteRun = uint32_t{1} << 24;

}  // namespace

void findSelfOffsetsScalar(const uint8_t* bytes, size_t count, uint32_t firstOffset, std::vector<uint32_t>& hits) {
  scalarFrom(bytes, 0, count, firstOffset, hits);
}

#ifdef VIREO_X86

void findSelfOffsetsSse2(const uint8_t* bytes, size_t count, uint32_t firstOffset, std::vector<uint32_t>& hits) {
  constexpr uint32_t kLanes = 16;
  const __m128i stride = _mm_set1_epi8(static_cast<char>(kLanes));
  __m128i lowBytes = _mm_add_epi8(_mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                                  _mm_set1_epi8(static_cast<char>(firstOffset & 0xFF)));
  size_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    const uint32_t position = firstOffset + static_cast<uint32_t>(i);
    const auto* at = bytes + i;
    __m128i match = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), lowBytes);
    if (sameHighHalf(position, kLanes)) {
      const __m128i byte2 = _mm_set1_epi8(static_cast<char>(position >> 16 & 0xFF));
      const __m128i byte3 = _mm_set1_epi8(static_cast<char>(position >> 24));
      match = _mm_and_si128(match, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 2)), byte2));
      match = _mm_and_si128(match, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 3)), byte3));
    }
    const auto mask = static_cast<uint32_t>(_mm_movemask_epi8(match));
    if (mask != 0) verifyLanes(bytes, i, position, mask, hits);
    lowBytes = _mm_add_epi8(lowBytes, stride);
  }
  scalarFrom(bytes, i, count, firstOffset, hits);
}

namespace {

#define VIREO_AVX2 __attribute__((target("avx2"), always_inline)) inline

VIREO_AVX2 __m256i load32(const uint8_t* at) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)); }

VIREO_AVX2 __m256i lowBytesAt(uint32_t position) {
  const __m256i laneIndex = _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                                             21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
  return _mm256_add_epi8(laneIndex, _mm256_set1_epi8(static_cast<char>(position & 0xFF)));
}

// Lanes whose byte matches the low byte of its position and whose bytes at +2 and +3 match the
// position's bytes 2 and 3 (the same for every lane of the run).
VIREO_AVX2 __m256i runMatches(const uint8_t* at, uint32_t position, __m256i byte2, __m256i byte3) {
  const __m256i low = _mm256_cmpeq_epi8(load32(at), lowBytesAt(position));
  const __m256i high = _mm256_and_si256(_mm256_cmpeq_epi8(load32(at + 2), byte2), _mm256_cmpeq_epi8(load32(at + 3), byte3));
  return _mm256_and_si256(low, high);
}

VIREO_AVX2 uint32_t laneMask(__m256i matches) { return static_cast<uint32_t>(_mm256_movemask_epi8(matches)); }

}  // namespace

__attribute__((target("avx2"))) void findSelfOffsetsAvx2(const uint8_t* bytes, size_t count, uint32_t firstOffset,
                                                         std::vector<uint32_t>& hits) {
  constexpr uint32_t kLanes = 32;
  size_t i = 0;
  while (i + kLanes <= count) {
    // A run of offsets whose positions share bytes 2 and 3, up to the next multiple of 65,536.
    const uint32_t runPosition = firstOffset + static_cast<uint32_t>(i);
    const size_t runEnd = std::min<size_t>(count, i + (0x10000u - (runPosition & 0xFFFFu)));
    const __m256i byte2 = _mm256_set1_epi8(static_cast<char>(runPosition >> 16 & 0xFF));
    const __m256i byte3 = _mm256_set1_epi8(static_cast<char>(runPosition >> 24));
    for (; i + 2 * kLanes <= runEnd; i += 2 * kLanes) {
      const uint32_t position = firstOffset + static_cast<uint32_t>(i);
      const __m256i first = runMatches(bytes + i, position, byte2, byte3);
      const __m256i second = runMatches(bytes + i + kLanes, position + kLanes, byte2, byte3);
      const __m256i either = _mm256_or_si256(first, second);
      if (_mm256_testz_si256(either, either)) continue;
      verifyLanes(bytes, i, position, laneMask(first), hits);
      verifyLanes(bytes, i + kLanes, position + kLanes, laneMask(second), hits);
    }
    for (; i + kLanes <= runEnd; i += kLanes) {
      const uint32_t position = firstOffset + static_cast<uint32_t>(i);
      verifyLanes(bytes, i, position, laneMask(runMatches(bytes + i, position, byte2, byte3)), hits);
    }
    if (i < runEnd && i + kLanes <= count) {
      // The vector that crosses into the next run: only the low bytes filter it.
      const uint32_t position = firstOffset + static_cast<uint32_t>(i);
      verifyLanes(bytes, i, position, laneMask(_mm256_cmpeq_epi8(load32(bytes + i), lowBytesAt(position))), hits);
      i += kLanes;
    }
  }
  scalarFrom(bytes, i, count, firstOffset, hits);
}

#define VIREO_AVX512 __attribute__((target("avx512bw,avx512f")))

// 64 lanes at a time, filtered by the low byte and byte 3 of the position (one memory bus's worth of
// loads; a third test costs more than the few words it spares).
VIREO_AVX512 void findSelfOffsetsAvx512(const uint8_t* bytes, size_t count, uint32_t firstOffset,
                                        std::vector<uint32_t>& hits) {
  constexpr uint32_t kLanes = 64;
  const __m512i laneIndex = _mm512_set_epi64(0x3F3E3D3C3B3A3938, 0x3736353433323130, 0x2F2E2D2C2B2A2928,
                                             0x2726252423222120, 0x1F1E1D1C1B1A1918, 0x1716151413121110,
                                             0x0F0E0D0C0B0A0908, 0x0706050403020100);
  size_t i = 0;
  while (i + kLanes <= count) {
    const uint32_t runPosition = firstOffset + static_cast<uint32_t>(i);
    const size_t runEnd = std::min<size_t>(count, i + (kTopByteRun - (runPosition & (kTopByteRun - 1))));
    const __m512i byte3 = _mm512_set1_epi8(static_cast<char>(runPosition >> 24));
    const __m512i stride = _mm512_set1_epi8(static_cast<char>(kLanes));
    __m512i lowBytes = _mm512_add_epi8(laneIndex, _mm512_set1_epi8(static_cast<char>(runPosition & 0xFF)));
    for (; i + kLanes <= runEnd; i += kLanes) {
      __mmask64 match = _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(bytes + i + 3), byte3);
      match = _mm512_mask_cmpeq_epi8_mask(match, _mm512_loadu_si512(bytes + i), lowBytes);
      lowBytes = _mm512_add_epi8(lowBytes, stride);
      if (__builtin_expect(match == 0, 1)) continue;
      const uint32_t position = firstOffset + static_cast<uint32_t>(i);
      for (uint64_t lanes = match; lanes != 0; lanes &= lanes - 1) {
        const unsigned lane = static_cast<unsigned>(__builtin_ctzll(lanes));
        if (wordAt(bytes + i + lane) == position + lane) hits.push_back(position + lane);
      }
    }
    if (i < runEnd) {
      // Fewer than 64 offsets before the next run, or before the end: the next vector would cross.
      const size_t stop = std::min(runEnd, count);
      scalarFrom(bytes, i, stop, firstOffset, hits);
      i = stop;
    }
  }
  scalarFrom(bytes, i, count, firstOffset, hits);
}

bool avx512Available() {
  static const bool available = __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512f");
  return available;
}

bool avx2Available() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
}

void findSelfOffsets(const uint8_t* bytes, size_t count, uint32_t firstOffset, std::vector<uint32_t>& hits) {
  if (avx512Available()) {
    findSelfOffsetsAvx512(bytes, count, firstOffset, hits);
  } else if (avx2Available()) {
    findSelfOffsetsAvx2(bytes, count, firstOffset, hits);
  } else {
    findSelfOffsetsSse2(bytes, count, firstOffset, hits);
  }
}

#else

void findSelfOffsetsSse2(const uint8_t* bytes, size_t count, uint32_t firstOffset, std::vector<uint32_t>& hits) {
  scalarFrom(bytes, 0, count, firstOffset, hits);
}
void findSelfOffsetsAvx2(const uint8_t* bytes, size_t count, uint32_t firstOffset, std::vector<uint32_t>& hits) {
  scalarFrom(bytes, 0, count, firstOffset, hits);
}
void findSelfOffsetsAvx512(const uint8_t* bytes, size_t count, uint32_t firstOffset, std::vector<uint32_t>& hits) {
  scalarFrom(bytes, 0, count, firstOffset, hits);
}
bool avx2Available() { return false; }
bool avx512Available() { return false; }
void findSelfOffsets(const uint8_t* bytes, size_t count, uint32_t firstOffset, std::vector<uint32_t>& hits) {
  scalarFrom(bytes, 0, count, firstOffset, hits);
}

#endif

}  // namespace vireo::dbx
