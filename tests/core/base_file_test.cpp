// Every read of a base goes through BaseFile's windows: they must give the file's bytes exactly,
// whatever the pattern of reads, and refuse what lies beyond the file or the format's reach.
#include <gtest/gtest.h>

#include <random>

#include "dbx/base_file.h"
#include "tools/dbx_writer/dbx_image.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

// A file of random bytes, of the given size, written as "f" into folder.
DbxImage randomFile(const ScratchDir& folder, std::mt19937& random, uint32_t size) {
  DbxImage image;
  image.ensure(size);
  for (uint8_t& b : image.bytes) b = static_cast<uint8_t>(random());
  image.save(folder.file("f"));
  return image;
}

TEST(BaseFile, GivesTheFileBytesForEveryPatternOfReads) {
  ScratchDir folder;
  std::mt19937 random(5);
  const DbxImage image = randomFile(folder, random, 3 * 1024 * 1024 + 123);
  dbx::BaseFile file;
  ASSERT_TRUE(file.open(folder.file("f")));

  std::vector<uint8_t> got(700 * 1024);
  uint32_t sequential = 0;
  for (int i = 0; i < 20000; ++i) {
    uint32_t offset;
    size_t length;
    switch (i % 4) {
      case 0: offset = static_cast<uint32_t>(random() % image.size()); length = random() % 600; break;
      case 1: offset = sequential; length = 16 + random() % 512; sequential += static_cast<uint32_t>(length); break;
      case 2: offset = image.size() - static_cast<uint32_t>(random() % 700); length = random() % 700; break;
      default: offset = static_cast<uint32_t>(random() % image.size()); length = random() % got.size(); break;
    }
    if (sequential >= image.size()) sequential = 0;
    const bool inside = uint64_t{offset} + length <= image.size();
    ASSERT_EQ(file.readExact(offset, got.data(), length), inside) << offset << "+" << length;
    if (inside) {
      ASSERT_TRUE(std::equal(got.begin(), got.begin() + static_cast<long>(length), image.bytes.begin() + offset));
    }
  }
}

TEST(BaseFile, RefusesOffsetsTheFormatCannotReach) {
  ScratchDir folder;
  DbxImage image;
  image.ensure(64);
  image.save(folder.file("f"));
  dbx::BaseFile file;
  ASSERT_TRUE(file.open(folder.file("f")));
  uint8_t byte;
  EXPECT_TRUE(file.readExact(63, &byte, 1));
  EXPECT_FALSE(file.readExact(64, &byte, 1));
  EXPECT_FALSE(file.readExact(0x80000000u, &byte, 1));
  EXPECT_FALSE(file.open(folder.file("missing")));
  EXPECT_FALSE(file.error().empty());
  EXPECT_FALSE(file.open(folder.path()));
}

// A walk looks at block headers in place: a view gives the file's bytes from one window and
// counts them, or gives nothing and counts nothing where they straddle two windows or pass the
// file's end; readExact then gives those bytes.
TEST(BaseFile, ViewsBytesInOneWindowOrLeavesThemToACopy) {
  ScratchDir folder;
  std::mt19937 random(6);
  const DbxImage image = randomFile(folder, random, 3 * 1024 * 1024 + 77);
  dbx::BaseFile file;
  ASSERT_TRUE(file.open(folder.file("f")));

  uint8_t copy[600];
  int viewed = 0, copied = 0;
  uint32_t sequential = 0;
  for (int i = 0; i < 40000; ++i) {
    uint32_t offset;
    size_t length;
    switch (i % 3) {
      case 0: offset = sequential; length = 16; sequential += 16 + static_cast<uint32_t>(random() % 600); break;
      case 1: offset = static_cast<uint32_t>(random() % image.size()); length = 1 + random() % 600; break;
      default: offset = image.size() - static_cast<uint32_t>(random() % 40); length = 1 + random() % 40; break;
    }
    if (sequential >= image.size()) sequential = 0;
    const bool inside = uint64_t{offset} + length <= image.size();
    const uint64_t before = file.bytesRead();
    const uint8_t* bytes = file.view(offset, length);
    if (bytes) {
      ASSERT_TRUE(inside) << offset << "+" << length;
      ASSERT_TRUE(std::equal(bytes, bytes + length, image.bytes.begin() + offset)) << offset << "+" << length;
      ASSERT_EQ(file.bytesRead(), before + length);
      ++viewed;
    } else {
      ASSERT_EQ(file.bytesRead(), before);
      ASSERT_EQ(file.readExact(offset, copy, length), inside) << offset << "+" << length;
      if (inside) {
        ASSERT_TRUE(std::equal(copy, copy + length, image.bytes.begin() + offset));
        ++copied;
      }
    }
  }
  EXPECT_GT(viewed, 30000);
  EXPECT_GT(copied, 0);  // some reads straddled two windows
  EXPECT_EQ(file.view(0x80000000u, 1), nullptr);
}

// Read-ahead serves the caller's stretch and a small file: reading a stretch front to back
// fetches it once and nothing past its end, and a small file costs what it holds.
TEST(BaseFile, FetchesAStretchOnceAndNothingBeyondIt) {
  ScratchDir folder;
  DbxImage image;
  image.ensure(3 * 1024 * 1024);
  image.save(folder.file("large"));
  DbxImage small;
  small.ensure(10000);
  small.save(folder.file("small"));

  dbx::BaseFile file;
  ASSERT_TRUE(file.open(folder.file("large")));
  constexpr uint32_t kStart = 100000, kEnd = 1700000;
  file.limitReadAhead(kEnd);
  uint8_t piece[528];
  for (uint32_t at = kStart; at + sizeof piece <= kEnd; at += sizeof piece)
    ASSERT_TRUE(file.readExact(at, piece, sizeof piece));
  EXPECT_LE(file.bytesFetched(), kEnd - kStart + 2 * 4096);

  ASSERT_TRUE(file.open(folder.file("small")));
  for (uint32_t at = 0; at + 16 <= small.size(); at += 16) ASSERT_TRUE(file.readExact(at, piece, 16));
  EXPECT_EQ(file.bytesFetched(), small.size());
}

}  // namespace
}  // namespace vireo::testing
