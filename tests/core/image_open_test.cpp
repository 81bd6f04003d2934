// The window's opening of a disk image without the window: every base written or none, and the
// table's slots, which a base found in an image shares with ordinary bases.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "dbx/layout.h"
#include "platform/manual_reset_event.h"
#include "reader/base_listing.h"
#include "reader/image_open.h"
#include "reader/worker.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/disk_image.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

std::vector<std::string> workingBases(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().extension() == ".dbc") names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ImageOpen, WritesEveryBaseOrNone) {
  ScratchDir images, work;
  buildCarveScenario(CarveCase::interleaved, 12).image.save(images.file("disk.img"));
  CapturedMessages shown;

  const ImageOpening opened = openDiskImage(images.file("disk.img"), work.path(), 3, {});
  ASSERT_TRUE(opened.outcome.ok());
  ASSERT_EQ(opened.bases.size(), 2u);
  EXPECT_EQ(workingBases(work.path()), (std::vector<std::string>{"carved-3-1.dbc", "carved-3-2.dbc"}));
  for (const ImageBaseFile& base : opened.bases)
    EXPECT_EQ(std::filesystem::file_size(work.file(base.fileName)), base.found.length());

  // A stop asked before the end leaves nothing.
  ManualResetEvent stop(true);
  const ImageOpening stopped = openDiskImage(images.file("disk.img"), work.path(), 4, {&stop, nullptr});
  EXPECT_EQ(stopped.outcome.end, dbx::OperationOutcome::End::stopped);
  EXPECT_TRUE(stopped.bases.empty());

  // A second base that cannot be written takes the first with it, and leaves the file in its way.
  std::ofstream(work.file("carved-5-2.dbc")) << "someone else's";
  const ImageOpening failed = openDiskImage(images.file("disk.img"), work.path(), 5, {});
  EXPECT_EQ(failed.outcome.end, dbx::OperationOutcome::End::cannotOpen);
  EXPECT_EQ(failed.outcome.reason.file, work.file("carved-5-2.dbc"));
  EXPECT_TRUE(failed.bases.empty());
  EXPECT_EQ(workingBases(work.path()),
            (std::vector<std::string>{"carved-3-1.dbc", "carved-3-2.dbc", "carved-5-2.dbc"}));
  EXPECT_TRUE(shown.texts.empty());
}

TEST(ImageOpen, SharesTheTableSlotsWithOrdinaryBases) {
  ScratchDir images, work;
  buildCarveScenario(CarveCase::interleaved, 12).image.save(images.file("disk.img"));
  const ImageOpening opened = openDiskImage(images.file("disk.img"), work.path(), 1, {});
  ASSERT_EQ(opened.bases.size(), 2u);
  CapturedMessages shown;
  WorkerShared table;
  table.readerCount = kReaderTableSize;
  table.readers[7].removed = true;
  table.freeSlots = {7};

  // A full table with one freed slot: the first base takes it, the second meets the limit.
  EXPECT_EQ(listImageBases(table, images.file("disk.img"), 1, work.path(), opened.bases), 1);
  EXPECT_EQ(shown.texts, (std::vector<std::string>{kTooManyBasesText}));
  EXPECT_TRUE(table.listingStopped);
  const MessageBaseReader& carved = table.readers[7];
  EXPECT_FALSE(carved.removed);
  EXPECT_EQ(carved.basePath(), work.file("carved-1-1.dbc"));
  ASSERT_TRUE(carved.fromImage);
  EXPECT_EQ(carved.fromImage->imagePath, images.file("disk.img"));
  EXPECT_EQ(carved.fromImage->baseNumber, 1);
  EXPECT_EQ(carved.fromImage->pieces, static_cast<int>(opened.bases[0].found.pieces.size()));
  EXPECT_EQ(carved.baseKind, dbx::kBaseKindMail);  // read from the header that survived

  // Removed again, its slot goes to an ordinary base, which must not keep the image.
  table.readers[7].removed = true;
  table.freeSlots = {7};
  table.listingStopped = false;
  EXPECT_TRUE(addFoundBase(table, images.path(), "Inbox.dbx", 0));
  EXPECT_EQ(table.readers[7].baseName, "Inbox.dbx");
  EXPECT_FALSE(table.readers[7].fromImage);
}

TEST(ImageOpen, NamesABaseByWhereItLay) {
  ImageOrigin origin{"/media/backup/disk.img", 1, 2, 13107200, 13107200, 3, true};
  EXPECT_EQ(imageBaseLabel(origin), "Base 2 at 12.5 MiB, 3 pieces");
  EXPECT_EQ(imageBaseDetail(origin), "disk.img, offset 0 at byte 13,107,200; 3 pieces; header survived");
  EXPECT_EQ(imageBaseName(origin), "disk.img, base 2");
  EXPECT_EQ(imageBaseFileTitle(origin), "disk-base-2.dbx");
  // A device has no extension to drop; a name that is all extension keeps it.
  EXPECT_EQ(imageBaseFileTitle({"/dev/sdb", 1, 3, 0, 0, 1, true}), "sdb-base-3.dbx");
  EXPECT_EQ(imageBaseFileTitle({"/tmp/.img", 1, 1, 0, 0, 1, true}), ".img-base-1.dbx");
  // Its first piece lost before the image began: where the rest lies.
  origin = {"disk.img", 1, 1, -4096, 512, 1, false};
  EXPECT_EQ(imageBaseLabel(origin), "Base 1 at byte 512, 1 piece");
  EXPECT_EQ(imageBaseDetail(origin), "disk.img, first piece at byte 512; 1 piece; header lost: use recovery");
  EXPECT_EQ(imageOutcomeText("disk.img", 0), "disk.img: no message base found");
  EXPECT_EQ(imageOutcomeText("disk.img", 1), "disk.img: 1 message base found");
}

}  // namespace
}  // namespace vireo::testing
