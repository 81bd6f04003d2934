// Adding bases to the table: a folder's files, the duplicate rule, the 500 limit, the command line.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "dbx/layout.h"
#include "reader/base_listing.h"
#include "reader/document.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;

constexpr auto kGenerous = std::chrono::seconds(60);

void writeBase(const std::string& path, uint32_t kindWord = dbx::kKindWordMessages, uint8_t newsMarker = 1) {
  DbxWriter writer(kindWord);
  writer.setNewsMarker(newsMarker);
  writer.add(simpleMessage("hello"));
  writer.build().save(path);
}

struct ListingFixture {
  ScratchDir dir;
  CapturedMessages shown;
  Document doc{setup()};

  DocumentSetup setup() const {
    DocumentSetup s;
    s.fallbackTempFolder = dir.file("temp");
    s.exportFolder = dir.file("export");
    return s;
  }
  std::string folder(const std::string& name) const {
    fs::create_directories(dir.file(name));
    return dir.file(name);
  }
  const MessageBaseReader& at(int i) const { return doc.readers[static_cast<size_t>(i)]; }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (int i = 0; i < doc.readerCount; ++i) out.push_back(at(i).baseName);
    return out;
  }
  void fillTo(int count) { fillReaderTable(doc.shared(), count); }
};

TEST(ListFolderBases, AddsTheFolderBaseFilesSortedWithTheirKinds) {
  ListingFixture f;
  const std::string folder = f.folder("Store");
  writeBase(folder + "/Outbox.dbx");
  writeBase(folder + "/News.DBX", dbx::kKindWordMessages, 0);
  writeBase(folder + "/Folders.dbx", dbx::kKindWordFolders);
  writeBase(folder + "/Inbox.dbx");
  std::ofstream(folder + "/notes.txt") << "not a base";
  std::ofstream(folder + "/short.dbx") << "abc";  // unreadable header: kind 7
  std::ofstream(folder + "/Inbox.dbx.bak") << "x";
  fs::create_directory(folder + "/Deleted.dbx");
  ASSERT_EQ(::mkfifo((folder + "/Pipe.dbx").c_str(), 0600), 0);

  listFolderBases(f.doc, folder);

  EXPECT_EQ(f.names(), (std::vector<std::string>{"Folders.dbx", "Inbox.dbx", "News.DBX", "Outbox.dbx", "short.dbx"}));
  EXPECT_EQ(f.at(0).baseKind, dbx::kBaseKindFolders);
  EXPECT_EQ(f.at(1).baseKind, dbx::kBaseKindMail);
  EXPECT_EQ(f.at(2).baseKind, dbx::kBaseKindNews);
  EXPECT_EQ(f.at(4).baseKind, dbx::kBaseKindOther);
  for (int i = 0; i < f.doc.readerCount; ++i) {
    EXPECT_EQ(f.at(i).baseFolder, folder);
    EXPECT_EQ(f.at(i).readerNumber, i);
    EXPECT_EQ(f.at(i).state, 0);
  }
  EXPECT_TRUE(f.shown.texts.empty());
  EXPECT_FALSE(f.doc.listingStopped);
}

TEST(ListFolderBases, AFolderWithoutBasesOrThatIsMissingAddsAndShowsNothing) {
  ListingFixture f;
  const std::string empty = f.folder("Empty");
  std::ofstream(empty + "/readme.txt") << "x";
  listFolderBases(f.doc, empty);
  listFolderBases(f.doc, f.dir.file("missing"));
  listFolderBases(f.doc, empty + "/readme.txt");
  EXPECT_EQ(f.doc.readerCount, 0);
  EXPECT_TRUE(f.shown.texts.empty());
}

TEST(DropDuplicateBase, KeepsOneEntryPerFileAndBringsRemovedOnesBack) {
  ListingFixture f;
  const std::string folder = f.folder("Store");
  writeBase(folder + "/Inbox.dbx");
  writeBase(folder + "/Sent.dbx");
  listFolderBases(f.doc, folder);
  ASSERT_EQ(f.doc.readerCount, 2);

  MessageBaseReader& inbox = f.doc.readers[0];
  MessageBaseReader& sent = f.doc.readers[1];
  inbox.removed = true;
  inbox.browseFailed = true;
  sent.state = 1;  // read before: met again, it keeps its table and state
  sent.addRecord(MessageRecord{}, BlockSpan{});
  listFolderBases(f.doc, folder);
  EXPECT_EQ(f.doc.readerCount, 2);
  EXPECT_FALSE(inbox.removed);
  EXPECT_FALSE(inbox.browseFailed);
  EXPECT_EQ(sent.state, 1);
  EXPECT_EQ(sent.count(), 1);

  // The same files under another spelling of the folder are other entries.
  fs::create_directory_symlink(folder, f.dir.file("STORE"));
  listFolderBases(f.doc, f.dir.file("STORE"));
  ASSERT_EQ(f.doc.readerCount, 4);
  EXPECT_EQ(f.at(2).baseFolder, f.dir.file("STORE"));
  EXPECT_EQ(f.at(3).readerNumber, 3);
}

TEST(DropDuplicateBase, ComparesNamesAndFoldersByteForByte) {
  ListingFixture f;
  f.fillTo(3);
  f.doc.readers[1].baseName = "Inbox.dbx";
  f.doc.readers[1].baseFolder = "/mail";
  auto addNewest = [&](const std::string& name, const std::string& folder) {
    f.doc.readers[static_cast<size_t>(f.doc.readerCount)].baseName = name;
    f.doc.readers[static_cast<size_t>(f.doc.readerCount)].baseFolder = folder;
    ++f.doc.readerCount;
    return dropDuplicateBase(f.doc);
  };
  EXPECT_EQ(addNewest("inbox.dbx", "/mail"), 1);
  EXPECT_EQ(f.doc.readerCount, 4);
  EXPECT_EQ(addNewest("Inbox.dbx", "/mail/"), 1);
  EXPECT_EQ(f.doc.readerCount, 5);
  EXPECT_EQ(addNewest("Inbox.dbx", "/mail"), 1);
  EXPECT_EQ(f.doc.readerCount, 5);
}

TEST(ListFolderBases, StopsAtFiveHundredBasesWithOneMessagePerListing) {
  ListingFixture f;
  const std::string folder = f.folder("Store");
  writeBase(folder + "/A.dbx");
  writeBase(folder + "/B.dbx");
  f.fillTo(499);
  listFolderBases(f.doc, folder);
  EXPECT_EQ(f.doc.readerCount, 500);
  EXPECT_EQ(f.at(499).baseName, "A.dbx");
  EXPECT_TRUE(f.doc.listingStopped);
  EXPECT_EQ(f.shown.texts, std::vector<std::string>{"Number of dbx files >500"});

  // A later listing meets the full table at its first file and says so again.
  listFolderBases(f.doc, folder);
  EXPECT_EQ(f.doc.readerCount, 500);
  EXPECT_EQ(f.shown.texts.size(), 2u);
}

// Runs in another working folder and comes back.
struct InFolder {
  fs::path previous = fs::current_path();
  explicit InFolder(const std::string& folder) { fs::current_path(folder); }
  ~InFolder() { fs::current_path(previous); }
};

TEST(ListStartPaths, ListsFilesAndFoldersAsAbsolutePathsWithoutTrailingSlashes) {
  ListingFixture f;
  const std::string store = f.folder("Store");
  const std::string other = f.folder("Other");
  writeBase(store + "/Inbox.dbx");
  writeBase(store + "/Sent.dbx");
  writeBase(other + "/Drafts.dbx");
  {
    InFolder in(f.dir.path());
    listStartPaths(f.doc, {"Other/Drafts.dbx", store + "//", "./Store/Inbox.dbx"});
  }
  EXPECT_EQ(f.names(), (std::vector<std::string>{"Drafts.dbx", "Inbox.dbx", "Sent.dbx"}));
  EXPECT_EQ(f.at(0).baseFolder, other);
  EXPECT_EQ(f.at(1).baseFolder, store);
  EXPECT_EQ(f.at(2).baseFolder, store);
  EXPECT_TRUE(f.shown.texts.empty());
}

TEST(ListStartPaths, NamesWhatItCannotListAndGoesOn) {
  ListingFixture f;
  const std::string store = f.folder("Store");
  writeBase(store + "/Inbox.dbx");
  std::ofstream(store + "/notes.txt") << "x";
  listStartPaths(f.doc, {f.dir.file("missing.dbx"), store + "/notes.txt", "", store + "/Inbox.dbx"});
  EXPECT_EQ(f.names(), std::vector<std::string>{"Inbox.dbx"});
  ASSERT_EQ(f.shown.texts.size(), 3u);
  EXPECT_EQ(f.shown.texts[0], "Cannot open " + f.dir.file("missing.dbx") + "\nNo such file or directory");
  EXPECT_EQ(f.shown.texts[1], "Cannot open " + store + "/notes.txt\nIt is neither a folder nor a .dbx file.");
  EXPECT_EQ(f.shown.texts[2], "Cannot open \"\"\nNo such file or folder.");
}

TEST(ListStartPaths, ShowsTheLimitOnceForTheWholeCommandLine) {
  ListingFixture f;
  const std::string store = f.folder("Store");
  writeBase(store + "/A.dbx");
  writeBase(store + "/B.dbx");
  f.fillTo(500);
  listStartPaths(f.doc, {store, store + "/A.dbx", store + "/B.dbx"});
  EXPECT_EQ(f.doc.readerCount, 500);
  EXPECT_EQ(f.shown.texts, std::vector<std::string>{"Number of dbx files >500"});
}

}  // namespace
}  // namespace vireo::testing
