// Working folders: where they are made, what goes with them, and what a killed run's folder
// becomes at the next start.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/exit_cleanup.h"
#include "reader/document.h"
#include "reader/temp_folder.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;

class TmpdirVariable {
 public:
  TmpdirVariable() {
    if (const char* value = std::getenv("TMPDIR")) saved_ = value;
  }
  ~TmpdirVariable() {
    if (saved_) ::setenv("TMPDIR", saved_->c_str(), 1);
    else ::unsetenv("TMPDIR");
  }

 private:
  std::optional<std::string> saved_;
};

void touch(const std::string& path) { std::ofstream(path) << "x"; }

// A process number that no process has: a child that has ended and been waited for.
pid_t deadPid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

std::string folderName(uid_t uid, pid_t pid) {
  return "vireo-" + std::to_string(uid) + "-" + std::to_string(pid) + "-a1B2c3";
}

TEST(WorkingFolder, LivesInTmpdirElseOnDiskInVarTmp) {
  TmpdirVariable restore;
  ScratchDir dir;
  ::setenv("TMPDIR", (dir.path() + "/").c_str(), 1);
  EXPECT_EQ(workingFolderBase(), dir.path());
  // Not a folder, or not absolute: the disk's own temporary folder.
  const std::string onDisk = fs::is_directory("/var/tmp") ? "/var/tmp" : "/tmp";
  ::setenv("TMPDIR", dir.file("missing").c_str(), 1);
  EXPECT_EQ(workingFolderBase(), onDisk);
  ::setenv("TMPDIR", "relative", 1);
  EXPECT_EQ(workingFolderBase(), onDisk);
  ::unsetenv("TMPDIR");
  EXPECT_EQ(workingFolderBase(), onDisk);
}

TEST(WorkingFolder, IsPrivateNamedForThisRunAndGoesWithItsFiles) {
  ScratchDir base;
  std::string path;
  {
    WorkingFolder folder(base.path());
    path = folder.path();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(fs::path(path).parent_path(), base.path());
    EXPECT_TRUE(fs::path(path).filename().string().starts_with(
        "vireo-" + std::to_string(::geteuid()) + "-" + std::to_string(::getpid()) + "-"));
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    for (const char* name : {"0.dbc", "0.dbc.partial", "1_3.mht", "7.eml", "7.eml.Xa81Qz", "hive-k2P0aa"})
      touch(path + "/" + name);
  }
  EXPECT_FALSE(fs::exists(path));

  // The document makes one when neither the settings nor its caller name a folder.
  DocumentSetup setup;
  setup.workingFolderBase = base.path();
  {
    Document doc(setup);
    ASSERT_TRUE(doc.startupFailure().empty());
    path = doc.tempFolder;
    EXPECT_EQ(fs::path(path).parent_path(), base.path());
    touch(path + "/0.dbc");
  }
  EXPECT_FALSE(fs::exists(path));
  EXPECT_TRUE(fs::is_empty(base.path()));
}

TEST(WorkingFolder, OnlyVireosFileNamesAreWorkingFiles) {
  for (const char* name : {"0.dbc", "12_3.mht", "7.eml", "7.eml.Xa81Qz", "0.dbc.partial", "hive-Qx81aa"})
    EXPECT_TRUE(isWorkingFileName(name)) << name;
  for (const char* name : {"notes.txt", ".eml", "7.emlx", "7.EML", "dbc", "hive", "x.dbx", "a.mhtml"})
    EXPECT_FALSE(isWorkingFileName(name)) << name;
}

TEST(WorkingFolder, AKilledRunsFolderGoesAtTheNextStartWhenItsProcessIsGone) {
  ScratchDir base;
  const uid_t uid = ::geteuid();
  const pid_t dead = deadPid();
  const std::string stale = base.file(folderName(uid, dead));
  fs::create_directory(stale);
  touch(stale + "/0.dbc");
  touch(stale + "/2_5.mht");
  // Process 1 is always alive (for someone else, kill answers EPERM, which is no answer either).
  const std::string live = base.file(folderName(uid, 1));
  fs::create_directory(live);
  touch(live + "/0.dbc");
  // Another user's name, a link by a stale name, and a stale folder holding a file Vireo does not make.
  const std::string otherUser = base.file(folderName(uid + 1, dead));
  fs::create_directory(otherUser);
  touch(otherUser + "/0.dbc");
  ScratchDir elsewhere;
  touch(elsewhere.file("0.dbc"));
  const std::string link = base.file("vireo-" + std::to_string(uid) + "-" + std::to_string(dead) + "-link00");
  fs::create_directory_symlink(elsewhere.path(), link);
  const std::string foreign = base.file("vireo-" + std::to_string(uid) + "-" + std::to_string(dead) + "-keep00");
  fs::create_directory(foreign);
  touch(foreign + "/0.dbc");
  touch(foreign + "/notes.txt");

  WorkingFolder mine(base.path());  // sweeps first
  ASSERT_FALSE(mine.path().empty());
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(live + "/0.dbc"));
  EXPECT_TRUE(fs::exists(otherUser + "/0.dbc"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_TRUE(fs::exists(elsewhere.file("0.dbc")));
  EXPECT_FALSE(fs::exists(foreign + "/0.dbc"));
  EXPECT_TRUE(fs::exists(foreign + "/notes.txt"));
  EXPECT_TRUE(fs::exists(mine.path()));
}

// Permissions do not hold root back, so ownership is the only test that tells: a stale folder
// owned by someone else stays.
TEST(WorkingFolder, AFolderOfAnotherOwnerStays) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a folder away";
  ScratchDir base;
  const std::string theirs = base.file(folderName(0, deadPid()));
  fs::create_directory(theirs);
  touch(theirs + "/0.dbc");
  ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
  EXPECT_EQ(removeStaleWorkingFolders(base.path()), 0);
  EXPECT_TRUE(fs::exists(theirs + "/0.dbc"));
}

}  // namespace
}  // namespace vireo::testing
