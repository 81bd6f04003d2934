// Finding data-block candidates: the vector kernels against the byte-by-byte definition, the
// chunked pass over a file, and the candidate lookup.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "dbx/base_file.h"
#include "dbx/candidate_scan.h"
#include "dbx/scan_candidates.h"
#include "dbx/self_offset_search.h"
#include "reader/message_base_reader.h"
#include "tools/dbx_writer/dbx_image.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::dbx {
namespace {

using testing::DbxImage;
using testing::ScratchDir;

std::vector<uint32_t> byteByByte(const std::vector<uint8_t>& bytes, size_t count, uint32_t firstOffset) {
  std::vector<uint32_t> hits;
  for (size_t i = 0; i < count; ++i) {
    const uint32_t word = uint32_t{bytes[i]} | uint32_t{bytes[i + 1]} << 8 | uint32_t{bytes[i + 2]} << 16 |
                          uint32_t{bytes[i + 3]} << 24;
    if (word == firstOffset + i) hits.push_back(firstOffset + static_cast<uint32_t>(i));
  }
  return hits;
}

void putWord(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int b = 0; b < 4; ++b) bytes[at + static_cast<size_t>(b)] = static_cast<uint8_t>(value >> (8 * b));
}

// Every version must find exactly what the definition finds, for the given bytes and start.
void expectAllVersionsAgree(const std::vector<uint8_t>& bytes, uint32_t firstOffset) {
  const size_t count = bytes.size() - 3;
  const std::vector<uint32_t> expected = byteByByte(bytes, count, firstOffset);
  using Version = void (*)(const uint8_t*, size_t, uint32_t, std::vector<uint32_t>&);
  std::vector<std::pair<const char*, Version>> versions = {
      {"scalar", findSelfOffsetsScalar}, {"sse2", findSelfOffsetsSse2}, {"dispatch", findSelfOffsets}};
  if (avx2Available()) versions.emplace_back("avx2", findSelfOffsetsAvx2);
  if (avx512Available()) versions.emplace_back("avx512", findSelfOffsetsAvx512);
  for (const auto& [name, version] : versions) {
    std::vector<uint32_t> hits;
    version(bytes.data(), count, firstOffset, hits);
    EXPECT_EQ(hits, expected) << name << " from offset " << firstOffset;
  }
}

// Starts chosen so runs cross multiples of 256, 65,536 and 2^24 at odd lane positions.
const uint32_t kStarts[] = {0, 1, 0xFFFF - 40, 0x10000 - 3, 0xFFFFFF - 1000, 0x7FFF0000 + 17, 0xFFFFFFFFu - 70000};

TEST(RecoverSelfOffsets, VectorVersionsMatchDefinitionOnRandomBytes) {
  std::mt19937 random(7);
  for (const uint32_t start : kStarts) {
    std::vector<uint8_t> bytes(65536 + 3 + 29);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    // Random bytes almost never hold a self-offset word, so plant some at every lane position.
    for (size_t at = 0; at + 3 < bytes.size() - 3; at += 1 + random() % 97) putWord(bytes, at, start + static_cast<uint32_t>(at));
    expectAllVersionsAgree(bytes, start);
  }
}

TEST(RecoverSelfOffsets, VectorVersionsMatchDefinitionOnSelfReferencingWords) {
  for (const uint32_t start : kStarts) {
    for (size_t phase = 0; phase < 4; ++phase) {
      std::vector<uint8_t> bytes(70001);
      for (size_t at = phase; at + 4 <= bytes.size(); at += 4) putWord(bytes, at, start + static_cast<uint32_t>(at));
      expectAllVersionsAgree(bytes, start);
    }
    // Every low byte matches its position: each lane passes the first filter.
    std::vector<uint8_t> lowBytes(5003);
    for (size_t i = 0; i < lowBytes.size(); ++i) lowBytes[i] = static_cast<uint8_t>(start + i);
    expectAllVersionsAgree(lowBytes, start);
  }
}

TEST(RecoverSelfOffsets, ShortRunsUseOnlyTheirOwnBytes) {
  for (size_t length = 3; length < 80; ++length) {
    std::vector<uint8_t> bytes(length, 0);
    expectAllVersionsAgree(bytes, 0);
  }
}

struct ScannedFile {
  ScratchDir folder;
  MessageBaseReader reader;
  BaseFile file;
  explicit ScannedFile(const DbxImage& image) {
    reader.workingPath = folder.file("base.dbx");
    image.save(reader.workingPath);
    EXPECT_TRUE(file.open(reader.workingPath));
  }
  std::vector<uint32_t> offsets() {
    const CandidateArray candidates = collectCandidates(file, {});
    std::vector<uint32_t> out;
    for (size_t i = 0; i < candidates.size(); ++i) out.push_back(candidates[i].offset);
    return out;
  }
};

TEST(RecoverCandidateScan, FindsExactlyTheDefinedOffsetsAcrossChunks) {
  // Self-offset words near every chunk boundary, random bytes between them, and a dense run of
  // self-referencing words straddling the second boundary.
  std::mt19937 random(11);
  DbxImage image;
  image.ensure(3 * kScanChunkSize + 777);
  for (uint8_t& b : image.bytes) b = static_cast<uint8_t>(random());
  const uint32_t step = kScanChunkSize - kScanChunkOverlap;
  for (uint32_t boundary = step; boundary < image.size(); boundary += step) {
    for (uint32_t at = boundary - 9; at <= boundary + 5; at += 7) image.put32(at, at);
  }
  for (uint32_t at = 2 * step - 4000; at < 2 * step + 4000; at += 4) image.put32(at, at);
  image.put32(0, 0);
  image.put32(image.size() - 5, image.size() - 5);  // the last offset tested

  ScannedFile scanned(image);
  std::vector<uint8_t> padded = image.bytes;
  const std::vector<uint32_t> expected = byteByByte(padded, image.size() - 4, 0);
  EXPECT_EQ(scanned.offsets(), expected);
  EXPECT_EQ(expected.back(), image.size() - 5);
}

TEST(RecoverCandidateScan, BlockFourBytesBeforeTheChunkEndIsFoundOnce) {
  DbxImage image;
  image.writeBlock(999996, 512, 100, 0, std::string(100, 'x'));
  image.ensure(2 * kScanChunkSize);
  ScannedFile scanned(image);
  EXPECT_EQ(scanned.offsets(), (std::vector<uint32_t>{0, 999996}));  // zeros at 0 hold 0
}

TEST(RecoverCandidateScan, TinyFilesHaveNoCandidates) {
  for (size_t length = 0; length <= 4; ++length) {
    DbxImage image;
    image.ensure(length);
    ScannedFile scanned(image);
    EXPECT_TRUE(scanned.offsets().empty()) << length;
  }
  DbxImage five;
  five.ensure(5);  // the word at 0 is 0
  EXPECT_EQ(ScannedFile(five).offsets(), std::vector<uint32_t>{0});
  DbxImage lastWord;
  lastWord.put32(0, 1);
  lastWord.put32(4, 4);  // the file's last word is never tested: no block header fits there
  EXPECT_TRUE(ScannedFile(lastWord).offsets().empty());
}

TEST(RecoverCandidates, GrowInStepsAndFindByOffset) {
  CandidateArray candidates;
  EXPECT_EQ(findCandidate(candidates, 0), -1);
  for (uint32_t i = 0; i < 2500; ++i) candidates.append(16 * i + 3);
  EXPECT_EQ(candidates.capacity(), 3000u);
  for (uint32_t i = 0; i < 2500; ++i) ASSERT_EQ(findCandidate(candidates, 16 * i + 3), static_cast<int64_t>(i));
  EXPECT_EQ(findCandidate(candidates, 0), -1);
  EXPECT_EQ(findCandidate(candidates, 4), -1);
  EXPECT_EQ(findCandidate(candidates, 16 * 2499 + 4), -1);
  EXPECT_EQ(findCandidate(candidates, 0xFFFFFFFFu), -1);
  EXPECT_EQ(candidates[1000].owner, kOwnerUnused);
}

}  // namespace
}  // namespace vireo::dbx
