// Browsing and recovery from the tree: through the worker to the completion message, the status
// pane and its progress bar, stopping, availability while running, and a rebuild meanwhile.
#include <QProgressBar>
#include <QThread>
#include <QtTest>

#include "dbx/layout.h"
#include "reader/base_listing.h"
#include "shell/base_tree_model.h"
#include "shell/operation_status.h"
#include "shell/tree_images.h"
#include "tests/gui/support/gated_progress.h"
#include "tests/gui/support/tree_harness.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "views/progress_bar_sink.h"

namespace vireo::testing {
namespace {

std::string sample(const char* name) { return qEnvironmentVariable("VIREO_SOURCE_DIR").toStdString() + "/samples/" + name; }

bool showedBadFormat(const MessageLog& log) {
  for (const std::string& text : log.texts())
    if (text.starts_with("Bad file format, use message base recovery.")) return true;
  return false;
}

// Whether each command of the availability table is enabled now.
std::vector<std::pair<int, bool>> availability(views::CVireoDoc& doc) {
  std::vector<std::pair<int, bool>> out;
  for (int id : {command::kBrowse, command::kRecover, command::kSaveAll, command::kAddBase, command::kStop,
                 command::kSaveSelected, command::kCopyBase, command::kRemoveBase, command::kViewSystemBase,
                 command::kViewNewsBase})
    out.emplace_back(id, doc.OnUpdateCmdUI(id).value_or(false));
  return out;
}

// Waits, without handling the completion, until the worker has stepped the bar.
bool waitForProgress(const TreeHarness& h) {
  for (int i = 0; i < 60000 && h.tree->progressSink()->position() == 0; ++i) QThread::msleep(1);
  return h.tree->progressSink()->position() > 0;
}

}  // namespace

class TreeOperationTest : public QObject {
  Q_OBJECT

 private slots:
  void browsingASampleShowsItsProgressAndEndsBrowsed() {
    TreeHarness h;
    listStartPaths(*h.doc, {sample("Inbox.dbx")});
    h.refresh();
    h.select(h.node(0));
    h.doc->canSaveSelected = 1;
    h.updates.updates.clear();
    const QString text = QStringLiteral("Browsing of Inbox.dbx:");
    const QRect place = shell::progressBarRect(*h.statusBar, text);
    QVERIFY(h.tree->OnCmdMsg(command::kBrowse));

    // The completion cannot be handled before this thread returns to its event loop.
    QCOMPARE(h.statusBar->paneText(0), text);
    QCOMPARE(h.statusBar->paneId(0), command::kIndicatorKana);
    QCOMPARE(h.tree->OnUpdateCmdUI(command::kIndicatorKana), std::optional<bool>(true));
    QProgressBar* bar = h.tree->operationProgress();
    QVERIFY(bar);
    QCOMPARE(bar->parentWidget(), static_cast<QWidget*>(h.statusBar));
    QCOMPARE(h.statusBar->progressShown, 1);
    QCOMPARE(h.statusBar->progressBar, bar);
    QCOMPARE(bar->geometry(), place);
    QCOMPARE(h.statusBar->progressGap, h.statusBar->rect().width() - bar->width());
    QCOMPARE(h.doc->operationRunning, 1);
    QCOMPARE(h.doc->operation, kOperationBrowse);
    QVERIFY(h.updates.updates.empty());  // not read before: nothing to empty
    const std::vector<std::pair<int, bool>> running{
        {command::kBrowse, false},        {command::kRecover, false},       {command::kSaveAll, false},
        {command::kAddBase, false},       {command::kStop, true},           {command::kSaveSelected, true},
        {command::kCopyBase, false},      {command::kRemoveBase, false},    {command::kViewSystemBase, true},
        {command::kViewNewsBase, true}};
    QCOMPARE(availability(*h.doc), running);

    QVERIFY(h.waitUntilIdle());
    const MessageBaseReader& reader = h.doc->readers[0];
    QCOMPARE(reader.state, 1);
    QCOMPARE(reader.count(), 13);
    QCOMPARE(h.image(0), shell::image::kMailBrowsed);
    QCOMPARE(h.node(0).data(Qt::AccessibleDescriptionRole).toString(), QStringLiteral("Mail message base, browsed"));
    QCOMPARE(h.doc->canSaveAll, 1);
    QCOMPARE(h.doc->OnUpdateCmdUI(command::kBrowse), std::optional<bool>(true));
    QCOMPARE(h.statusBar->paneText(0), QString());
    QCOMPARE(h.statusBar->paneId(0), 0);
    QCOMPARE(h.statusBar->progressShown, 0);
    QVERIFY(!h.statusBar->progressBar);
    QVERIFY(!h.tree->operationProgress());
    QVERIFY(h.statusBar->findChildren<QProgressBar*>().isEmpty());
    QCOMPARE(h.updates.hints(), std::vector<int>{6});
    QVERIFY(h.shown.texts().empty());
  }

  void recoveryFindsWhatBrowsingCannotAndReadingAgainStartsEmpty() {
    TreeHarness h;
    listStartPaths(*h.doc, {sample("Damaged.dbx"), sample("News.dbx")});
    h.refresh();
    h.select(h.node(0));
    h.tree->OnCmdMsg(command::kBrowse);
    QVERIFY(h.waitUntilIdle());
    const MessageBaseReader& damaged = h.doc->readers[0];
    QVERIFY(showedBadFormat(h.shown));
    QCOMPARE(damaged.state, 0);
    QCOMPARE(damaged.count(), 0);
    QVERIFY(damaged.browseFailed);
    QCOMPARE(h.image(0), shell::image::kMailBadFormat);
    QCOMPARE(h.doc->canSaveAll, 0);

    h.tree->OnCmdMsg(command::kRecover);
    QCOMPARE(h.statusBar->paneText(0), QStringLiteral("Recovering of Damaged.dbx:"));
    QVERIFY(h.waitUntilIdle());
    QCOMPARE(damaged.state, 2);
    QCOMPARE(damaged.validCount, 9);
    QCOMPARE(h.image(0), shell::image::kMailRecovered);
    QCOMPARE(h.doc->canSaveAll, 1);

    // Read before: the table is dropped and the list told before the worker starts.
    h.updates.updates.clear();
    h.tree->OnCmdMsg(command::kBrowse);
    QCOMPARE(damaged.count(), 0);
    QCOMPARE(damaged.state, 0);
    QCOMPARE(h.updates.hints(), std::vector<int>{6});
    QVERIFY(h.waitUntilIdle());
    QCOMPARE(h.image(0), shell::image::kMailBadFormat);
    QCOMPARE(h.doc->canSaveAll, 0);

    h.select(h.node(1));
    h.tree->OnCmdMsg(command::kBrowse);
    QVERIFY(h.waitUntilIdle());
    QCOMPARE(h.image(1), shell::image::kNewsBrowsed);
    h.tree->OnCmdMsg(command::kRecover);
    QVERIFY(h.waitUntilIdle());
    QCOMPARE(h.image(1), shell::image::kNewsRecovered);
  }

  void browseAndRecoverRefuseWhatIsNotABase() {
    TreeHarness h;
    listStartPaths(*h.doc, {sample("Inbox.dbx")});
    h.addBase("Store", "Folders.dbx", [] {
      DbxWriter writer(dbx::kKindWordFolders);
      return writer.build();
    }());
    h.doc->showSystemBases = 1;
    h.refresh();
    for (const QModelIndex& node : {h.model().rootNode(), h.groupNode(0)}) {
      h.select(node);
      h.tree->OnCmdMsg(command::kBrowse);
      h.tree->OnCmdMsg(command::kRecover);
      QCOMPARE(h.doc->operationRunning, 0);
    }
    h.select(h.node(1));
    h.tree->OnCmdMsg(command::kBrowse);
    QCOMPARE(h.doc->operationRunning, 0);
    QCOMPARE(h.statusBar->paneText(0), QString());
    // Recovery does not look at the kind.
    h.tree->OnCmdMsg(command::kRecover);
    QCOMPARE(h.doc->operationRunning, 1);
    QVERIFY(h.waitUntilIdle());
  }

  void stopEndsABrowseOrRecoveryMidWayWithAnEmptyUnreadBase() {
    TreeHarness h;
    const int big = h.addBase("Big", "Inbox.dbx", mailBase(2000));
    h.refresh();
    h.select(h.node(big));
    for (int command : {command::kBrowse, command::kRecover}) {
      guitest::GatedProgress gate(h.doc->progress);
      h.doc->progress = &gate;
      h.tree->OnCmdMsg(command);
      QVERIFY(gate.reached.wait(std::chrono::seconds(60)));
      QCOMPARE(h.doc->OnUpdateCmdUI(command::kStop), std::optional<bool>(true));
      h.doc->OnCmdMsg(command::kStop);
      gate.release.set();
      QVERIFY(h.waitUntilIdle());
      h.doc->progress = gate.bar();
      const MessageBaseReader& reader = h.doc->readers[static_cast<size_t>(big)];
      QCOMPARE(reader.count(), 0);
      QCOMPARE(reader.state, 0);
      QCOMPARE(h.image(big), shell::image::kMailNotRead);
      QCOMPARE(h.statusBar->paneText(0), QString());
      QVERIFY(!h.tree->operationProgress());
      QVERIFY(h.shown.texts().empty());
    }
  }

  void theCompletionFindsItsNodeAfterARebuild() {
    TreeHarness h;
    const int big = h.addBase("Big", "Inbox.dbx", mailBase(5000));
    listStartPaths(*h.doc, {sample("News.dbx")});
    const int news = h.doc->readerCount - 1;
    h.refresh();
    h.select(h.node(big));
    const QPersistentModelIndex before = h.node(big);
    h.tree->OnCmdMsg(command::kBrowse);
    h.doc->OnCmdMsg(command::kViewSystemBase);
    QVERIFY(!before.isValid());
    QVERIFY(h.waitUntilIdle());
    QCOMPARE(h.image(big), shell::image::kMailBrowsed);

    // A filter hides the base while it is read: no picture to change until it shows again.
    h.select(h.node(news));
    h.tree->OnCmdMsg(command::kBrowse);
    h.doc->OnCmdMsg(command::kViewNewsBase);
    QVERIFY(!h.node(news).isValid());
    QVERIFY(h.waitUntilIdle());
    QCOMPARE(h.doc->readers[static_cast<size_t>(news)].state, 1);
    h.doc->OnCmdMsg(command::kViewNewsBase);
    QCOMPARE(h.image(news), shell::image::kNewsBrowsed);
  }

  void doubleClickBrowsesTheNodeUnlessAnOperationRuns() {
    TreeHarness h;
    listStartPaths(*h.doc, {sample("Inbox.dbx"), sample("Damaged.dbx")});
    h.refresh();
    h.tree->expandAll();
    QCoreApplication::processEvents();
    QTest::mouseDClick(h.tree->viewport(), Qt::LeftButton, {}, h.tree->visualRect(h.node(0)).center());
    QCOMPARE(h.doc->operationRunning, 1);
    QCOMPARE(h.doc->operationReader, 0);
    QCOMPARE(h.statusBar->paneText(0), QStringLiteral("Browsing of Inbox.dbx:"));
    QTest::mouseDClick(h.tree->viewport(), Qt::LeftButton, {}, h.tree->visualRect(h.node(1)).center());
    QCOMPARE(h.doc->currentReader, 1);
    QCOMPARE(h.doc->operationReader, 0);
    QCOMPARE(h.statusBar->paneText(0), QStringLiteral("Browsing of Inbox.dbx:"));
    QVERIFY(h.waitUntilIdle());
    QCOMPARE(h.doc->readers[1].state, 0);
    QVERIFY(h.shown.texts().empty());
  }

  void namesAreShownAsTheFileSystemSpellsThem() {
    TreeHarness h;
    const int drafts = h.addBase("Почта", "Entwürfe.dbx", mailBase(2));
    h.refresh();
    QCOMPARE(h.node(drafts).data().toString(), QStringLiteral("Entwürfe"));
    QCOMPARE(h.groupNode(0).data().toString(), QString::fromStdString(h.folderPath("Почта")));
    h.select(h.node(drafts));
    h.tree->OnCmdMsg(command::kBrowse);
    QCOMPARE(h.statusBar->paneText(0), QStringLiteral("Browsing of Entwürfe.dbx:"));
    QVERIFY(h.waitUntilIdle());
  }

  void closingTheTreeDuringAnOperationStopsIt() {
    TreeHarness h;
    const int big = h.addBase("Big", "Inbox.dbx", mailBase(30000));
    h.refresh();
    h.select(h.node(big));
    h.tree->OnCmdMsg(command::kRecover);
    QVERIFY(waitForProgress(h));
    h.window.reset();
    QVERIFY(h.doc->doneEvent.isSet());
    QVERIFY(h.doc->progress == nullptr);
    QCoreApplication::processEvents();
    QVERIFY(h.shown.texts().empty());
  }

  void closingTheDocumentDuringAnOperationStopsIt() {
    TreeHarness h;
    const int big = h.addBase("Big", "Inbox.dbx", mailBase(30000));
    h.refresh();
    h.select(h.node(big));
    h.tree->OnCmdMsg(command::kRecover);
    QVERIFY(waitForProgress(h));
    h.doc.reset();
    QCoreApplication::processEvents();
    QVERIFY(h.shown.texts().empty());
  }
};

}  // namespace vireo::testing

QTEST_MAIN(vireo::testing::TreeOperationTest)
#include "tree_operation_test.moc"
