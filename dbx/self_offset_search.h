#pragma once
// The inner loop of recovery: finding every byte offset whose 32-bit little-endian word equals
// that offset. It runs over every byte of a base of up to 2 GB, so it has vector versions; all of
// them find exactly the offsets the plain byte-by-byte test finds.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vireo::dbx {

// Appends to hits, in ascending order, every firstOffset + i for i in [0, count) where the word at
// bytes[i .. i + 3] equals firstOffset + i. bytes must hold count + 3 bytes, and
// firstOffset + count must not exceed 2^32.
void findSelfOffsets(const uint8_t* bytes, size_t count, uint32_t firstOffset, std::vector<uint32_t>& hits);

// The versions behind findSelfOffsets, for tests and measurements. The AVX2 and AVX-512 ones may
// be called only when avx2Available() and avx512Available() say so.
void findSelfOffsetsScalar(const uint8_t* bytes, size_t count, uint32_t firstOffset, std::vector<uint32_t>& hits);
void findSelfOffsetsSse2(const uint8_t* bytes, size_t count, uint32_t firstOffset, std::vector<uint32_t>& hits);
void findSelfOffsetsAvx2(const uint8_t* bytes, size_t count, uint32_t firstOffset, std::vector<uint32_t>& hits);
void findSelfOffsetsAvx512(const uint8_t* bytes, size_t count, uint32_t firstOffset, std::vector<uint32_t>& hits);
bool avx2Available();
bool avx512Available();

}  // namespace vireo::dbx
