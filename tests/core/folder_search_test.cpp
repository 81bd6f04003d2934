// The search below folders: what it lists and in which order, where it does not go, its progress
// and stop points, and the table's limit.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <mutex>

#include "reader/base_listing.h"
#include "reader/document.h"
#include "reader/folder_search.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;

constexpr auto kGenerous = std::chrono::seconds(60);

// A tree of folders with bases, searched on this thread through the worker's shared state; the
// progress messages are recorded with the text they carried.
struct SearchFixture {
  ScratchDir dir;
  CapturedMessages shown;
  WorkerShared shared;
  std::string baseBytes;
  std::mutex mutex;
  std::vector<std::string> progress;
  std::function<void()> onProgress;

  SearchFixture() {
    DbxWriter writer;
    writer.add(simpleMessage("hello"));
    writer.build().save(dir.file("one.tmp"));
    baseBytes = fileText(dir.file("one.tmp"));
    fs::remove(dir.file("one.tmp"));
    shared.setCompletionSink([this](int message) {
      if (message == kSearchProgress) {
        std::lock_guard lock(mutex);
        progress.push_back(shared.searchText());
      }
      if (onProgress) onProgress();
      return handledAlready();
    });
    shared.stopEvent.reset();
    shared.closingEvent.reset();
    shared.searchOk = 1;
  }
  std::string root() const { return dir.file("root"); }
  void base(const std::string& relative) {
    const fs::path path = root() + "/" + relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << baseBytes;
  }
  void folder(const std::string& relative) { fs::create_directories(root() + "/" + relative); }
  // Each found base as its folder relative to the root, "/" and its name.
  std::vector<std::string> found() const {
    std::vector<std::string> out;
    for (int i = 0; i < shared.readerCount; ++i) {
      const MessageBaseReader& r = shared.readers[static_cast<size_t>(i)];
      out.push_back(r.baseFolder.substr(std::min(r.baseFolder.size(), root().size())) + "/" + r.baseName);
    }
    return out;
  }
  void search(int operation, const std::string& argument) {
    for (const std::string& folder : searchFolders(operation, argument)) searchFolder(shared, folder);
  }
};

TEST(FolderSearch, ListsEachFolderFirstThenItsSubfoldersDepthFirst) {
  SearchFixture f;
  f.base("Zeta.dbx");
  f.base("Mail/Inbox.dbx");
  f.base("Mail/Deep/Sent Items.dbx");
  f.base("Mail/Outbox.DBX");
  f.base("News/news.example.org.dbx");
  f.folder("Mail/Empty");
  std::ofstream(f.root() + "/Mail/notes.txt") << "no base";
  fs::create_directory(f.root() + "/Mail/Folder.dbx");  // a folder named like a base is none
  f.search(kOperationSearchFolder, f.root() + "/");
  EXPECT_EQ(f.found(), (std::vector<std::string>{"/Zeta.dbx", "/Mail/Inbox.dbx", "/Mail/Outbox.DBX",
                                                 "/Mail/Deep/Sent Items.dbx", "/News/news.example.org.dbx"}));
  EXPECT_EQ(f.shared.readers[0].baseFolder, f.root()) << "no trailing separator";
  EXPECT_EQ(f.shared.readers[0].baseKind, 1);
  EXPECT_EQ(f.shared.searchOk, 1);
  EXPECT_TRUE(f.shown.texts.empty());
}

TEST(FolderSearch, ListWithEmptyPiecesSearchesEachFolderOnceAndAgainAddsNothing) {
  SearchFixture f;
  f.base("C/Data/a.dbx");
  f.base("C/Other/skipped.dbx");
  f.base("D/b.dbx");
  const std::string list = f.root() + "/C/Data;;" + f.root() + "/D/;";
  f.search(kOperationSearchList, list);
  EXPECT_EQ(f.found(), (std::vector<std::string>{"/C/Data/a.dbx", "/D/b.dbx"}));
  // A base the user removed from the tree comes back; nothing is added twice.
  f.shared.readers[0].removed = true;
  f.shared.readers[0].browseFailed = true;
  f.search(kOperationSearchList, list);
  EXPECT_EQ(f.found(), (std::vector<std::string>{"/C/Data/a.dbx", "/D/b.dbx"}));
  EXPECT_FALSE(f.shared.readers[0].removed);
  EXPECT_FALSE(f.shared.readers[0].browseFailed);
}

TEST(FolderSearch, DoesNotFollowLinksToFoldersButListsLinkedBases) {
  SearchFixture f;
  f.base("a/b/base.dbx");
  f.base("elsewhere/linked.dbx");
  fs::create_directory_symlink(f.root(), f.root() + "/a/b/loop");
  fs::create_directory_symlink(f.root() + "/elsewhere", f.root() + "/a/shortcut");
  fs::create_symlink(f.root() + "/elsewhere/linked.dbx", f.root() + "/a/link.dbx");
  fs::create_symlink(f.root() + "/missing.dbx", f.root() + "/a/dangling.dbx");
  f.search(kOperationSearchFolder, f.root());
  EXPECT_EQ(f.found(), (std::vector<std::string>{"/a/link.dbx", "/a/b/base.dbx", "/elsewhere/linked.dbx"}));
  // A linked folder given as the folder to search is searched.
  WorkerShared& shared = f.shared;
  shared.readerCount = 0;
  f.search(kOperationSearchFolder, f.root() + "/a/shortcut");
  EXPECT_EQ(f.found(), std::vector<std::string>{"/a/shortcut/linked.dbx"});
}

TEST(FolderSearch, StopsDescendingAtTheDepthLimit) {
  SearchFixture f;
  std::string deepest;
  for (int depth = 1; depth <= kSearchDepthLimit + 1; ++depth) {
    deepest += "d/";
    if (depth >= kSearchDepthLimit - 1) f.base(deepest + "at" + std::to_string(depth) + ".dbx");
  }
  f.search(kOperationSearchFolder, f.root());
  ASSERT_EQ(f.shared.readerCount, 2);
  EXPECT_EQ(f.shared.readers[0].baseName, "at" + std::to_string(kSearchDepthLimit - 1) + ".dbx");
  EXPECT_EQ(f.shared.readers[1].baseName, "at" + std::to_string(kSearchDepthLimit) + ".dbx");
}

// Permissions do not hold root back, so the search runs in a child that has given them up.
TEST(FolderSearch, AnUnreadableFolderYieldsNothingAndTheSearchGoesOn) {
  SearchFixture f;
  f.base("a/first.dbx");
  f.base("b/locked/hidden.dbx");
  f.base("c/last.dbx");
  ::chmod(f.dir.path().c_str(), 0755);
  for (const auto& entry : fs::recursive_directory_iterator(f.root())) ::chmod(entry.path().c_str(), 0755);
  ::chmod((f.root() + "/b/locked").c_str(), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(100);
    f.search(kOperationSearchFolder, f.root());
    const bool expected = f.found() == std::vector<std::string>{"/a/first.dbx", "/c/last.dbx"};
    ::_exit(expected && f.shared.searchOk == 1 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::chmod((f.root() + "/b/locked").c_str(), 0755);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 100) GTEST_SKIP() << "cannot give up root here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the locked folder's base was found, or the others were not";
}

// Progress comes at the second folder and then every 102 folders; the stop is noticed only there.
TEST(FolderSearch, ProgressAndTheStopTestComeAtTheSecondFolderThenEvery102) {
  SearchFixture f;
  for (int i = 0; i < 250; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%03d", i);
    f.base(std::string(name) + "/" + name + ".dbx");
  }
  f.search(kOperationSearchFolder, f.root());
  EXPECT_EQ(f.shared.readerCount, 250);
  EXPECT_EQ(f.progress, (std::vector<std::string>{"Searching " + f.root() + "/f000", "Searching " + f.root() + "/f102",
                                                  "Searching " + f.root() + "/f204"}));

  // A stop asked for at the first progress message is noticed 102 folders later; that folder still
  // lists its own bases, and nothing after it is searched.
  f.shared.readerCount = 0;
  f.shared.dirCounter = 100;
  f.progress.clear();
  f.onProgress = [&f] { f.shared.stopEvent.set(); };
  f.search(kOperationSearchFolder, f.root());
  EXPECT_EQ(f.progress, (std::vector<std::string>{"Searching " + f.root() + "/f000", "Closing search dbx..."}));
  EXPECT_EQ(f.shared.searchOk, 0);
  ASSERT_EQ(f.shared.readerCount, 103);
  EXPECT_EQ(f.shared.readers[102].baseName, "f102.dbx");
}

TEST(FolderSearch, AStopInASearchOfFewerThan104FoldersIsNeverNoticed) {
  SearchFixture f;
  for (int i = 0; i < 102; ++i) f.base("f" + std::to_string(1000 + i) + "/x.dbx");
  f.onProgress = [&f] { f.shared.stopEvent.set(); };
  f.search(kOperationSearchFolder, f.root());
  EXPECT_EQ(f.shared.readerCount, 102);
  EXPECT_EQ(f.shared.searchOk, 1);
  EXPECT_EQ(f.progress.size(), 1u);
}

TEST(FolderSearch, AFullTableShowsTheLimitOnceAndLaterSearchesAddNothing) {
  SearchFixture f;
  f.base("a/1.dbx");
  f.base("a/2.dbx");
  f.base("b/3.dbx");
  fillReaderTable(f.shared, kReaderTableSize - 1);
  f.search(kOperationSearchFolder, f.root());
  EXPECT_EQ(f.shared.readerCount, kReaderTableSize);
  EXPECT_EQ(f.shared.readers[kReaderTableSize - 1].baseName, "1.dbx");
  EXPECT_TRUE(f.shared.listingStopped);
  EXPECT_EQ(f.shown.texts, std::vector<std::string>{"Number of dbx files >500"});

  // Later searches run and add nothing, without the message; a removed base stays removed.
  f.shared.readers[kReaderTableSize - 1].removed = true;
  f.shared.dirCounter = 100;
  f.search(kOperationSearchFolder, f.root());
  EXPECT_EQ(f.shown.texts.size(), 1u);
  EXPECT_TRUE(f.shared.readers[kReaderTableSize - 1].removed);
  EXPECT_EQ(f.shared.dirCounter, 100) << "returned at its first folder";
}

// The kernel's file systems met below a searched folder are not entered. /dev/shm (tmpfs)
// below /dev (devtmpfs) is the one such mount a test can write to.
TEST(FolderSearch, DoesNotEnterTheKernelsFileSystemsBelowTheFolder) {
  struct stat dev {}, shm {};
  if (::stat("/dev", &dev) != 0 || ::stat("/dev/shm", &shm) != 0 || dev.st_dev == shm.st_dev ||
      ::access("/dev/shm", W_OK) != 0)
    GTEST_SKIP() << "no separate, writable /dev/shm";
  SearchFixture f;
  const std::string planted = "/dev/shm/vireo-search-" + std::to_string(::getpid());
  fs::create_directory(planted);
  std::ofstream(planted + "/planted.dbx", std::ios::binary) << f.baseBytes;
  searchFolder(f.shared, "/dev");
  const int foundBelowDev = f.shared.readerCount;
  searchFolder(f.shared, planted);
  const int foundThere = f.shared.readerCount - foundBelowDev;
  fs::remove_all(planted);
  EXPECT_EQ(foundBelowDev, 0);
  EXPECT_EQ(foundThere, 1) << "the folder named itself is searched";
}

// Through the worker: the search is operation 3 or 4, and ends with 2025 and the table filled.
TEST(FolderSearch, RunsOnTheWorkerAndReportsSuccess) {
  ScratchDir dir;
  CapturedMessages shown;
  DocumentSetup setup;
  setup.fallbackTempFolder = dir.file("temp");
  Document doc(setup);
  DbxWriter writer;
  writer.add(simpleMessage("hello"));
  fs::create_directories(dir.file("tree/x"));
  writer.build().save(dir.file("tree/x/Inbox.dbx"));
  std::mutex mutex;
  std::vector<int> messages;
  doc.setCompletionSink([&](int message) {
    std::lock_guard lock(mutex);
    messages.push_back(message);
    return handledAlready();
  });
  ASSERT_TRUE(doc.startSearch(kOperationSearchList, ";" + dir.file("tree") + "/;"));
  ASSERT_TRUE(doc.doneEvent.wait(kGenerous));
  doc.completeOperation(kOperationSucceeded);
  EXPECT_EQ(messages, (std::vector<int>{kSearchProgress, kOperationSucceeded})) << "progress at the second folder";
  ASSERT_EQ(doc.readerCount, 1);
  EXPECT_EQ(doc.readers[0].baseFolder, dir.file("tree/x"));
  EXPECT_EQ(doc.operationRunning, 0);
}

}  // namespace
}  // namespace vireo::testing
