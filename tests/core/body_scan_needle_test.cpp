// The needle search finds what memmem finds, wherever the needle lies against the 64-byte steps
// and the text's end.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "content/body_scan_needle.h"

namespace vireo {
namespace {

TEST(BodyScanNeedle, FindsWhatMemmemFinds) {
  const std::string needles[] = {"charset=", "Content-Disposition: attachment", "ab"};
  std::mt19937 random(31);
  for (int round = 0; round < 4000; ++round) {
    const std::string& needle = needles[round % std::size(needles)];
    // Pieces of the needle (its first and last bytes alone, near misses) in random filler.
    const std::string pieces[] = {needle, needle.substr(0, needle.size() - 1), needle.substr(1),
                                  std::string(1, needle.front()), std::string(1, needle.back()),
                                  "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", "\r\n", "Content-Type: "};
    std::string built;
    const size_t target = random() % (round % 5 == 0 ? 3000 : 300);
    const size_t firstPiece = round % 3 == 0 ? 0 : 1;  // two rounds in three hold no whole needle
    while (built.size() < target) built += pieces[firstPiece + random() % (std::size(pieces) - firstPiece)];
    // An exact-size copy, so that a read past the end trips the address sanitizer.
    std::unique_ptr<char[]> text(new char[built.size() + 1]);
    std::memcpy(text.get(), built.data(), built.size());
    for (int query = 0; query < 4; ++query) {
      const size_t from = built.empty() ? 0 : random() % (built.size() + 1);
      const size_t length = built.size() - from;
      const void* expected = ::memmem(text.get() + from, length, needle.data(), needle.size());
      ASSERT_EQ(static_cast<const void*>(findNeedle(text.get() + from, length, needle)), expected)
          << round << " " << from;
    }
  }
}

TEST(BodyScanNeedle, EdgesOfTheText) {
  const std::string needle = "charset=";
  for (size_t length = 0; length < 200; ++length) {
    for (const size_t place : {size_t{0}, length / 2, length >= needle.size() ? length - needle.size() : 0}) {
      std::string built(length, 'c');
      if (place + needle.size() <= length) built.replace(place, needle.size(), needle);
      std::unique_ptr<char[]> text(new char[length + 1]);
      std::memcpy(text.get(), built.data(), length);
      const void* expected = ::memmem(text.get(), length, needle.data(), needle.size());
      ASSERT_EQ(static_cast<const void*>(findNeedle(text.get(), length, needle)), expected) << length << " " << place;
    }
  }
}

}  // namespace
}  // namespace vireo
