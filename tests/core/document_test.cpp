// The document's folders and cleanup, and the worker: starting, stopping, closing, reporting.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "reader/document.h"
#include "reader/settings.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

constexpr auto kGenerous = seconds(60);

struct Scratch {
  ScratchDir dir;
  DocumentSetup setup() const {
    DocumentSetup s;
    s.settingsFile = dir.file("Vireo.conf");
    s.fallbackTempFolder = dir.file("run/temp_vir");
    s.exportFolder = dir.file("Documents/Vireo");
    return s;
  }
};

TEST(Document, WithoutSettingsUsesThePrivateFallbackAndDefaults) {
  Scratch scratch;
  Document doc(scratch.setup());
  EXPECT_EQ(doc.tempFolder, scratch.dir.file("run/temp_vir"));
  EXPECT_TRUE(fs::is_directory(doc.tempFolder));
  EXPECT_EQ(doc.previewPath, doc.tempFolder + "//letter.mht");
  EXPECT_EQ(doc.exportFolder, scratch.dir.file("Documents/Vireo"));
  EXPECT_FALSE(fs::exists(doc.exportFolder));
  EXPECT_FALSE(doc.copyBeforeBrowse);
  EXPECT_FALSE(doc.copyBeforeRecover);
  EXPECT_TRUE(doc.openStoreAtStart);
  EXPECT_EQ(doc.readers.size(), 500u);
  EXPECT_EQ(doc.readerCount, 0);
  EXPECT_EQ(doc.currentReader, kNoReader);
  EXPECT_TRUE(doc.stopEvent.isSet() && doc.doneEvent.isSet() && doc.closingEvent.isSet());
  EXPECT_EQ(doc.operationRunning, 0);
}

TEST(Document, SettingsChooseTheTempFolderAndOptions) {
  Scratch scratch;
  ASSERT_TRUE(writeSettings(scratch.dir.file("Vireo.conf"), Settings{scratch.dir.file("work"), 3u}));
  {
    Document doc(scratch.setup());
    EXPECT_EQ(doc.tempFolder, scratch.dir.file("work/Temp"));
    EXPECT_TRUE(doc.copyBeforeBrowse);
    EXPECT_TRUE(doc.copyBeforeRecover);
    EXPECT_FALSE(doc.openStoreAtStart);
  }
  std::ofstream(scratch.dir.file("blocked")) << "a file, not a folder";
  ASSERT_TRUE(writeSettings(scratch.dir.file("Vireo.conf"), Settings{scratch.dir.file("blocked"), 4u}));
  int storeLookups = 0;
  DocumentSetup setup = scratch.setup();
  setup.addStoreBases = [&](Document&) { ++storeLookups; };
  Document doc(setup);
  EXPECT_EQ(doc.tempFolder, scratch.dir.file("run/temp_vir"));
  EXPECT_FALSE(doc.copyBeforeBrowse);
  EXPECT_FALSE(doc.copyBeforeRecover);
  EXPECT_TRUE(doc.openStoreAtStart);
  EXPECT_EQ(storeLookups, 1);
}

TEST(Document, EndsWhenNoTempFolderCanBeMade) {
  Scratch scratch;
  fs::create_directory(scratch.dir.file("elsewhere"));
  fs::create_directory(scratch.dir.file("run"));
  fs::create_directory_symlink(scratch.dir.file("elsewhere"), scratch.dir.file("run/temp_vir"));
  CapturedMessages shown;
  int storeLookups = 0;
  DocumentSetup setup = scratch.setup();
  setup.addStoreBases = [&](Document&) { ++storeLookups; };
  Document doc(setup);
  // The document says why it cannot be used; the caller shows it and ends.
  ASSERT_EQ(shown.texts.size(), 1u);
  EXPECT_EQ(shown.texts[0], "Cannot make temp folder");
  EXPECT_EQ(doc.startupFailure(), "Creating TempDir(" + scratch.dir.file("run/temp_vir") + ")");
  EXPECT_EQ(storeLookups, 0);
}

TEST(Document, ClosingDeletesOnlyMessagesPreviewsAndWorkingCopies) {
  Scratch scratch;
  std::string temp;
  {
    Document doc(scratch.setup());
    temp = doc.tempFolder;
    for (const char* name : {"1.eml", "0_3.mht", "letter.mht", "2.dbc", "keep.txt", "keep.eml.bak",
                             "keep.EML", "noext"})
      std::ofstream(temp + "/" + name) << "x";
    fs::create_directory(temp + "/folder.eml");
  }
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(temp)) left.push_back(entry.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"folder.eml", "keep.EML", "keep.eml.bak", "keep.txt", "noext"}));
}

// Records the completion messages it is given.
struct Completions {
  std::mutex mutex;
  std::vector<int> messages;
  CompletionSink sink() {
    return [this](int message) {
      std::lock_guard lock(mutex);
      messages.push_back(message);
      return handledAlready();
    };
  }
  std::vector<int> seen() {
    std::lock_guard lock(mutex);
    return messages;
  }
};

// Calls a function on the first step of the bar.
class OnFirstStep final : public ProgressSink {
 public:
  explicit OnFirstStep(std::function<void()> action) : action_(std::move(action)) {}
  void setRange(uint32_t) override {}
  void setStep(int) override {}
  void setPos(uint32_t) override {}
  void stepIt() override {
    if (!fired_.exchange(true)) action_();
  }

 private:
  std::function<void()> action_;
  std::atomic<bool> fired_{false};
};

struct WorkerFixture {
  Scratch scratch;
  CapturedMessages shown;
  Completions completions;
  std::unique_ptr<Document> doc;

  explicit WorkerFixture(int messages = 300, std::chrono::milliseconds completionTimeout = kCompletionTimeout) {
    DocumentSetup setup = scratch.setup();
    setup.completionTimeout = completionTimeout;
    doc = std::make_unique<Document>(setup);
    DbxWriter writer;
    for (int i = 0; i < messages; ++i) writer.add(simpleMessage("message " + std::to_string(i)));
    writer.build().save(scratch.dir.file("Inbox.dbx"));
    MessageBaseReader& reader = doc->readers[0];
    reader.baseFolder = scratch.dir.path();
    reader.baseName = "Inbox.dbx";
    doc->readerCount = 1;
    doc->setCompletionSink(completions.sink());
  }
  int run(int operation) {
    EXPECT_TRUE(doc->startOperation(operation, 0));
    EXPECT_EQ(doc->operationRunning, 1);
    EXPECT_TRUE(doc->doneEvent.wait(kGenerous));
    const std::vector<int> seen = completions.seen();
    EXPECT_EQ(seen.size(), 1u);
    const int message = seen.empty() ? 0 : seen.back();
    doc->completeOperation(message);
    return message;
  }
};

TEST(Worker, BrowsesAndRecoversIntoTheReader) {
  WorkerFixture f(20);
  EXPECT_EQ(f.run(kOperationBrowse), kOperationSucceeded);
  EXPECT_EQ(f.doc->readers[0].state, 1);
  EXPECT_EQ(f.doc->readers[0].validCount, 20);
  f.completions.messages.clear();
  f.doc->copyBeforeRecover = true;
  EXPECT_EQ(f.run(kOperationRecover), kOperationSucceeded);
  EXPECT_EQ(f.doc->readers[0].state, 2);
  EXPECT_EQ(f.doc->readers[0].validCount, 20);
  EXPECT_EQ(f.doc->readers[0].workingPath, f.doc->tempFolder + "/0.dbc");
  EXPECT_EQ(f.doc->operationRunning, 0);
}

// What the window reads of a reader while the worker fills it: whether it has messages to show
// (the state first, so the count is not read while it changes) and browseFailed, which the worker
// writes. Under ThreadSanitizer a read that races the worker is reported here.
TEST(Worker, TheWindowsReadsOfAReaderBeingBrowsedDoNotRaceTheWorker) {
  WorkerFixture f(3000);
  const MessageBaseReader& reader = f.doc->readers[0];
  ASSERT_TRUE(f.doc->startOperation(kOperationBrowse, 0));
  while (!f.doc->doneEvent.isSet()) {
    EXPECT_FALSE(reader.hasMessagesToShow());
    EXPECT_FALSE(reader.browseFailed);
    std::this_thread::yield();
  }
  ASSERT_EQ(f.completions.seen(), std::vector<int>{kOperationSucceeded});
  f.doc->completeOperation(kOperationSucceeded);
  EXPECT_TRUE(reader.hasMessagesToShow());
  EXPECT_EQ(reader.count(), 3000);
}

TEST(Worker, StopEndsBrowseAndRecoveryAsFailedWithAnEmptyReader) {
  for (int operation : {kOperationBrowse, kOperationRecover}) {
    WorkerFixture f;
    OnFirstStep stopper([&] { f.doc->stopOperation(); });
    f.doc->progress = &stopper;
    EXPECT_EQ(f.run(operation), kOperationFailed) << operation;
    EXPECT_EQ(f.doc->readers[0].count(), 0);
    EXPECT_EQ(f.doc->readers[0].state, 0);
    EXPECT_EQ(f.doc->operationRunning, 0);
    EXPECT_TRUE(f.shown.texts.empty()) << f.shown.texts.front();
  }
}

TEST(Worker, ClosingDuringRecoveryStopsItAndReportsNothing) {
  WorkerFixture f;
  ManualResetEvent reached;
  ManualResetEvent& closing = f.doc->closingEvent;
  // Holds the scan at its first step until the document closes.
  OnFirstStep holder([&] {
    reached.set();
    closing.wait(kGenerous);
  });
  f.doc->progress = &holder;
  f.doc->copyBeforeRecover = true;
  ASSERT_TRUE(f.doc->startOperation(kOperationRecover, 0));
  ASSERT_TRUE(reached.wait(kGenerous));
  const std::string temp = f.doc->tempFolder;
  ASSERT_TRUE(std::filesystem::exists(temp + "/0.dbc"));
  f.doc.reset();
  EXPECT_TRUE(f.completions.seen().empty());
  EXPECT_TRUE(f.shown.texts.empty()) << f.shown.texts.front();
  // Nothing of the run stays behind: no working copy, preview or message file.
  std::error_code missing;
  for (const auto& entry : std::filesystem::directory_iterator(temp, missing)) {
    const std::string extension = entry.path().extension();
    EXPECT_TRUE(extension != ".dbc" && extension != ".mht" && extension != ".eml") << entry.path();
  }
}

TEST(Worker, GivesUpWaitingForAnUnhandledCompletion) {
  WorkerFixture f(3, std::chrono::milliseconds(20));
  std::promise<void> never;
  f.doc->setCompletionSink([&](int) { return never.get_future(); });
  ASSERT_TRUE(f.doc->startOperation(kOperationBrowse, 0));
  EXPECT_TRUE(f.doc->doneEvent.wait(kGenerous));
  f.doc->completeOperation(kOperationSucceeded);
  EXPECT_TRUE(f.doc->startOperation(kOperationBrowse, 0));  // the old thread was joined
  EXPECT_TRUE(f.doc->doneEvent.wait(kGenerous));
}

TEST(Worker, RefusesASecondOperationAndBadReaders) {
  WorkerFixture f(3);
  ManualResetEvent release;
  OnFirstStep holder([&] { release.wait(kGenerous); });
  f.doc->progress = &holder;
  EXPECT_FALSE(f.doc->startOperation(kOperationBrowse, 500));
  EXPECT_FALSE(f.doc->startOperation(kOperationSearchList, 0));
  ASSERT_TRUE(f.doc->startOperation(kOperationBrowse, 0));
  EXPECT_FALSE(f.doc->startOperation(kOperationRecover, 0));
  EXPECT_FALSE(f.doc->startSearch(kOperationSearchFolder, "/"));
  release.set();
  EXPECT_TRUE(f.doc->doneEvent.wait(kGenerous));
}

TEST(SearchFolders, SplitsListsAndDropsOneTrailingSeparator) {
  EXPECT_EQ(searchFolders(kOperationSearchList, "C:\\;;D:/"), (std::vector<std::string>{"C:", "D:"}));
  EXPECT_EQ(searchFolders(kOperationSearchList, ";/home/a//;/srv\\;"),
            (std::vector<std::string>{"/home/a/", "/srv"}));
  EXPECT_EQ(searchFolders(kOperationSearchFolder, "/mnt/x;y/"), std::vector<std::string>{"/mnt/x;y"});
  std::string longList;
  for (int i = 0; i < 100; ++i) longList += "/folder/number/" + std::to_string(i) + "/;";
  const auto folders = searchFolders(kOperationSearchList, longList);
  ASSERT_EQ(folders.size(), 100u);
  EXPECT_EQ(folders.back(), "/folder/number/99");
}

TEST(Worker, SearchesEachFolderAndReportsTheSearchResult) {
  Scratch scratch;
  Completions completions;
  Document doc(scratch.setup());
  doc.setCompletionSink(completions.sink());
  std::vector<std::string> searched;
  doc.setFolderSearch([&](WorkerShared& shared, const std::string& folder) {
    searched.push_back(folder);
    if (folder == "/stop") shared.searchOk = 0;
  });
  ASSERT_TRUE(doc.startSearch(kOperationSearchList, "/a/;;/b"));
  ASSERT_TRUE(doc.doneEvent.wait(kGenerous));
  EXPECT_EQ(doc.searchOk, 1);
  ASSERT_TRUE(doc.startSearch(kOperationSearchFolder, "/stop/"));
  ASSERT_TRUE(doc.doneEvent.wait(kGenerous));
  EXPECT_EQ(searched, (std::vector<std::string>{"/a", "/b", "/stop"}));
  EXPECT_EQ(completions.seen(), (std::vector<int>{kOperationSucceeded, kOperationFailed}));
}

TEST(Worker, ReportsAFaultOfTheProgramAndFailsTheOperation) {
  Scratch scratch;
  CapturedMessages shown;
  Completions completions;
  Document doc(scratch.setup());
  doc.setCompletionSink(completions.sink());
  doc.setFolderSearch([](WorkerShared&, const std::string&) { throw std::logic_error("search without a finder"); });
  ASSERT_TRUE(doc.startSearch(kOperationSearchFolder, "/"));
  ASSERT_TRUE(doc.doneEvent.wait(kGenerous));
  EXPECT_EQ(completions.seen(), std::vector<int>{kOperationFailed});
  EXPECT_EQ(shown.texts, std::vector<std::string>{
                             "Vireo could not finish the operation because of an internal error:\nsearch without a finder"});
}

// Sets an event when destroyed: tells when the worker has let go of its shared state.
struct SetOnDestroy {
  std::shared_ptr<ManualResetEvent> event = std::make_shared<ManualResetEvent>();
  ~SetOnDestroy() { event->set(); }
};

TEST(Worker, ADocumentClosesEvenWhenItsWorkerDoesNotStop) {
  Scratch scratch;
  CapturedMessages shown;
  Completions completions;
  DocumentSetup setup = scratch.setup();
  setup.closeTimeout = std::chrono::milliseconds(50);
  auto doc = std::make_unique<Document>(setup);
  doc->setCompletionSink(completions.sink());
  ManualResetEvent searching, release;
  auto gone = std::make_shared<SetOnDestroy>();
  const std::shared_ptr<ManualResetEvent> goneEvent = gone->event;
  doc->setFolderSearch([&, gone = std::move(gone)](WorkerShared& shared, const std::string&) {
    searching.set();
    release.wait(kGenerous);  // a search that ignores the stop request
    shared.readers[0].baseName = "still here";
  });
  ASSERT_TRUE(doc->startSearch(kOperationSearchFolder, "/"));
  ASSERT_TRUE(searching.wait(kGenerous));
  doc.reset();
  EXPECT_EQ(shown.texts, std::vector<std::string>{"Error closing recover thread"});
  release.set();
  EXPECT_TRUE(goneEvent->wait(kGenerous));
  EXPECT_TRUE(completions.seen().empty());
}

}  // namespace
}  // namespace vireo::testing
