#pragma once
// Little-endian fields read by name from a byte range that knows its size. Every read of file
// bytes goes through this or BaseFile; nothing else does pointer arithmetic on file data.
// A field read past the end yields 0 (callers size their buffers from the layout, so it is a bug
// guard, not a format check).
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

namespace vireo::dbx {

class ByteView {
 public:
  ByteView(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit ByteView(std::span<const uint8_t> bytes) : data_(bytes.data()), size_(bytes.size()) {}

  size_t size() const { return size_; }
  bool has(size_t at, size_t width) const { return at <= size_ && width <= size_ - at; }

  uint8_t u8(size_t at) const { return has(at, 1) ? data_[at] : 0; }
  int8_t i8(size_t at) const { return static_cast<int8_t>(u8(at)); }
  uint16_t u16(size_t at) const {
    return has(at, 2) ? static_cast<uint16_t>(data_[at] | data_[at + 1] << 8) : 0;
  }
  uint32_t u24(size_t at) const {
    return has(at, 3) ? uint32_t{data_[at]} | uint32_t{data_[at + 1]} << 8 | uint32_t{data_[at + 2]} << 16 : 0;
  }
  uint32_t u32(size_t at) const {
    return has(at, 4) ? uint32_t{data_[at]} | uint32_t{data_[at + 1]} << 8 |
                            uint32_t{data_[at + 2]} << 16 | uint32_t{data_[at + 3]} << 24
                      : 0;
  }
  int32_t i32(size_t at) const { return static_cast<int32_t>(u32(at)); }

  // The bytes [at, at + length), for code that must see them whole (the vector search, a copy).
  // A range past the end is a fault of the caller, not of the file.
  std::span<const uint8_t> span(size_t at, size_t length) const {
    if (!has(at, length)) throw std::out_of_range("byte range past the end of a buffer");
    return {data_ + at, length};
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace vireo::dbx
