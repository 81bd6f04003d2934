// Vireo never writes to a user's base. Every use of a base (browse, recovery, with and without a
// working copy, preview, export, copy) runs against a read-only base in a read-only folder while
// inotify watches both; the base must see no modify, attribute or open-for-write event, and its
// bytes and times must stay as they were.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "reader/message_base_reader.h"
#include "reader/preview_file.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Collects inotify events for one file and its folder; reports the ones that mean a write.
class WriteWatch {
 public:
  WriteWatch(const std::string& file, const std::string& folder) : fd_(inotify_init1(IN_NONBLOCK)) {
    inotify_add_watch(fd_, file.c_str(), IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF);
    inotify_add_watch(fd_, folder.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_ATTRIB);
  }
  ~WriteWatch() { close(fd_); }
  bool valid() const { return fd_ >= 0; }

  // Every event seen so far, one line each ("mask name").
  std::vector<std::string> drain() {
    std::vector<std::string> events;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t got; (got = read(fd_, buffer, sizeof buffer)) > 0;) {
      for (char* at = buffer; at < buffer + got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(at);
        events.push_back(std::to_string(event->mask) + " " + (event->len ? event->name : "<the base>"));
        at += sizeof(inotify_event) + event->len;
      }
    }
    return events;
  }

 private:
  int fd_;
};

TEST(NeverWrites, NoUseOfABaseWritesToItOrItsFolder) {
  ScratchDir scratch;
  const std::string baseFolder = scratch.file("store");
  const std::string work = scratch.file("work");
  const std::string out = scratch.file("out");
  std::filesystem::create_directories(baseFolder);
  std::filesystem::create_directories(work);
  std::filesystem::create_directories(out);
  DbxWriter writer;
  for (int i = 0; i < 40; ++i) writer.add(simpleMessage("message " + std::to_string(i)));
  const std::string base = baseFolder + "/Inbox.dbx";
  writer.build().save(base);
  const std::string before = fileBytes(base);
  ASSERT_EQ(chmod(base.c_str(), 0444), 0);
  ASSERT_EQ(chmod(baseFolder.c_str(), 0555), 0);
  struct stat statBefore {};
  ASSERT_EQ(stat(base.c_str(), &statBefore), 0);

  WriteWatch watch(base, baseFolder);
  ASSERT_TRUE(watch.valid());
  CapturedMessages shown;
  for (int recover : {0, 1}) {
    for (bool copyFirst : {false, true}) {
      MessageBaseReader reader;
      reader.baseFolder = baseFolder;
      reader.baseName = "Inbox.dbx";
      reader.workingFolder = work;
      reader.recoverMode = recover;
      reader.openBase(copyFirst);
      ASSERT_EQ(reader.ok, 1);
      if (copyFirst) {
        EXPECT_EQ(reader.workingPath.rfind(work + "/", 0), 0u) << reader.workingPath;
      }
      std::string previewPath;
      EXPECT_TRUE(writePreviewFile(reader, work, 0, 3, previewPath));
      for (int r = 0; r < reader.count(); ++r) EXPECT_EQ(reader.writeMessageFile(out, r, "eml", -1), 0);
      EXPECT_EQ(reader.copyMessageBase(out), 0);
    }
  }
  EXPECT_TRUE(shown.texts.empty());

  // The folder's own listing shows only reads; anything that writes shows up here.
  EXPECT_EQ(watch.drain(), std::vector<std::string>{});
  struct stat statAfter {};
  ASSERT_EQ(stat(base.c_str(), &statAfter), 0);
  EXPECT_EQ(fileBytes(base), before);
  EXPECT_EQ(statAfter.st_mtim.tv_sec, statBefore.st_mtim.tv_sec);
  EXPECT_EQ(statAfter.st_mtim.tv_nsec, statBefore.st_mtim.tv_nsec);
  EXPECT_EQ(statAfter.st_ctim.tv_nsec, statBefore.st_ctim.tv_nsec);
  EXPECT_EQ(statAfter.st_mode, statBefore.st_mode);
  EXPECT_EQ(fileBytes(out + "/Inbox.dbx"), before);

  chmod(baseFolder.c_str(), 0755);  // so the scratch folder can be removed
}

}  // namespace
}  // namespace vireo::testing
