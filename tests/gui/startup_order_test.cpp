// The window appears first: the store folders and the paths of the command line are found on a
// thread of their own after it is shown, and the tree grows as each folder's bases arrive.
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <filesystem>

#include "platform/manual_reset_event.h"
#include "shell/base_tree_model.h"
#include "shell/tree_view.h"
#include "shell/vireo_app.h"
#include "tests/gui/support/window_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "views/main_frame.h"
#include "views/vireo_doc.h"

namespace vireo::shell {
namespace {

using std::chrono::seconds;

std::string writeBases(const QString& folder, std::initializer_list<const char*> names) {
  QDir().mkpath(folder);
  for (const char* name : names) {
    testing::DbxWriter writer;
    writer.add(testing::simpleMessage(name));
    writer.build().save((folder + QLatin1Char('/') + QLatin1String(name)).toStdString());
  }
  return folder.toStdString();
}

std::vector<std::string> listedNames(const Document& doc) {
  std::vector<std::string> names;
  for (int i = 0; i < doc.readerCount; ++i) names.push_back(doc.readers[static_cast<size_t>(i)].baseName);
  return names;
}

// Processes events until done says so; false after a minute.
bool processUntil(const std::function<bool()>& done) {
  QDeadlineTimer deadline(60000);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
  return true;
}

}  // namespace

class StartupOrderTest : public QObject {
  Q_OBJECT

 private slots:
  void theWindowIsShownBeforeTheStoresAreFoundAndTheTreeGrowsAsTheyArrive() {
    QTemporaryDir scratch;
    guitest::ModalAnswers modals;
    const std::string first = writeBases(scratch.filePath(QStringLiteral("first")), {"Inbox.dbx", "Sent Items.dbx"});
    const std::string second = writeBases(scratch.filePath(QStringLiteral("second")), {"Archive.dbx"});
    const std::string given = writeBases(scratch.filePath(QStringLiteral("given")), {"Old.dbx"}) + "/Old.dbx";

    // A discovery that waits before each store folder until the test lets it go on.
    ManualResetEvent waiting;
    ManualResetEvent goOnFirst;
    ManualResetEvent goOnSecond;
    std::atomic<bool> stoppedEarly{false};
    DocumentSetup setup = guitest::scratchSetup(scratch.filePath(QStringLiteral("home")));
    setup.storeFolders = [&](const std::string&, const std::function<bool(const std::string&)>& listFolder) {
      waiting.set();
      if (!goOnFirst.wait(seconds(60)) || !listFolder(first)) return;
      if (!goOnSecond.wait(seconds(60))) return;
      if (!listFolder(second)) stoppedEarly = true;
    };

    CVireoApp app;
    app.frameSize = QSize(900, 600);
    app.ParseCommandLine(std::vector<std::string>{given});
    QVERIFY(app.InitInstance(setup));
    QVERIFY(app.mainWindow()->isVisible());
    QVERIFY(waiting.wait(seconds(60)));
    views::CVireoDoc& doc = *app.document();
    QVERIFY(doc.findingBases());
    QCoreApplication::processEvents();
    QCOMPARE(int{doc.readerCount}, 0);
    // The window answers meanwhile: a command runs.
    QVERIFY(app.mainWindow()->routeCommand(command::kViewSystemBase));

    goOnFirst.set();
    QVERIFY(processUntil([&] { return doc.readerCount == 2; }));
    auto* tree = dynamic_cast<CTreeView_1*>(app.mainWindow()->treeView());
    QVERIFY(tree);
    QVERIFY(tree->baseModel()->findBase(1).isValid());  // shown before the rest is found
    QVERIFY(doc.findingBases());

    goOnSecond.set();
    QVERIFY(app.waitForStartBases());
    QCOMPARE(listedNames(doc), (std::vector<std::string>{"Inbox.dbx", "Sent Items.dbx", "Archive.dbx", "Old.dbx"}));
    for (int i = 0; i < 4; ++i) QVERIFY(tree->baseModel()->findBase(i).isValid());
    QCOMPARE(doc.readers[0].baseKind, doc.readers[3].baseKind);  // kinds read on the way
    QVERIFY(!stoppedEarly);
    QVERIFY(modals.messageTexts().empty());
  }

  // "vireo FILE.dbx", as a file manager starts it: that base is selected and browsed once listed,
  // among the bases of the store folders. A folder named alone only lists its bases.
  void aBaseFileNamedAloneIsSelectedAndBrowsed() {
    QTemporaryDir scratch;
    guitest::ModalAnswers modals;
    const std::string store = writeBases(scratch.filePath(QStringLiteral("store")), {"Inbox.dbx", "Sent Items.dbx"});
    const std::string given = writeBases(scratch.filePath(QStringLiteral("given")), {"Old.dbx", "Older.dbx"});
    for (const bool file : {true, false}) {
      DocumentSetup setup = guitest::scratchSetup(scratch.filePath(QStringLiteral("home")));
      setup.storeFolders = [&](const std::string&, const std::function<bool(const std::string&)>& listFolder) {
        listFolder(store);
      };
      CVireoApp app;
      app.frameSize = QSize(900, 600);
      app.ParseCommandLine(std::vector<std::string>{file ? given + "/Older.dbx" : given});
      QVERIFY(app.InitInstance(setup));
      QVERIFY(app.waitForStartBases());
      views::CVireoDoc& doc = *app.document();
      if (!file) {
        QCOMPARE(doc.readerCount, 4);
        QCOMPARE(doc.currentReader, kRootItem);
        continue;
      }
      const int older = doc.readerForFile(std::filesystem::path(given) / "Older.dbx");
      QVERIFY(older >= 0);
      QCOMPARE(doc.readers[static_cast<size_t>(older)].baseName, std::string("Older.dbx"));
      QVERIFY(processUntil([&] { return doc.currentReader == older && doc.operationRunning == 0 &&
                                        doc.readers[static_cast<size_t>(older)].count() == 1; }));
      QVERIFY(modals.messageTexts().empty());
    }
  }

  void closingWhileTheStoresAreFoundStopsTheFinding() {
    QTemporaryDir scratch;
    guitest::ModalAnswers modals;
    const std::string folder = writeBases(scratch.filePath(QStringLiteral("store")), {"Inbox.dbx"});
    ManualResetEvent waiting;
    std::atomic<int> listedAfterClose{0};
    std::atomic<bool> refused{false};
    DocumentSetup setup = guitest::scratchSetup(scratch.filePath(QStringLiteral("home")));
    setup.storeFolders = [&](const std::string&, const std::function<bool(const std::string&)>& listFolder) {
      waiting.set();
      // Goes on until told to stop, as a walk of a large registry does.
      for (int i = 0; i < 100000; ++i) {
        if (!listFolder(folder)) {
          refused = true;
          return;
        }
        ++listedAfterClose;
        QThread::msleep(1);
      }
    };
    auto app = std::make_unique<CVireoApp>();
    QVERIFY(app->InitInstance(setup));
    QVERIFY(waiting.wait(seconds(60)));
    app.reset();
    QVERIFY(refused);
  }
};

}  // namespace vireo::shell

QTEST_MAIN(vireo::shell::StartupOrderTest)
#include "startup_order_test.moc"
