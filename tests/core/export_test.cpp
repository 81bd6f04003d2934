// Writing messages out as the bytes their base stores, previews, base copies and folder paths.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/folder_path.h"
#include "content/message_export.h"
#include "reader/preview_file.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/message_text.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;

// A working file of data blocks behind 16-byte headers, as in a real base, and a reader whose
// records point at them.
struct BlockFile {
  ScratchDir folder;
  DbxImage file;
  MessageBaseReader reader;

  BlockFile() {
    reader.workingPath = folder.file("work.dbx");
    reader.baseFolder = folder.path();
    reader.baseName = "work.dbx";
  }

  // Lays the text out in blocks of dataPerBlock bytes; reversed puts later blocks first in the
  // file, so the list order and the file order differ.
  int add(const std::string& text, int dataPerBlock = 512, bool reversed = false) {
    std::vector<std::pair<size_t, size_t>> pieces;
    for (size_t done = 0; done < text.size(); done += static_cast<size_t>(dataPerBlock))
      pieces.emplace_back(done, std::min<size_t>(static_cast<size_t>(dataPerBlock), text.size() - done));
    BlockList blocks;
    blocks.entries.resize(pieces.size());
    auto place = [&](size_t i) {
      const uint32_t at = file.reserve(16 + pieces[i].second);
      file.putBytes(at + 16, text.substr(pieces[i].first, pieces[i].second));
      blocks.entries[i] = BlockRef{at + 16, static_cast<int16_t>(pieces[i].second)};
    };
    for (size_t k = 0; k < pieces.size(); ++k) place(reversed ? pieces.size() - 1 - k : k);
    return addBlocks(std::move(blocks), static_cast<int>(text.size()));
  }

  int addBlocks(BlockList blocks, int size = 0) {
    MessageRecord record;
    record.invalid = false;
    record.number = reader.validCount++;
    record.size = size;
    reader.addRecord(std::move(record), blocks.entries);
    return reader.count() - 1;
  }

  void save() { file.save(reader.workingPath); }
};

std::string longMessage(size_t bodyBytes) {
  std::string body;
  for (size_t i = 0; body.size() < bodyBytes; ++i) body += "line " + std::to_string(i) + "\r\n";
  return simpleMessage("long", body);
}

TEST(WriteMessageFile, WritesTheStoredBytesOfManyBlocksUnchanged) {
  BlockFile base;
  const std::string a = longMessage(40000);
  const std::string b = longMessage(9000) + std::string("\0\xff\r\n", 4);
  const std::string c = longMessage(3000000);  // more than one write chunk
  base.add(a);
  base.add(b, 100, true);
  base.add(c, 32000);
  base.save();
  ScratchDir out;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(base.reader.writeMessageFile(out.path(), i, "eml", -1), 0);
  EXPECT_EQ(fileText(out.file("0.eml")), a);
  EXPECT_EQ(fileText(out.file("1.eml")), b);
  EXPECT_EQ(fileText(out.file("2.eml")), c);
  EXPECT_EQ(fileNamesIn(out.path()), (std::vector<std::string>{"0.eml", "1.eml", "2.eml"}));
}

TEST(WriteMessageFile, EmptyBlockListGivesEmptyFile) {
  BlockFile base;
  base.addBlocks(BlockList{});
  base.save();
  ScratchDir out;
  ASSERT_EQ(base.reader.writeMessageFile(out.path(), 0, "eml", -1), 0);
  ASSERT_TRUE(fs::exists(out.file("0.eml")));
  EXPECT_EQ(fs::file_size(out.file("0.eml")), 0u);
}

// Two bases saved into one folder: the second's messages go beside the first's, never over them.
TEST(WriteMessageFile, KeepsAFileOfTheSameNameAndNamesByPrefix) {
  BlockFile first, second;
  first.add(simpleMessage("first base"));
  second.add(simpleMessage("second base"));
  first.save();
  second.save();
  ScratchDir out;
  std::ofstream(out.file("0.eml")) << "an older file of the user's";
  EXPECT_EQ(first.reader.writeMessageFile(out.path(), 0, "eml", -1), 0);
  EXPECT_EQ(second.reader.writeMessageFile(out.path(), 0, "eml", -1), 0);
  EXPECT_EQ(first.reader.writeMessageFile(out.path(), 0, "eml", -1), 0);  // already there: nothing added
  EXPECT_EQ(fileText(out.file("0.eml")), "an older file of the user's");
  EXPECT_EQ(fileText(out.file("0 (2).eml")), simpleMessage("first base"));
  EXPECT_EQ(fileText(out.file("0 (3).eml")), simpleMessage("second base"));

  EXPECT_EQ(first.reader.writeMessageFile(out.path(), 0, "eml", 3), 0);
  EXPECT_EQ(second.reader.writeMessageFile(out.path(), 0, "eml", 4), 0);
  EXPECT_EQ(fileText(out.file("3_0.eml")), simpleMessage("first base"));
  EXPECT_EQ(fileText(out.file("4_0.eml")), simpleMessage("second base"));
  EXPECT_EQ(fileNamesIn(out.path()).size(), 5u);
}

TEST(WriteMessageFile, UnreadableBlocksFailAndLeaveNoFile) {
  BlockFile base;
  base.add(longMessage(5000));
  base.addBlocks(BlockList{{{BlockRef{16, 100}, BlockRef{0x7ffffff0, 512}}}});  // past the end
  base.addBlocks(BlockList{{{BlockRef{16, -5}}}});
  base.save();
  ScratchDir out;
  std::ofstream(out.file("1.eml")) << "kept";
  EXPECT_EQ(base.reader.writeMessageFile(out.path(), 1, "eml", -1), -1);
  EXPECT_EQ(base.reader.writeMessageFile(out.path(), 2, "eml", -1), -1);
  EXPECT_EQ(base.reader.writeMessageFile(out.path(), 7, "eml", -1), -1);
  EXPECT_EQ(fileNamesIn(out.path()), std::vector<std::string>{"1.eml"});
  EXPECT_EQ(fileText(out.file("1.eml")), "kept");

  EXPECT_EQ(base.reader.writeMessageFile(out.path() + "/missing", 0, "eml", -1), -1);
  base.reader.workingPath = base.folder.file("gone.dbx");
  EXPECT_EQ(base.reader.writeMessageFile(out.path(), 0, "eml", -1), -1);
  EXPECT_EQ(fileNamesIn(out.path()), std::vector<std::string>{"1.eml"});
}

TEST(WriteMessageFile, NeverChangesTheWorkingFile) {
  BlockFile base;
  base.add(longMessage(2000));
  base.save();
  ::chmod(base.reader.workingPath.c_str(), 0400);
  const auto before = fs::last_write_time(base.reader.workingPath);
  ScratchDir out;
  EXPECT_EQ(base.reader.writeMessageFile(out.path(), 0, "eml", -1), 0);
  EXPECT_EQ(fs::last_write_time(base.reader.workingPath), before);
}

TEST(WritePreviewFile, LeavesOnlyTheNewestPreview) {
  BlockFile base;
  base.add(simpleMessage("zero"));
  base.add(simpleMessage("one"));
  base.save();
  ScratchDir temp;
  std::ofstream(temp.file("7_3.mht")) << "old preview";
  std::ofstream(temp.file("keep.eml")) << "not a preview";
  std::string previewPath;
  ASSERT_TRUE(writePreviewFile(base.reader, temp.path(), 5, 0, previewPath));
  ASSERT_TRUE(writePreviewFile(base.reader, temp.path(), 5, 1, previewPath));
  EXPECT_EQ(previewPath, temp.file("5_1.mht"));
  EXPECT_EQ(fileText(previewPath), simpleMessage("one"));
  EXPECT_EQ(fileNamesIn(temp.path()), (std::vector<std::string>{"5_1.mht", "keep.eml"}));
}

TEST(CopyMessageBase, KeepsAnOlderCopyAndRefusesTheBaseItself) {
  BlockFile base;
  base.add(longMessage(70000));
  base.save();
  ScratchDir out;
  CapturedMessages shown;
  std::ofstream(out.file("work.dbx")) << "stale";
  PlacedFile placed;
  EXPECT_EQ(base.reader.copyMessageBase(out.path(), &placed), 0);
  EXPECT_EQ(placed.path, out.file("work (2).dbx"));
  EXPECT_EQ(placed.placement, Placement::keptBeside);
  EXPECT_EQ(fileText(out.file("work (2).dbx")), fileText(base.reader.workingPath));
  EXPECT_EQ(fileText(out.file("work.dbx")), "stale");
  EXPECT_EQ(base.reader.copyMessageBase(out.path(), &placed), 0);  // the same again: nothing added
  EXPECT_EQ(placed.placement, Placement::identical);
  EXPECT_EQ(fileNamesIn(out.path()).size(), 2u);
  EXPECT_TRUE(shown.texts.empty());

  base.reader.ok = 1;
  EXPECT_EQ(base.reader.copyMessageBase(base.folder.path()), -1);
  EXPECT_EQ(base.reader.copyMessageBase(out.path() + "/missing"), -1);
  EXPECT_EQ(base.reader.ok, 0);
  ASSERT_EQ(shown.texts.size(), 2u);
  EXPECT_TRUE(shown.texts[0].starts_with("Cannot copy dbx file"));
}

TEST(CreateFolderPath, MakesEveryFolderAlongThePath) {
  ScratchDir root;
  EXPECT_EQ(createFolderPath(root.file("a/b/c/")), 0);
  EXPECT_TRUE(fs::is_directory(root.file("a/b/c")));
  EXPECT_EQ(createFolderPath(root.file("a/b/c")), 0);  // already there
  EXPECT_EQ(createFolderPath(root.file("x//y")), 0);
  EXPECT_TRUE(fs::is_directory(root.file("x/y")));
}

TEST(CreateFolderPath, RefusesFilesInTheWayAndOverlongPaths) {
  ScratchDir root;
  std::ofstream(root.file("file")) << "x";
  EXPECT_EQ(createFolderPath(root.file("file")), -1);
  EXPECT_EQ(createFolderPath(root.file("file/")), -1);
  EXPECT_EQ(createFolderPath(root.file("file/below")), -1);
  EXPECT_EQ(createFolderPath(""), -1);

  std::string deep = root.path();
  while (deep.size() <= kMaxFolderPath) deep += "/d";
  EXPECT_EQ(createFolderPath(deep), -1);
  EXPECT_FALSE(fs::exists(root.file("d")));
}

}  // namespace
}  // namespace vireo::testing

namespace vireo::testing {
namespace {

TEST(MessageFileWriter, WritesLikeWriteMessageFileWithTheFileOpenedOnce) {
  BlockFile base;
  base.add(longMessage(3000));
  base.add(longMessage(600), 100, true);
  base.save();
  ScratchDir out;
  MessageFileWriter writer(base.reader.workingPath);
  EXPECT_FALSE(writer.write(base.reader, 0, out.file("0.eml")));
  EXPECT_FALSE(writer.write(base.reader, 1, out.file("2_1.eml")));
  EXPECT_TRUE(writer.write(base.reader, 2, out.file("2.eml")));
  EXPECT_EQ(fileText(out.file("0.eml")), longMessage(3000));
  EXPECT_EQ(fileText(out.file("2_1.eml")), longMessage(600));
}

// A message that cannot be written says which file failed and why, in the system's words.
TEST(MessageFileWriter, SaysWhatFailedAndWhere) {
  BlockFile base;
  base.add(longMessage(3000));
  base.save();
  ScratchDir out;

  const std::string gone = base.folder.file("gone.dbx");
  std::optional<FailureReason> failure = MessageFileWriter(gone).write(base.reader, 0, out.file("0.eml"));
  ASSERT_TRUE(failure);
  EXPECT_EQ(describeFailure(*failure), "cannot open " + gone + ": No such file or directory");

  const std::string noFolder = out.file("missing/0.eml");
  failure = MessageFileWriter(base.reader.workingPath).write(base.reader, 0, noFolder);
  ASSERT_TRUE(failure);
  EXPECT_EQ(describeFailure(*failure), "cannot create " + noFolder + ": No such file or directory");

  // A block beyond the end of the working file: the offset and the file are named, and the file
  // written before stays whole.
  ASSERT_FALSE(MessageFileWriter(base.reader.workingPath).write(base.reader, 0, out.file("0.eml")));
  base.reader.blocks[base.reader.listEnds[0] - 1].offset = 50000000;
  failure = MessageFileWriter(base.reader.workingPath).write(base.reader, 0, out.file("0.eml"));
  ASSERT_TRUE(failure);
  EXPECT_EQ(describeFailure(*failure), "cannot read the message's blocks at offset 50000000 of " +
                                           base.reader.workingPath + ": the working file ends before them");
  EXPECT_EQ(fileText(out.file("0.eml")), longMessage(3000));  // the earlier file stays whole

  FailureReason fromReader;
  EXPECT_EQ(base.reader.writeMessageFile(out.path(), 0, "eml", -1, &fromReader), -1);
  EXPECT_EQ(fromReader.offset, std::optional<uint64_t>(50000000));
}

}  // namespace
}  // namespace vireo::testing
