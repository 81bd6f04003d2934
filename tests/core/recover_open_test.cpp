// Recovery as the worker runs it: openBase with recoverMode 1, stops in each phase, and the same
// messages whether a base is browsed or recovered.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "dbx/layout.h"
#include "dbx/recover_scan.h"
#include "platform/manual_reset_event.h"
#include "platform/progress_sink.h"
#include "reader/message_base_reader.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_image.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

// Records the bar's ranges and sets the stop event at a chosen step of a chosen range.
class StoppingProgress final : public ProgressSink {
 public:
  StoppingProgress(ManualResetEvent& stop, uint32_t stopRange, int stopStep)
      : stop_(stop), stopRange_(stopRange), stopStep_(stopStep) {}
  void setRange(uint32_t maximum) override {
    ranges.push_back(maximum);
    stepsInRange = 0;
  }
  void setStep(int) override {}
  void setPos(uint32_t) override {}
  void stepIt() override {
    ++stepsInRange;
    if (!ranges.empty() && ranges.back() == stopRange_ && stepsInRange == stopStep_) stop_.set();
  }
  std::vector<uint32_t> ranges;
  int stepsInRange = 0;

 private:
  ManualResetEvent& stop_;
  uint32_t stopRange_;
  int stopStep_;
};

std::string recoveredText(const MessageBaseReader& reader, uint32_t firstBlock) {
  for (size_t r = 0; r < reader.records.size(); ++r) {
    const auto& entries = reader.blocksOf(r);
    if (!entries.empty() && entries[0].offset == firstBlock + dbx::kBlockHeaderSize) {
      return readThroughBlocks(reader, static_cast<int>(r));
    }
  }
  return "<no record starts at " + std::to_string(firstBlock) + ">";
}

TEST(RecoverOpen, FindsUnlistedDeletedAndScatteredMessages) {
  DbxWriter writer;
  writer.setPlacement(BlockPlacement::reversed);
  std::vector<std::string> texts;
  for (int i = 0; i < 12; ++i) {
    MessageSpec item;
    item.text = simpleMessage("Message " + std::to_string(i), std::string(300 * i + 17, static_cast<char>('a' + i)));
    item.listing = i % 3 == 0 ? MessageSpec::Listing::none : MessageSpec::Listing::index;
    item.deleted = i % 4 == 1;
    item.dataPerBlock = i % 2 == 0 ? 512 : 100;
    texts.push_back(item.text);
    writer.add(item);
  }
  OpenedBase base(writer.build(), /*recover=*/true);
  EXPECT_EQ(base.reader.ok, 1);
  for (size_t m = 0; m < texts.size(); ++m) {
    EXPECT_EQ(recoveredText(base.reader, writer.messages()[m].blockOffsets[0]), texts[m]) << m;
  }
  for (const MessageRecord& record : base.reader.records) EXPECT_FALSE(record.deleted);
  EXPECT_GE(base.valid().size(), texts.size());
}

TEST(RecoverOpen, BrowsedAndRecoveredMessagesHaveTheSameBytes) {
  DbxWriter writer;
  writer.setPlacement(BlockPlacement::interleaved);
  for (int i = 0; i < 40; ++i) {
    writer.add(simpleMessage("Subject " + std::to_string(i), std::string(97 * i + 1, static_cast<char>('A' + i % 26))));
  }
  const DbxImage image = writer.build();
  OpenedBase browsed(image, /*recover=*/false);
  OpenedBase recovered(image, /*recover=*/true);
  ASSERT_EQ(browsed.reader.ok, 1);
  ASSERT_EQ(recovered.reader.ok, 1);
  ASSERT_EQ(browsed.reader.count(), 40);
  for (int r = 0; r < browsed.reader.count(); ++r) {
    const uint32_t first = browsed.reader.blocksOf(static_cast<size_t>(r))[0].offset - dbx::kBlockHeaderSize;
    EXPECT_EQ(recoveredText(recovered.reader, first), readThroughBlocks(browsed.reader, r)) << r;
  }
}

// Three single-block messages and the chain 0x3000 -> 0x1000 -> 0x5000, in a file long enough for
// the scan to step the bar a hundred times.
DbxImage stopLayout() {
  DbxImage image;
  image.writeBlock(0x1000, 512, 100, 0x5000, std::string(100, 'b'));
  image.writeBlock(0x3000, 512, 100, 0x1000, std::string(100, 'a'));
  image.writeBlock(0x5000, 512, 100, 0, std::string(100, 'c'));
  for (uint32_t at = 0x6000; at <= 0x8000; at += 0x1000) image.writeBlock(at, 512, 50, 0, simpleMessage("x"));
  image.ensure(3 * 1000 * 1000);
  return image;
}

struct StoppedRun {
  ScratchDir folder;
  MessageBaseReader reader;
  ManualResetEvent stop;
  StoppingProgress progress;
  StoppedRun(uint32_t stopRange, int stopStep) : progress(stop, stopRange, stopStep) {
    stopLayout().save(folder.file("base.dbx"));
    reader.baseFolder = folder.path();
    reader.baseName = "base.dbx";
    reader.recoverMode = 1;
    reader.progress = &progress;
    reader.stopEvent = &stop;
    reader.openBase(false);
  }
};

TEST(RecoverOpen, StopDuringTheScanEndsBeforeAnyJoining) {
  StoppedRun run(300, 40);
  EXPECT_EQ(run.reader.ok, 0);
  EXPECT_EQ(run.reader.count(), 0);
  EXPECT_EQ(run.progress.ranges, std::vector<uint32_t>{300});
  EXPECT_EQ(run.progress.stepsInRange, 40);  // noticed at the very next poll
}

TEST(RecoverOpen, StopDuringJoiningEndsBeforeReading) {
  // Candidates: 0 (zeros), 0x1000, 0x3000, 0x5000, ...: the stop comes while stepping for 0x5000.
  StoppedRun run(3 * 7, 4);
  EXPECT_EQ(run.reader.ok, 0);
  EXPECT_EQ(run.progress.ranges, (std::vector<uint32_t>{300, 21}));
  EXPECT_EQ(run.progress.stepsInRange, 4);
  // What was joined before the stop stays until the reader is reset, in chain order.
  ASSERT_EQ(run.reader.count(), 1);
  EXPECT_EQ(readThroughBlocks(run.reader, 0), std::string(100, 'a') + std::string(100, 'b') + std::string(100, 'c'));
  EXPECT_TRUE(run.reader.records[0].invalid);
}

TEST(RecoverOpen, StopAlreadyRequestedEndsAtOnce) {
  StoppedRun run(0, 0);
  ManualResetEvent stop(true);
  run.reader.resetReader();
  run.reader.recoverMode = 1;
  run.reader.stopEvent = &stop;
  run.reader.openBase(false);
  EXPECT_EQ(run.reader.ok, 0);
  EXPECT_EQ(run.reader.count(), 0);
}

TEST(RecoverOpen, DrivesTheBarInThirds) {
  StoppedRun run(0, 0);  // never stops
  ASSERT_EQ(run.reader.ok, 1);
  ASSERT_EQ(run.progress.ranges.size(), 3u);
  EXPECT_EQ(run.progress.ranges[0], 300u);
  EXPECT_EQ(run.progress.ranges[1], 3u * 7);
  EXPECT_EQ(run.progress.ranges[2], 3u * static_cast<uint32_t>(run.reader.count()));
  EXPECT_EQ(run.reader.count(), 4);
}

}  // namespace
}  // namespace vireo::testing
