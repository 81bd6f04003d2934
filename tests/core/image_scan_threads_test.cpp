// The scan of a large image shares its chunks out between threads: what it finds must be what one
// pass over the whole image in memory finds, in the same order, wherever the bases lie.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dbx/image_block_scan.h"
#include "dbx/layout.h"
#include "tools/dbx_writer/disk_image.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

TEST(ImageScanThreads, FindsWhatOnePassOverTheWholeImageFinds) {
  const CarveScenario scenario = buildCarveScenario(CarveCase::whole, 40);
  const DbxImage& base = scenario.bases[0];
  // 32 MiB: enough chunks for the scan to take a second thread where there are two cores. A copy
  // of the base in every megabyte, so that every chunk, whichever thread takes it, has votes; one
  // across a chunk boundary, and the first half of one at the end.
  DiskImage image(8192);
  const size_t clusters = image.clustersOf(base);
  ASSERT_LT(clusters, 120u);
  int copies = 0;
  for (size_t chunk = 0; chunk < 31; ++chunk) image.place(copies++, base, 0, clusters, chunk * 256 + 2);
  image.place(copies++, base, 0, clusters, 31 * 256 - clusters / 2);
  image.place(copies++, base, 0, clusters / 2, 8192 - clusters / 2);
  ScratchDir folder;
  const std::string path = folder.file("disk.img");
  image.save(path);

  const dbx::ImageScan scan = dbx::scanImage(path, {});
  std::vector<uint8_t> padded(image.bytes);
  padded.resize(padded.size() + 4);
  std::vector<dbx::BlockVote> expected;
  dbx::findBlockVotes(padded.data(), image.bytes.size() - dbx::kBlockHeaderSize + 4, 0, expected);
  ASSERT_FALSE(expected.empty());
  ASSERT_EQ(scan.votes.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(scan.votes[i].position, expected[i].position) << i;
    EXPECT_EQ(scan.votes[i].self, expected[i].self);
    EXPECT_EQ(scan.votes[i].next, expected[i].next);
  }
  ASSERT_EQ(scan.headers.size(), static_cast<size_t>(copies));
  for (size_t i = 0; i < scan.headers.size(); ++i) {
    EXPECT_EQ(scan.headers[i].position % 4096, 0u);
    if (i > 0) {
      EXPECT_LT(scan.headers[i - 1].position, scan.headers[i].position);
    }
  }
}

}  // namespace
}  // namespace vireo::testing
