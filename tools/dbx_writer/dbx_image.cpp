#include "tools/dbx_writer/dbx_image.h"

#include <cstring>
#include <fstream>
#include <stdexcept>

namespace vireo::testing {

void DbxImage::ensure(size_t size) {
  if (bytes.size() < size) bytes.resize(size, 0);
}

void DbxImage::put8(uint32_t at, uint8_t value) {
  ensure(size_t{at} + 1);
  bytes[at] = value;
}

void DbxImage::put16(uint32_t at, uint16_t value) {
  put8(at, static_cast<uint8_t>(value));
  put8(at + 1, static_cast<uint8_t>(value >> 8));
}

void DbxImage::put32(uint32_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) put8(at + static_cast<uint32_t>(i), static_cast<uint8_t>(value >> (8 * i)));
}

uint32_t DbxImage::get32(uint32_t at) const {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    const size_t index = size_t{at} + static_cast<size_t>(i);
    value = value << 8 | (index < bytes.size() ? bytes[index] : 0);
  }
  return value;
}

void DbxImage::putBytes(uint32_t at, std::string_view data) {
  ensure(size_t{at} + data.size());
  if (!data.empty()) std::memcpy(bytes.data() + at, data.data(), data.size());
}

uint32_t DbxImage::reserve(size_t length, uint32_t align) {
  size_t at = bytes.size();
  if (align > 1) at = (at + align - 1) / align * align;
  ensure(at + length);
  return static_cast<uint32_t>(at);
}

void DbxImage::writeBlock(uint32_t at, uint32_t sizeField, int32_t used, uint32_t next, std::string_view data) {
  put32(at, at);
  put32(at + 4, sizeField);
  put32(at + 8, static_cast<uint32_t>(used));
  put32(at + 12, next);
  putBytes(at + 16, data);
}

void DbxImage::save(const std::string& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace vireo::testing
