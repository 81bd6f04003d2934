#include "dbx/scattered_reads.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace vireo::dbx {
namespace {
// Pieces closer than this share a read: copying a page costs about what a system call does.
constexpr uint64_t kJoinGap = 4096;
constexpr uint64_t kMaxCluster = 64 * 1024;
}  // namespace

size_t ScatteredReads::add(uint32_t offset, uint32_t length) {
  Piece piece;
  piece.offset = offset;
  piece.length = std::min(length, kMaxPiece);
  piece.at = bytes_.size();
  bytes_.resize(bytes_.size() + piece.length);
  pieces_.push_back(piece);
  return pieces_.size() - 1;
}

void ScatteredReads::read(BaseFile& file) {
  std::vector<uint32_t> order(pieces_.size());
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(), [this](uint32_t a, uint32_t b) { return pieces_[a].offset < pieces_[b].offset; });
  // The part of each piece the file can give: nothing from an unreachable offset, nothing past
  // its end as opened.
  auto wanted = [&file](const Piece& p) -> uint64_t {
    if (!BaseFile::reachable(p.offset) || p.offset >= file.size()) return 0;
    return std::min<uint64_t>(p.length, file.size() - p.offset);
  };
  std::vector<uint8_t> cluster;
  size_t i = 0;
  while (i < order.size()) {
    const uint64_t start = pieces_[order[i]].offset;
    uint64_t end = start + wanted(pieces_[order[i]]);
    size_t last = i + 1;
    for (; last < order.size(); ++last) {
      const Piece& p = pieces_[order[last]];
      const uint64_t pieceEnd = p.offset + wanted(p);
      if (p.offset > end + kJoinGap || std::max(end, pieceEnd) - start > kMaxCluster) break;
      end = std::max(end, pieceEnd);
    }
    size_t got = 0;
    if (end > start) {
      cluster.resize(static_cast<size_t>(end - start));
      got = file.readSome(start, cluster.data(), cluster.size());
    }
    for (size_t k = i; k < last; ++k) {
      Piece& p = pieces_[order[k]];
      const uint64_t from = p.offset - start;
      const uint64_t upTo = std::min<uint64_t>(p.offset + wanted(p) - start, got);
      p.got = upTo > from ? static_cast<uint32_t>(upTo - from) : 0;
      if (p.got > 0) std::memcpy(bytes_.data() + p.at, cluster.data() + from, p.got);
    }
    i = last;
  }
}

}  // namespace vireo::dbx
