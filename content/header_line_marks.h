#pragma once
// The line ends and the ':' and '=' bytes of a message's first bytes, found 64 bytes at a time.
//
// The header scan looks at up to a hundred lines, most of them body lines it passes over, and for
// each it asked memchr three times (the line's end, a ':', a '='): on lines of some 70 bytes the
// calls cost more than the search. Here one pass of vector compares marks a block's CR LF pairs
// and its ':' and '=' bytes as bit masks, and both questions become a few bit operations. The
// answers are those of findLineEnd and memchr; past the first kMarkedBytes the scan asks them.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "content/header_line.h"

namespace vireo {

class HeaderLineMarks {
 public:
  // text holds length bytes; nothing past them is read.
  HeaderLineMarks(const char* text, int length) : text_(text), length_(length < 0 ? 0 : length) {}
  HeaderLineMarks(const HeaderLineMarks&) = delete;
  HeaderLineMarks& operator=(const HeaderLineMarks&) = delete;

  // What findLineEnd(text, from, limit) gives: the first CR LF pair at or after from whose CR
  // lies before limit, or -1. As there, the caller keeps limit below the text's length.
  // Inline for the usual case, a line that ends in the block it starts in or the next.
  int findLineEnd(int from, int limit) {
    // Lines are mostly shorter than a block, so the end is looked for in two.
    if (from >= 0 && from < limit && from / 64 + 1 < marked_) {
      int block = from / 64;
      uint64_t ends = lineEnds_[block] & (~uint64_t{0} << (from % 64));
      if (ends == 0) ends = lineEnds_[++block];
      if (ends != 0) {
        const int position = block * 64 + std::countr_zero(ends);
        return position < limit ? position : -1;
      }
    }
    return findLineEndFurther(from, limit);
  }

  // Whether [from, from + span) holds a ':' or a '=' (span may reach the text's end, not past).
  // Inline for a span within two marked blocks.
  bool holdsColonOrEquals(int from, size_t span) {
    if (from >= 0 && span > 0) {
      const size_t end = static_cast<size_t>(from) + span;
      const int first = from / 64;
      const int last = static_cast<int>((end - 1) / 64);
      if (last < marked_ && last - first <= 1) {
        uint64_t mask = colonOrEquals_[first] & (~uint64_t{0} << (from % 64));
        if (last != first) mask |= colonOrEquals_[last] & upTo(end % 64);
        else mask &= upTo(end % 64);
        return mask != 0;
      }
    }
    return holdsColonOrEqualsFurther(from, span);
  }

  // Passes over the plain lines from lineStart on, as the header scan would one by one: lines of
  // 1 to kMaxHeaderLineBytes bytes that end before limit, start with a word byte (not a NUL, not
  // a delimiter) and hold no ':' and no '='. Each one passed counts in lines; true when lines
  // went past maxLines, where the scan stops. Leaves lineStart at the first line it did not
  // pass, which the caller then looks at the long way.
  bool passPlainLines(int& lineStart, int limit, int& lines, int maxLines) {
    int start = lineStart;
    while (start < limit) {
      const int block = start / 64;
      if (block + 1 >= marked_) {
        if (block + 1 >= kMarkedBlocks) break;
        markThrough(std::min(block + kMarkAhead, kMarkedBlocks - 1));
      }
      // The line's end and its ':' and '=' bytes within this block and the next, with selects
      // rather than branches: whether a line ends in its own block or the next is a coin toss
      // the branch predictor loses. at is the end's place from the block's start, 128 for none.
      const int shift = start % 64;
      const uint64_t endsHere = lineEnds_[block] & (~uint64_t{0} << shift);
      const int here = std::countr_zero(endsHere);
      const int at = here < 64 ? here : 64 + std::countr_zero(lineEnds_[block + 1]);
      if (at == 128) break;
      const int end = block * 64 + at;
      if (end >= limit || end == start || end - start > static_cast<int>(kMaxHeaderLineBytes)) break;
      const uint64_t marksHere = colonOrEquals_[block] & (~uint64_t{0} << shift) & upTo(at < 64 ? at : 0);
      const uint64_t marksNext = at > 64 ? colonOrEquals_[block + 1] & upTo(static_cast<size_t>(at - 64) & 63) : 0;
      if (!startsWithWordByte(text_[start]) || (marksHere | marksNext) != 0) break;
      start = end + 2;
      if (++lines > maxLines) {
        lineStart = start;
        return true;
      }
    }
    lineStart = start;
    return false;
  }

  static constexpr int kMarkedBlocks = 256;
  static constexpr int kMarkedBytes = kMarkedBlocks * 64;
  // Blocks marked beyond the one asked for: a call marks 512 bytes or so, some 7 lines.
  static constexpr int kMarkAhead = 7;

 private:
  static bool startsWithWordByte(char c) { return c != '\0' && !isWordDelimiter(c); }
  // The bits below position within a block; all of them for 0 (a span ending on a block's end).
  static uint64_t upTo(size_t position) { return ~uint64_t{0} >> ((64 - position) & 63); }
  // Marks every block up to and including block.
  void markThrough(int block);
  int findLineEndFurther(int from, int limit);
  bool holdsColonOrEqualsFurther(int from, size_t span);

  const char* text_;
  int length_;
  int marked_ = 0;  // blocks marked so far, from the first
  // Bit i of a block's mask stands for byte 64 * block + i. Left uninitialized: only marked
  // blocks are read.
  uint64_t lineEnds_[kMarkedBlocks];      // a CR whose next byte is LF
  uint64_t colonOrEquals_[kMarkedBlocks];
};

}  // namespace vireo
