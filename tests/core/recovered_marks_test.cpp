// What recovery says of the messages it finds: fragments kept and told apart, and messages the
// index does not list.
#include <gtest/gtest.h>

#include <string>

#include "dbx/layout.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

std::string longBody(int lines) {
  std::string body;
  for (int l = 0; l < lines; ++l) body += "Body line " + std::to_string(l) + " with some words in it.\r\n";
  return body;
}

TEST(RecoveredMarks, MarksExactlyTheMessagesLeftOutOfTheIndex) {
  DbxWriter writer;
  for (int i = 0; i < 350; ++i) {
    MessageSpec message;
    message.text = simpleMessage((i % 7 == 0 ? "lost " : "listed ") + std::to_string(i));
    message.listing = i % 7 == 0 ? MessageSpec::Listing::none : MessageSpec::Listing::index;
    message.deleted = i % 7 != 0;  // the listed ones are deleted: deleted is not the same as unlisted
    writer.add(message);
  }
  const OpenedBase base(writer.build(), true);
  EXPECT_FALSE(base.reader.indexUnreadable);
  int marked = 0;
  for (const MessageRecord* r : base.valid()) {
    EXPECT_EQ(r->unindexed, r->subject().starts_with("lost ")) << r->subject();
    EXPECT_FALSE(r->fragment) << r->subject();
    marked += r->unindexed ? 1 : 0;
  }
  EXPECT_EQ(marked, 50);
  EXPECT_EQ(base.valid().size(), 350u);
}

TEST(RecoveredMarks, MarksNothingWhenTheIndexCannotBeRead) {
  DbxWriter writer;
  for (int i = 0; i < 20; ++i) {
    MessageSpec message;
    message.text = simpleMessage("m" + std::to_string(i));
    message.listing = i % 2 ? MessageSpec::Listing::none : MessageSpec::Listing::index;
    writer.add(message);
  }
  DbxImage image = writer.build();
  image.put32(writer.rootOffset(), 0x12345678);  // the root no longer names itself
  const OpenedBase base(image, true);
  EXPECT_TRUE(base.reader.indexUnreadable);
  EXPECT_EQ(base.valid().size(), 20u);
  for (const MessageRecord* r : base.valid()) EXPECT_FALSE(r->unindexed);
}

TEST(RecoveredMarks, KeepsWhatIsLeftOfMessagesAsFragments) {
  DbxWriter writer;
  const std::string whole = simpleMessage("whole", longBody(40));
  const std::string headless = simpleMessage("headless", longBody(40));
  const std::string cut = simpleMessage("cut", longBody(40));
  writer.add(whole);
  writer.add(headless);
  writer.add(cut);
  DbxImage image = writer.build();
  const std::vector<uint32_t>& headlessBlocks = writer.messages()[1].blockOffsets;
  const std::vector<uint32_t>& cutBlocks = writer.messages()[2].blockOffsets;
  ASSERT_GE(headlessBlocks.size(), 3u);
  image.put32(headlessBlocks[0], 0);  // its first block is gone
  image.put32(cutBlocks[2], 0);       // its third block is gone: what comes before is cut short

  const OpenedBase base(image, true);
  const MessageBaseReader& reader = base.reader;
  int fragments = 0, complete = 0;
  for (int i = 0; i < reader.count(); ++i) {
    const MessageRecord& r = reader.row(i);
    if (r.invalid) continue;
    const std::string bytes = readThroughBlocks(reader, i);
    if (!r.fragment) {
      ++complete;
      EXPECT_EQ(bytes, whole);
      continue;
    }
    ++fragments;
    // A fragment holds one message's bytes, in order: the headless one's tail, the cut one's
    // beginning or tail.
    EXPECT_TRUE(headless.find(bytes) != std::string::npos || cut.find(bytes) != std::string::npos) << bytes.substr(0, 60);
  }
  EXPECT_EQ(complete, 1);
  EXPECT_EQ(fragments, 3);  // the headless tail, the cut beginning, the cut tail
  EXPECT_EQ(reader.validCount, 4);
}

}  // namespace
}  // namespace vireo::testing
