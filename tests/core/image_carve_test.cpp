// Carving bases out of disk images: the cases users meet, each message back byte for byte, and
// no recovered file made of two messages or two bases.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dbx/image_block_scan.h"
#include "dbx/layout.h"
#include "platform/manual_reset_event.h"
#include "platform/read_only_file.h"
#include "reader/image_carve_run.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/disk_image.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

std::string recordBytes(const MessageBaseReader& reader, int index) {
  const std::string file = fileText(reader.workingPath);
  std::string bytes;
  for (const BlockRef& block : reader.blocksOf(index)) bytes += file.substr(block.offset, static_cast<size_t>(block.length));
  return bytes;
}

struct CarveResult {
  size_t bases = 0;
  size_t surviving = 0;
  size_t exact = 0;          // surviving messages found whole among the recovered files
  std::vector<std::string> joined;  // recovered files that are not part of one message
};

CarveResult carve(CarveCase which, int messages = 60) {
  const CarveScenario scenario = buildCarveScenario(which, messages);
  ScratchDir folder;
  scenario.image.save(folder.file("disk.img"));
  CapturedMessages shown;
  const ImageCarve carved = carveImage(folder.file("disk.img"), folder.path(), nullptr, nullptr);
  EXPECT_TRUE(carved.outcome.ok());
  CarveResult result;
  result.bases = carved.bases.size();
  result.surviving = scenario.survivingMessages();

  std::vector<std::string> recovered;
  std::vector<size_t> sure;  // per file, how many of its bytes must come from one message
  for (const auto& base : carved.bases) {
    for (int i = 0; i < base->reader.count(); ++i) {
      if (base->reader.row(i).invalid) continue;
      recovered.push_back(recordBytes(base->reader, i));
      // A fragment's last block may be where its piece ended, reaching past it into other data.
      const BlockSpan blocks = base->reader.blocksOf(i);
      sure.push_back(recovered.back().size() -
                     (base->reader.row(i).fragment ? static_cast<size_t>(blocks.back().length) : 0));
    }
  }
  for (size_t b = 0; b < scenario.bases.size(); ++b) {
    for (size_t m = 0; m < scenario.messages[b].size(); ++m) {
      if (!scenario.image.messageSurvives(static_cast<int>(b), scenario.messages[b][m], scenario.bases[b])) continue;
      if (std::find(recovered.begin(), recovered.end(), scenario.texts[b][m]) != recovered.end()) ++result.exact;
    }
  }
  for (size_t f = 0; f < recovered.size(); ++f) {
    const std::string part = recovered[f].substr(0, sure[f]);
    bool inOne = false;
    for (const auto& texts : scenario.texts)
      for (const std::string& text : texts) inOne = inOne || text.find(part) != std::string::npos;
    if (!inOne) result.joined.push_back(part.substr(0, 80));
  }
  return result;
}

void expectRecovered(const CarveResult& result, size_t bases) {
  EXPECT_EQ(result.bases, bases);
  EXPECT_GT(result.surviving, 0u);
  EXPECT_GE(result.exact * 100, result.surviving * 99) << result.exact << " of " << result.surviving;
  EXPECT_TRUE(result.joined.empty()) << result.joined.size() << " files, the first: " << result.joined.front();
}

TEST(ImageCarve, FindsAWholeBase) { expectRecovered(carve(CarveCase::whole), 1); }
TEST(ImageCarve, JoinsThreePiecesStoredOutOfOrder) { expectRecovered(carve(CarveCase::threePieces), 1); }
TEST(ImageCarve, RecoversABaseWhoseHeaderAndIndexWereOverwritten) { expectRecovered(carve(CarveCase::headerOverwritten), 1); }
TEST(ImageCarve, RecoversWhatSurvivesOfABaseCutShort) { expectRecovered(carve(CarveCase::cutShort), 1); }
TEST(ImageCarve, KeepsTwoInterleavedBasesApart) { expectRecovered(carve(CarveCase::interleaved), 2); }
TEST(ImageCarve, FindsAnOldCopyAsABaseOfItsOwn) { expectRecovered(carve(CarveCase::oldCopy), 2); }

TEST(ImageCarve, ReportsPiecesAndHeaderAsPlaced) {
  const CarveScenario scenario = buildCarveScenario(CarveCase::threePieces);
  ScratchDir folder;
  scenario.image.save(folder.file("disk.img"));
  CapturedMessages shown;
  const ImageCarve carved = carveImage(folder.file("disk.img"), folder.path(), nullptr, nullptr);
  ASSERT_EQ(carved.bases.size(), 1u);
  const dbx::FoundBase& found = carved.bases[0]->found;
  const std::vector<PlacedRun> runs = scenario.image.runsOf(0);
  ASSERT_EQ(found.pieces.size(), runs.size());
  EXPECT_TRUE(found.headerSurvived);
  EXPECT_EQ(found.origin, static_cast<int64_t>(runs[1].imageOffset));  // the run holding offset 0
  for (const dbx::ImageSegment& piece : found.pieces) {
    const auto placed = std::find_if(runs.begin(), runs.end(), [&](const PlacedRun& run) {
      return piece.imageStart - piece.baseStart == run.imageOffset - run.baseOffset;
    });
    ASSERT_NE(placed, runs.end());
    EXPECT_EQ(piece.baseStart, placed->baseOffset);
  }
}

TEST(ImageCarve, FindsNothingInAnImageWithoutBases) {
  ScratchDir folder;
  DiskImage(256).save(folder.file("disk.img"));
  const ImageCarve carved = carveImage(folder.file("disk.img"), folder.path(), nullptr, nullptr);
  EXPECT_TRUE(carved.outcome.ok());
  EXPECT_TRUE(carved.bases.empty());
  EXPECT_EQ(fileNamesIn(folder.path()), std::vector<std::string>{"disk.img"});
}

TEST(ImageCarve, LeavesTheImageAsItWasAndStopsWhenAsked) {
  const CarveScenario scenario = buildCarveScenario(CarveCase::threePieces, 20);
  ScratchDir folder;
  const std::string path = folder.file("disk.img");
  scenario.image.save(path);
  ::chmod(path.c_str(), 0400);
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  CapturedMessages shown;
  {
    ManualResetEvent stop;
    stop.set();
    const ImageCarve stopped = carveImage(path, folder.path(), &stop, nullptr);
    EXPECT_EQ(stopped.outcome.end, dbx::OperationOutcome::End::stopped);
    EXPECT_TRUE(stopped.bases.empty());
  }
  const ImageCarve carved = carveImage(path, folder.path(), nullptr, nullptr);
  EXPECT_EQ(carved.bases.size(), 1u);
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(fileText(path), std::string(scenario.image.bytes.begin(), scenario.image.bytes.end()));
  // A character device is not an image; a second run's files never replace the first's.
  EXPECT_EQ(carveImage("/dev/null", folder.path(), nullptr, nullptr).outcome.end, dbx::OperationOutcome::End::cannotOpen);
  EXPECT_EQ(carveImage(path, folder.path(), nullptr, nullptr).outcome.end, dbx::OperationOutcome::End::cannotOpen);
}

TEST(ImageBlockScan, VectorSearchFindsWhatTheDefinitionFinds) {
  std::mt19937 random(5);
  std::vector<uint8_t> bytes(64 * 1024 + 16);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random() % 4 == 0 ? random() : 0);
  // Plant blocks, some plausible, some wrong in one field each.
  for (uint32_t at = 512; at + 16 <= 64 * 1024; at += 1364) {
    const uint32_t position = at & ~3u;
    const uint32_t next = random() % 2 ? 0u : static_cast<uint32_t>(0x8000 + 4 * (random() % 100));
    const uint32_t words[4] = {0x4000 + (position & 511), random() % 3 == 0 ? 508u : 512u,
                               static_cast<uint32_t>(random() % 600), next};
    std::memcpy(bytes.data() + position, words, sizeof words);
  }
  for (const uint64_t first : {uint64_t{0}, uint64_t{4096}, uint64_t{0x7FFFF000}}) {
    for (const size_t count : {size_t{64 * 1024}, size_t{64 * 1024 - 4}, size_t{12}}) {
      std::vector<dbx::BlockVote> fast, plain;
      dbx::findBlockVotes(bytes.data(), count, first, fast);
      dbx::findBlockVotesScalar(bytes.data(), count, first, plain);
      ASSERT_EQ(fast.size(), plain.size());
      for (size_t i = 0; i < fast.size(); ++i) EXPECT_EQ(fast[i].position, plain[i].position);
    }
  }
}

TEST(ImageBlockScan, AcceptsOnlyBlocksThatCouldBeOnes) {
  const auto header = [](uint32_t self, uint32_t size, int32_t used, uint32_t next) {
    std::vector<uint8_t> bytes(16);
    const uint32_t words[4] = {self, size, static_cast<uint32_t>(used), next};
    std::memcpy(bytes.data(), words, 16);
    return bytes;
  };
  const uint64_t at = 1 << 20;
  EXPECT_TRUE(dbx::plausibleBlock(header(0x3000, 512, 200, 0).data(), at));
  EXPECT_TRUE(dbx::plausibleBlock(header(0x3000, 508, 512, 0x3210).data(), at));
  EXPECT_TRUE(dbx::plausibleBlock(header(0x3000, 512, 512, 0x1000000).data(), at - 0x1000000));  // a later piece first
  EXPECT_FALSE(dbx::plausibleBlock(header(0x3004, 512, 200, 0).data(), at));   // origin off a sector
  EXPECT_FALSE(dbx::plausibleBlock(header(0x3000, 0x210, 200, 0).data(), at));  // no block size
  EXPECT_FALSE(dbx::plausibleBlock(header(0x3000, 512, 0, 0).data(), at));      // nothing used
  EXPECT_FALSE(dbx::plausibleBlock(header(0x3000, 512, 529, 0).data(), at));
  EXPECT_FALSE(dbx::plausibleBlock(header(0x3000, 512, 100, 0x3000).data(), at));  // itself next
  EXPECT_FALSE(dbx::plausibleBlock(header(0x3000, 512, 100, 0x3002).data(), at));
  EXPECT_FALSE(dbx::plausibleBlock(header(0x200, 512, 100, 0).data(), at));         // inside the file header
  EXPECT_FALSE(dbx::plausibleBlock(header(0x80000200, 512, 100, 0).data(), at));    // unreachable
}

}  // namespace
}  // namespace vireo::testing
