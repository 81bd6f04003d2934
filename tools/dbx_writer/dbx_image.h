#pragma once
// A .dbx file under construction: raw bytes with little-endian puts. Tests damage a built base
// through it, at the offsets the writer reports.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vireo::testing {

class DbxImage {
 public:
  std::vector<uint8_t> bytes;

  uint32_t size() const { return static_cast<uint32_t>(bytes.size()); }
  void ensure(size_t size);  // grows zero-filled to at least size bytes
  void put8(uint32_t at, uint8_t value);
  void put16(uint32_t at, uint16_t value);
  void put32(uint32_t at, uint32_t value);
  uint32_t get32(uint32_t at) const;
  void putBytes(uint32_t at, std::string_view data);
  // Appends zeroed space at the end (after padding to align) and returns its offset.
  uint32_t reserve(size_t length, uint32_t align = 4);
  // A data block at `at`: header (own offset at, sizeField, used, next) followed by data.
  void writeBlock(uint32_t at, uint32_t sizeField, int32_t used, uint32_t next, std::string_view data);
  void truncate(size_t size) { bytes.resize(size); }
  void save(const std::string& path) const;  // throws std::runtime_error on failure
};

}  // namespace vireo::testing
