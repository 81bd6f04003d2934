// A browse's whole reading stays within a small multiple of the file's size, whatever the file
// claims: chains that share their blocks must not make every message read the same megabyte.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dbx/index_browse.h"
#include "dbx/layout.h"
#include "dbx/message_reading.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

constexpr int32_t kLargestUsed = 32767;  // what an indexed message's block may claim
constexpr int kTailBlocks = 30;

// Indexed messages whose first blocks each claim 32,767 bytes and link into one shared tail of 30
// blocks, 16 bytes apart, each claiming as much; the rest of the file is text. Every message is
// about a megabyte long and they all overlap. The writer's messages take about 600 bytes each, so
// the file holds far fewer of them than the block budget of a browse (2 x size / 16 + 1000
// blocks) would let through: only a bound on the bytes stops them.
DbxImage overlappingChains(uint32_t fileSize) {
  const int messages = static_cast<int>(fileSize / 1024);
  EXPECT_LT(messages * (kTailBlocks + 1), 2 * (fileSize / dbx::kBlockHeaderSize) + 1000);
  DbxWriter writer;
  MessageSpec item;
  item.text = "x";
  for (int i = 0; i < messages; ++i) writer.add(item);
  DbxImage image = writer.build();
  const uint32_t tail = image.reserve(kTailBlocks * dbx::kBlockHeaderSize + 4);
  for (int b = 0; b < kTailBlocks; ++b) {
    const uint32_t at = tail + static_cast<uint32_t>(b) * dbx::kBlockHeaderSize;
    image.put32(at + dbx::kBlockSelf, at);
    image.put32(at + dbx::kBlockUsed, static_cast<uint32_t>(kLargestUsed));
    image.put32(at + dbx::kBlockNext, b + 1 < kTailBlocks ? at + dbx::kBlockHeaderSize : 0);
  }
  for (const WrittenMessage& message : writer.messages()) {
    const uint32_t first = message.blockOffsets.front();
    image.put32(first + dbx::kBlockUsed, static_cast<uint32_t>(kLargestUsed));
    image.put32(first + dbx::kBlockNext, tail);
  }
  std::string filler;
  while (image.size() + filler.size() < fileSize) filler += "charset=zz\r\n";
  image.putBytes(image.size(), filler.substr(0, fileSize - image.size()));
  return image;
}

uint64_t readAll(MessageBaseReader& reader, dbx::OperationOutcome& browse) {
  browse = dbx::browseIndex(reader.workingPath, reader, {}).outcome;
  if (!browse.ok()) return browse.bytesRead;
  const dbx::OperationOutcome reading = dbx::readMessages(
      reader.workingPath, reader, {},
      [&reader](const char* text, int length, int recordIndex) { return reader.parseHeaders(text, length, recordIndex); });
  return browse.bytesRead + reading.bytesRead;
}

TEST(ReadingBound, EndsABrowseOfOverlappingChainsAsABadFormatWithinTheBound) {
  for (const uint32_t size : {64u << 10, 1u << 20}) {
    const DbxImage image = overlappingChains(size);
    ASSERT_EQ(image.size(), size);
    OpenedBase base(image);
    EXPECT_EQ(base.reader.ok, 0) << size;
    EXPECT_TRUE(base.reader.browseFailed);
    ASSERT_TRUE(base.showedBadFormat()) << size;
    EXPECT_THAT(base.shown.texts.back(), ::testing::HasSubstr("take more reading than the file holds at offset "));

    MessageBaseReader again;
    again.workingPath = base.reader.workingPath;
    dbx::OperationOutcome browse;
    const uint64_t bytes = readAll(again, browse);
    EXPECT_EQ(browse.end, dbx::OperationOutcome::End::badFormat);
    EXPECT_LE(bytes, dbx::browseReadingBound(size)) << size;

    // Recovery remains the remedy: it counts at most 512 bytes a block.
    OpenedBase recovered(image, true);
    EXPECT_EQ(recovered.reader.ok, 1);
  }
}

TEST(ReadingBound, LeavesRealBasesFarInside) {
  DbxWriter writer;
  for (int i = 0; i < 300; ++i) writer.add(simpleMessage("m" + std::to_string(i), std::string(3000, 'x') + "\r\n"));
  MessageSpec loose;
  loose.text = simpleMessage("loose");
  loose.listing = MessageSpec::Listing::loose;
  writer.add(loose);
  const DbxImage image = writer.build();
  OpenedBase base(image);
  ASSERT_EQ(base.reader.ok, 1);
  EXPECT_EQ(base.reader.validCount, 301);

  MessageBaseReader again;
  again.workingPath = base.reader.workingPath;
  dbx::OperationOutcome browse;
  const uint64_t bytes = readAll(again, browse);
  ASSERT_TRUE(browse.ok());
  // Every byte is read about once: the index, the records, the block headers and the messages.
  EXPECT_LE(bytes, 2 * uint64_t{image.size()});
  EXPECT_LE(2 * uint64_t{image.size()}, dbx::browseReadingBound(image.size()));
}

}  // namespace
}  // namespace vireo::testing
