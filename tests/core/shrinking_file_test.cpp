// A working copy that shrinks while it is read (a failing disk, a file truncated by another
// program): the operation ends cleanly, nothing is read past the end, and no message file is
// reported as written unless it holds the whole message.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/progress_sink.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

// Cuts the file to a fraction of its size when the bar is first set to a position after the copy:
// that is where the index (or the scan) has been read and the messages' own bytes are about to be.
class ShrinkAtReading final : public ProgressSink {
 public:
  ShrinkAtReading(std::string path, double keep) : path_(std::move(path)), keep_(keep) {}
  void setRange(uint32_t) override {}
  void setStep(int) override {}
  void setCopying(bool copying) override { copying_ = copying; }
  void setPos(uint32_t) override {
    if (done_ || copying_) return;
    done_ = true;
    const auto size = std::filesystem::file_size(path_);
    ASSERT_EQ(truncate(path_.c_str(), static_cast<off_t>(static_cast<double>(size) * keep_)), 0);
  }
  void stepIt() override {}

 private:
  std::string path_;
  double keep_;
  bool done_ = false;
  bool copying_ = false;
};

std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TEST(ShrinkingFile, EndsCleanlyAndWritesOnlyWholeMessages) {
  for (int recover : {0, 1}) {
    for (double keep : {0.0, 0.3, 0.7}) {
      SCOPED_TRACE(std::string(recover ? "recovery" : "browse") + ", keeping " + std::to_string(keep));
      ScratchDir folder;
      // Larger than a base read whole at the first read, so the cut lands while it is read.
      DbxWriter writer;
      for (int i = 0; i < 60; ++i)
        writer.add(simpleMessage("message " + std::to_string(i), std::string(5000 + i * 37, 'q') + "\r\n"));
      writer.build().save(folder.file("Inbox.dbx"));
      const std::string work = folder.file("work");
      const std::string out = folder.file("out");
      std::filesystem::create_directories(work);
      std::filesystem::create_directories(out);

      CapturedMessages shown;
      MessageBaseReader reader;
      reader.baseFolder = folder.path();
      reader.baseName = "Inbox.dbx";
      reader.workingFolder = work;
      reader.recoverMode = recover;
      ShrinkAtReading shrink(work + "/0.dbc", keep);
      reader.progress = &shrink;
      reader.openBase(true);
      ASSERT_TRUE(reader.ok == 0 || reader.ok == 1);
      for (const std::string& text : shown.texts) EXPECT_EQ(text.find("internal error"), std::string::npos) << text;

      const auto size = std::filesystem::file_size(reader.workingPath);
      for (int r = 0; r < reader.count(); ++r) {
        const MessageRecord& record = reader.records[static_cast<size_t>(r)];
        for (const BlockRef& block : reader.blocksOf(static_cast<size_t>(r))) {
          if (!record.invalid) {
            EXPECT_LE(uint64_t{block.offset} + static_cast<uint64_t>(block.length), size) << "record " << r;
          }
        }
        FailureReason failure;
        const int written = reader.writeMessageFile(out, r, "eml", 1000 + r, &failure);
        const std::string path = out + "/" + std::to_string(1000 + r) + "_" + std::to_string(record.number) + ".eml";
        if (written == 0) {
          // Whole: every byte the record's blocks name, and those bytes are still in the file.
          uint64_t listed = 0;
          for (const BlockRef& block : reader.blocksOf(static_cast<size_t>(r))) listed += block.length;
          const std::string bytes = fileBytes(path);
          EXPECT_EQ(bytes.size(), listed) << "record " << r << " written partly";
          EXPECT_EQ(bytes, readThroughBlocks(reader, r)) << "record " << r;
        } else {
          EXPECT_FALSE(std::filesystem::exists(path)) << "a failed write left " << path;
        }
      }
    }
  }
}

}  // namespace
}  // namespace vireo::testing
