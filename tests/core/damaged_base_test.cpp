// Bases damaged at random: browsing and recovery end with what they could read, never crash,
// hang, or hand out a block list that reaches outside the file.
#include <gtest/gtest.h>

#include <random>

#include "dbx/layout.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

DbxImage soundBase(std::mt19937& random) {
  DbxWriter writer;
  writer.setEntriesPerNode(1 + static_cast<int>(random() % 4));
  writer.setPlacement(static_cast<BlockPlacement>(random() % 3));
  for (int i = 0; i < 12; ++i) {
    MessageSpec item;
    item.text = simpleMessage("m" + std::to_string(i), std::string(random() % 3000, 'b') + "\r\n");
    item.listing = i % 5 == 4 ? MessageSpec::Listing::loose : MessageSpec::Listing::index;
    item.deleted = i % 7 == 3;
    item.indirectAttribute = i % 2 == 0 && item.listing == MessageSpec::Listing::index;
    item.dataPerBlock = 64 + static_cast<int>(random() % 449);
    writer.add(item);
  }
  return writer.build();
}

// Words that damage tends to leave: small counts, offsets of other structures, all ones.
uint32_t damagingWord(std::mt19937& random, const DbxImage& image) {
  switch (random() % 6) {
    case 0: return 0;
    case 1: return random() % 1024;
    case 2: return 0xFFFFFFFFu;
    case 3: return static_cast<uint32_t>(random() % image.size()) & ~3u;
    case 4: return static_cast<uint32_t>(random());
    default: return static_cast<uint32_t>(random() % image.size());
  }
}

void expectSoundTable(const OpenedBase& base, uint32_t fileSize) {
  const MessageBaseReader& reader = base.reader;
  ASSERT_TRUE(reader.ok == 0 || reader.ok == 1);
  ASSERT_EQ(reader.records.size(), reader.listCount());
  int number = 0;
  for (size_t i = 0; i < reader.records.size(); ++i) {
    const MessageRecord& record = reader.records[i];
    if (record.invalid) {
      EXPECT_TRUE(record.from().empty() && record.to().empty() && record.subject().empty());
      continue;
    }
    EXPECT_EQ(record.number, number++);
    int64_t total = 0;
    for (const BlockRef& block : reader.blocksOf(i)) {
      EXPECT_GE(block.length, 0);
      EXPECT_LE(uint64_t{block.offset} + static_cast<uint64_t>(block.length), fileSize);
      total += block.length;
    }
    EXPECT_EQ(total, record.size);
  }
}

TEST(DamagedBase, BrowseAndRecoveryEndSoundlyWhateverIsDamaged) {
  std::mt19937 random(2024);
  for (int round = 0; round < 400; ++round) {
    DbxImage image = soundBase(random);
    const int damages = 1 + static_cast<int>(random() % 12);
    for (int d = 0; d < damages; ++d) {
      const uint32_t at = static_cast<uint32_t>(random() % (image.size() - 4));
      image.put32(at, damagingWord(random, image));
    }
    if (random() % 8 == 0) image.truncate(random() % image.size());
    for (bool recover : {false, true}) {
      OpenedBase base(image, recover);
      SCOPED_TRACE("round " + std::to_string(round) + (recover ? " recovery" : " browse"));
      expectSoundTable(base, image.size());
      if (recover) {
        EXPECT_EQ(base.reader.ok, 1);
      }
    }
  }
}

}  // namespace
}  // namespace vireo::testing
