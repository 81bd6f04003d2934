#pragma once
// Many small reads spread over the whole file (a few bytes of each message, after recovery has
// read them all): done in file order, one system call per cluster of nearby pieces, outside
// BaseFile's windows. Through the windows each piece brought in a page or more and sorted pieces
// streamed, so the marks fetched most of the file again for a hundred bytes a message.
#include <cstdint>
#include <vector>

#include "dbx/base_file.h"

namespace vireo::dbx {

class ScatteredReads {
 public:
  static constexpr uint32_t kMaxPiece = 1024;

  // Asks for length bytes (at most kMaxPiece) at offset; returns the piece's number.
  size_t add(uint32_t offset, uint32_t length);
  // Reads every piece. A piece the file does not hold in full (unreachable, past the end, a read
  // error) comes back with what could be read.
  void read(BaseFile& file);
  // The bytes read for piece i, and how many there are.
  const uint8_t* bytes(size_t i) const { return bytes_.data() + pieces_[i].at; }
  uint32_t got(size_t i) const { return pieces_[i].got; }
  bool complete(size_t i) const { return pieces_[i].got == pieces_[i].length; }

 private:
  struct Piece {
    uint32_t offset = 0;
    uint32_t length = 0;
    uint32_t got = 0;
    size_t at = 0;  // where its bytes lie in bytes_
  };
  std::vector<Piece> pieces_;
  std::vector<uint8_t> bytes_;
};

}  // namespace vireo::dbx
