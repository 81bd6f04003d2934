#include "content/body_scan_needle.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace vireo {
namespace {

const char* memmemFrom(const char* text, size_t length, std::string_view needle) {
  return static_cast<const char*>(::memmem(text, length, needle.data(), needle.size()));
}

#if defined(__x86_64__)
// 64 places at a time: a place is a candidate when it holds the needle's first byte and the
// needle's length further on its last one; only candidates are compared whole. In base64 or
// text that pair is rare, so this runs at the speed of the loads where memmem's general search
// is several times slower.
__attribute__((target("avx512f,avx512bw"))) const char* findNeedleAvx512(const char* text, size_t length,
                                                                        std::string_view needle) {
  const size_t size = needle.size();
  if (length < size) return nullptr;
  const size_t places = length - size + 1;
  const __m512i first = _mm512_set1_epi8(needle.front());
  const __m512i last = _mm512_set1_epi8(needle.back());
  size_t at = 0;
  for (; at + 64 <= places; at += 64) {
    // The second load ends at byte at + 63 + size - 1, below places + size - 1 = length.
    uint64_t candidates = _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(text + at), first) &
                          _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(text + at + size - 1), last);
    while (candidates != 0) {
      const size_t place = at + static_cast<size_t>(std::countr_zero(candidates));
      if (std::memcmp(text + place + 1, needle.data() + 1, size - 2) == 0) return text + place;
      candidates &= candidates - 1;
    }
  }
  return memmemFrom(text + at, length - at, needle);
}
#endif

}  // namespace

const char* findNeedle(const char* text, size_t length, std::string_view needle) {
  if (needle.size() < 2) return memmemFrom(text, length, needle);
#if defined(__x86_64__)
  static const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
  if (avx512) return findNeedleAvx512(text, length, needle);
#endif
  return memmemFrom(text, length, needle);
}

}  // namespace vireo
