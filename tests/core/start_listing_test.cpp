// The start-up's bases found off the interface thread: each folder's bases as a list, in the
// table's order; start paths as the command line names them; the lists added on the interface
// thread with the duplicate and limit rules, and held back while a search fills the table.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "dbx/file_header.h"
#include "reader/base_listing.h"
#include "reader/document.h"
#include "reader/start_listing.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;

void writeBase(const std::string& path) {
  DbxWriter writer;
  writer.add(simpleMessage("one"));
  writer.build().save(path);
}

std::vector<std::string> names(const std::vector<FoundBase>& bases) {
  std::vector<std::string> result;
  for (const FoundBase& base : bases) result.push_back(base.name);
  return result;
}

TEST(StartListing, DeliversEachFolderInOrderThenThePathsAndEndsWithALastCall) {
  ScratchDir dir;
  fs::create_directories(dir.file("store"));
  fs::create_directories(dir.file("store/Folder.dbx"));  // a folder named like a base is none
  writeBase(dir.file("store/Sent.dbx"));
  writeBase(dir.file("store/Inbox.DBX"));
  writeBase(dir.file("Old.dbx"));
  std::ofstream(dir.file("notes.txt")) << "not a base";
  CapturedMessages shown;
  std::vector<std::vector<FoundBase>> lists;
  std::vector<bool> lasts;
  const std::atomic<bool> stop{false};
  findStartBases(
      [&](const std::string&, const std::function<bool(const std::string&)>& listFolder) { listFolder(dir.file("store")); },
      dir.path(), {dir.file("Old.dbx"), dir.file("notes.txt"), ""},
      [&](std::vector<FoundBase> bases, bool last) {
        lists.push_back(std::move(bases));
        lasts.push_back(last);
      },
      stop);
  ASSERT_EQ(lists.size(), 5u);
  EXPECT_EQ(names(lists[0]), (std::vector<std::string>{"Inbox.DBX", "Sent.dbx"}));
  EXPECT_EQ(lists[0][0].folder, dir.file("store"));
  EXPECT_EQ(lists[0][0].kind, dbx::detectBaseKind(dir.file("store/Inbox.DBX")).value_or(-1));
  EXPECT_EQ(names(lists[1]), std::vector<std::string>{"Old.dbx"});
  EXPECT_EQ(lists[1][0].folder, dir.path());
  EXPECT_TRUE(lists[2].empty() && lists[3].empty() && lists[4].empty());
  EXPECT_EQ(lasts, (std::vector<bool>{false, false, false, false, true}));
  ASSERT_EQ(shown.texts.size(), 2u);
  EXPECT_EQ(shown.texts[0], "Cannot open " + dir.file("notes.txt") + "\nIt is neither a folder nor a .dbx file.");
  EXPECT_EQ(shown.texts[1], "Cannot open \"\"\nNo such file or folder.");
}

TEST(StartListing, AStopEndsTheWalkBetweenFolders) {
  ScratchDir dir;
  std::atomic<bool> stop{false};
  int offered = 0;
  bool refused = false;
  int lists = 0;
  findStartBases(
      [&](const std::string&, const std::function<bool(const std::string&)>& listFolder) {
        for (int i = 0; i < 10 && !refused; ++i) {
          ++offered;
          refused = !listFolder(dir.path());
        }
      },
      dir.path(), {dir.path()},
      [&](std::vector<FoundBase>, bool last) {
        ++lists;
        if (lists == 2) stop = true;
        if (last) {
          EXPECT_EQ(lists, 3);
        }
      },
      stop);
  EXPECT_EQ(offered, 2);
  EXPECT_TRUE(refused);
  EXPECT_EQ(lists, 3);  // two folders, no start path, the last call
}

TEST(StartListing, TheInterfaceThreadAddsTheListsAndWaitsForASearch) {
  ScratchDir dir;
  fs::create_directories(dir.file("store"));
  writeBase(dir.file("store/Inbox.dbx"));
  writeBase(dir.file("store/Sent.dbx"));
  DocumentSetup setup;
  setup.fallbackTempFolder = dir.file("temp");
  Document doc(setup);
  const std::vector<FoundBase> found = findFolderBases(dir.file("store"));

  // A search is filling the table from the worker: the list waits for its completion.
  doc.operation = kOperationSearchFolder;
  doc.operationRunning = 1;
  EXPECT_FALSE(doc.takeFoundBases(found, false));
  EXPECT_EQ(doc.readerCount, 0);
  doc.completeOperation(kOperationSucceeded);
  EXPECT_EQ(doc.readerCount, 2);

  // The same bases again are duplicates; a browse running elsewhere does not hold them back.
  doc.operation = kOperationBrowse;
  doc.operationRunning = 1;
  EXPECT_TRUE(doc.takeFoundBases(found, true));
  EXPECT_EQ(doc.readerCount, 2);
  EXPECT_FALSE(doc.findingBases());
  EXPECT_EQ(doc.readers[1].baseName, "Sent.dbx");
  EXPECT_EQ(doc.readers[1].baseKind, found[1].kind);
}

TEST(StartListing, AFullTableSaysSoOnceAndTakesNoMore) {
  ScratchDir dir;
  DocumentSetup setup;
  setup.fallbackTempFolder = dir.file("temp");
  Document doc(setup);
  std::vector<FoundBase> many;
  for (int i = 0; i < kReaderTableSize + 3; ++i) many.push_back({dir.path(), "Base" + std::to_string(i) + ".dbx", 0});
  CapturedMessages shown;
  EXPECT_FALSE(addFoundBases(doc, many));
  EXPECT_FALSE(addFoundBases(doc, {{dir.path(), "Later.dbx", 0}}));
  EXPECT_EQ(doc.readerCount, kReaderTableSize);
  EXPECT_EQ(shown.texts, std::vector<std::string>{kTooManyBasesText});
}

}  // namespace
}  // namespace vireo::testing

