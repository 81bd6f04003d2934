// A new user's first minutes in the real window: what the empty window says, opening a base file,
// the keys of the frequent commands (shown in the menus), Enter on a base, Esc during an
// operation, what the status bar shows while one runs, and Home and End in the list.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QtTest>

#include "content/message_renderer.h"
#include "platform/manual_reset_event.h"
#include "platform/progress_sink.h"
#include "shell/tree_view.h"
#include "tests/gui/support/folder_dialog_script.h"
#include "tests/gui/support/gated_progress.h"
#include "tests/gui/support/tree_harness.h"
#include "tests/gui/support/window_driver.h"
#include "views/list_view.h"
#include "views/main_frame.h"
#include "views/message_list_model.h"
#include "views/preview_header.h"
#include "views/progress_status_bar.h"
#include "views/vireo_doc.h"

namespace vireo::guitest {
namespace {

using testing::mailBase;

QString writeBase(const QTemporaryDir& folder, const QString& name, int messages) {
  const QString path = folder.filePath(name);
  mailBase(messages).save(path.toStdString());
  return path;
}

// Answers the next file chooser with path and keeps the filters it offered.
ModalAnswers::Answer choosingFile(const QString& path, QStringList* filters) {
  return [path, filters](const ModalRequest& request) -> std::optional<int> {
    if (request.kind != ModalKind::Dialog) return std::nullopt;
    auto* chooser = qobject_cast<QFileDialog*>(static_cast<QDialog*>(request.dialog));
    if (!chooser) return std::nullopt;
    if (filters) *filters = chooser->nameFilters();
    chooser->selectFile(path);
    return QDialog::Accepted;
  };
}

// Holds the worker once it starts copying the base before reading it, until released.
class HoldWhileCopying final : public ProgressSink {
 public:
  explicit HoldWhileCopying(ProgressSink* bar) : bar_(bar) {}
  void setRange(uint32_t maximum) override { bar_->setRange(maximum); }
  void setStep(int step) override { bar_->setStep(step); }
  void stepIt() override { bar_->stepIt(); }
  void setPos(uint32_t position) override { bar_->setPos(position); }
  void setCopying(bool copying) override {
    bar_->setCopying(copying);
    if (copying && !reached.isSet()) {
      reached.set();
      release.wait(std::chrono::seconds(60));
    }
  }
  ProgressSink* bar() const { return bar_; }

  ManualResetEvent reached;
  ManualResetEvent release;

 private:
  ProgressSink* bar_;
};

// Sends a fly-by prompt as hovering over a toolbar button does.
void hover(QWidget* button, const QString& prompt) {
  QStatusTipEvent tip(prompt);
  QCoreApplication::sendEvent(button, &tip);
}

}  // namespace

class FirstStepsTest : public QObject {
  Q_OBJECT

 private slots:
  void anEmptyWindowSaysHowToBeginAndTheHintGoesWithTheFirstBase() {
    WindowDriver w;
    QVERIFY(w.ready());
    QVERIFY(w.tree().showsEmptyHint());
    QCOMPARE(w.tree().accessibleDescription(), QString::fromUtf8(shell::kEmptyTreeHint));
    QFile start(QStringLiteral(":/pages/start.html"));
    QVERIFY(start.open(QIODevice::ReadOnly));
    const QByteArray startPage = start.readAll();
    QVERIFY(startPage.contains("open a .dbx file with File &gt; Open message base... (Ctrl+O)"));
    // Both name every way in, the disk image's included.
    QVERIFY(QString::fromUtf8(shell::kEmptyTreeHint).contains(QStringLiteral("File > Open disk image...")));
    QVERIFY(startPage.contains("File &gt; Open disk image..."));

    QTemporaryDir bases;
    const QString inbox = writeBase(bases, QStringLiteral("Inbox.dbx"), 3);
    w.fixture().modals().setAnswer(choosingFile(inbox, nullptr));
    QVERIFY(w.frame().routeCommand(command::kOpenBase));
    QVERIFY(w.waitUntilIdle());
    QVERIFY(!w.tree().showsEmptyHint());
    QVERIFY(w.tree().accessibleDescription().isEmpty());
  }

  void openMessageBaseAddsSelectsAndBrowsesTheChosenFileOnce() {
    QTemporaryDir bases;
    const QString inbox = writeBase(bases, QStringLiteral("Inbox.dbx"), 3);
    WindowDriver w({writeBase(bases, QStringLiteral("Archive.dbx"), 1)});
    QVERIFY(w.ready());
    QStringList filters;
    w.fixture().modals().setAnswer(choosingFile(inbox, &filters));
    QMenu* file = nullptr;
    for (QMenu* menu : w.frame().menuBar()->findChildren<QMenu*>())
      if (menu->title() == QStringLiteral("&File")) file = menu;
    QVERIFY(file && file->actions().contains(w.frame().commandAction(command::kOpenBase)));
    QCOMPARE(w.frame().commandAction(command::kOpenBase)->text(), QStringLiteral("Open message base..."));

    QTest::keyClick(&w.tree(), Qt::Key_O, Qt::ControlModifier);
    QVERIFY(w.waitUntilIdle());
    QCOMPARE(filters, QStringList{QStringLiteral("Message bases (*.dbx)")});
    QCOMPARE(w.outline(), QStringLiteral("Vireo{%1{Archive,Inbox}}").arg(bases.path()));
    QCOMPARE(w.doc().currentReader, 1);
    QCOMPARE(w.tree().currentIndex(), w.base(1));
    QCOMPARE(w.rows().rowCount(), 3);
    QCOMPARE(w.status(), QStringLiteral("Inbox.dbx: 3 messages browsed"));

    // Again: the entry listed is found, not repeated, and read again.
    QVERIFY(w.frame().routeCommand(command::kOpenBase));
    QVERIFY(w.waitUntilIdle());
    QCOMPARE(w.outline(), QStringLiteral("Vireo{%1{Archive,Inbox}}").arg(bases.path()));
    QCOMPARE(w.status(), QStringLiteral("Inbox.dbx: 3 messages browsed"));

    // A file that is no base is named, and nothing is added.
    const QString notes = bases.filePath(QStringLiteral("notes.txt"));
    QFile(notes).open(QIODevice::WriteOnly);
    w.fixture().modals().setAnswer(choosingFile(notes, nullptr));
    QVERIFY(w.frame().routeCommand(command::kOpenBase));
    QCOMPARE(w.fixture().modals().messageTexts().back(),
             "Cannot open " + notes.toStdString() + "\nIt is neither a folder nor a .dbx file.");
    QCOMPARE(w.outline(), QStringLiteral("Vireo{%1{Archive,Inbox}}").arg(bases.path()));
  }

  void theFrequentCommandsHaveKeysThatTheMenusShow() {
    const std::pair<int, const char*> keys[] = {{command::kOpenBase, "Ctrl+O"}, {command::kBrowse, "Ctrl+B"},
                                                {command::kRecover, "Ctrl+R"},  {command::kSaveSelected, "Ctrl+S"},
                                                {command::kStop, "Esc"},        {command::kHelp, "F1"}};
    QTemporaryDir bases;
    WindowDriver w({writeBase(bases, QStringLiteral("Inbox.dbx"), 4)});
    QVERIFY(w.ready());
    for (const auto& [id, sequence] : keys)
      QVERIFY2(w.frame().commandAction(id)->shortcut() == QKeySequence(QString::fromUtf8(sequence)), sequence);

    w.select(w.base(0));
    QTest::keyClick(&w.tree(), Qt::Key_B, Qt::ControlModifier);
    QVERIFY(w.waitUntilIdle());
    QCOMPARE(w.status(), QStringLiteral("Inbox.dbx: 4 messages browsed"));
    QTest::keyClick(&w.tree(), Qt::Key_R, Qt::ControlModifier);
    QVERIFY(w.waitUntilIdle());
    QVERIFY2(w.status().startsWith(QStringLiteral("Inbox.dbx: 4 messages recovered in ")), qPrintable(w.status()));

    w.list().setFocus();
    QTRY_COMPARE(w.frame().GetActiveView(), static_cast<views::CView*>(&w.list()));
    w.list().selectAll();
    DialogScript script;
    const QString out = w.fixture().folder() + QStringLiteral("/saved");
    script.folders = {out};
    w.fixture().modals().setAnswer(script.answer());
    QTest::keyClick(&w.list(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(script.shown.size(), size_t{1});
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), 4);
    QCOMPARE(w.status(), QStringLiteral("4 messages saved to ") + out);
    // The next command clears the outcome.
    QVERIFY(w.frame().routeCommand(command::kViewNewsBase));
    QCOMPARE(w.status(), QStringLiteral("For Help, press F1"));
  }

  void enterBrowsesEscStopsAndNoFlyByShowsUnderTheBar() {
    QTemporaryDir bases;
    WindowDriver w({writeBase(bases, QStringLiteral("Big.dbx"), 2000)});
    QVERIFY(w.ready());
    w.select(w.group(0));
    QTest::keyClick(&w.tree(), Qt::Key_Return);  // a group is no base
    QVERIFY(!w.doc().operationRunning);
    hover(w.button(command::kAddBase), QStringLiteral("Add message base to Tree View "));
    QCOMPARE(w.status(), QStringLiteral("Add message base to Tree View "));
    w.statusBar().clearMessage();

    GatedProgress gate(w.doc().progress);
    w.doc().progress = &gate;
    w.select(w.base(0));
    QTest::keyClick(&w.tree(), Qt::Key_Return);
    QVERIFY(w.doc().operationRunning);
    QVERIFY(gate.reached.wait(std::chrono::seconds(60)));
    QVERIFY(w.frame().commandAction(command::kStop)->isEnabled());
    hover(w.button(command::kAddBase), QStringLiteral("Add message base to Tree View "));
    QCOMPARE(w.statusBar().currentMessage(), QString());
    QCOMPARE(w.status(), QStringLiteral("Browsing of Big.dbx:"));

    QTest::keyClick(&w.tree(), Qt::Key_Escape);
    QCOMPARE(w.status(), QStringLiteral("Stopping..."));
    gate.release.set();
    QVERIFY(w.waitUntilIdle());
    w.doc().progress = gate.bar();
    QCOMPARE(w.status(), QStringLiteral("Big.dbx: browsing stopped"));
  }

  void copyingBeforeABrowseIsNamedInTheStatusBar() {
    QTemporaryDir bases;
    WindowDriver w({writeBase(bases, QStringLiteral("Big.dbx"), 50)});
    QVERIFY(w.ready());
    w.doc().copyBeforeBrowse = true;
    HoldWhileCopying hold(w.doc().progress);
    w.doc().progress = &hold;
    w.select(w.base(0));
    w.click(command::kBrowse);
    QVERIFY(hold.reached.wait(std::chrono::seconds(60)));
    QTRY_COMPARE(w.status(), QStringLiteral("Copying Big.dbx..."));
    const auto* bar = w.statusBar().findChild<QProgressBar*>(QStringLiteral("operationProgress"));
    QVERIFY(bar && bar->isVisible());
    QCOMPARE(bar->accessibleName(), QStringLiteral("Copying Big.dbx..."));
    hold.release.set();
    QVERIFY(w.waitUntilIdle());
    w.doc().progress = hold.bar();
    QCOMPARE(w.status(), QStringLiteral("Big.dbx: 50 messages browsed"));
  }

  void homeAndEndGoToTheFirstAndLastMessageInTheSameColumn() {
    QTemporaryDir bases;
    WindowDriver w({writeBase(bases, QStringLiteral("Inbox.dbx"), 20)});
    QVERIFY(w.ready());
    w.select(w.base(0));
    QVERIFY(w.run(command::kBrowse));
    QTest::mouseClick(w.list().viewport(), Qt::LeftButton, {}, w.list().visualRect(w.rows().index(5, 4)).center());
    QTest::keyClick(&w.list(), Qt::Key_End);
    QCOMPARE(w.list().currentIndex().row(), 19);
    QCOMPARE(w.list().currentIndex().column(), 4);
    QCOMPARE(w.selectedRecords(), QList<int>{w.rows().recordAt(19)});
    QTest::keyClick(&w.list(), Qt::Key_Home);
    QCOMPARE(w.list().currentIndex().row(), 0);
    QCOMPARE(w.selectedRecords(), QList<int>{w.rows().recordAt(0)});
  }

  void theHeaderShowsANewsPostsGroups() {
    views::PreviewHeader header;
    header.show();
    content::DisplayedHeaders post;
    post.from = "Ann <ann@example.org>";
    post.newsgroups = "comp.lang.c++,alt.test";
    post.followupTo = "comp.lang.c++";
    post.subject = "A question";
    header.setHeaders(post);
    QCOMPARE(header.field(QStringLiteral("Newsgroups"))->text(), QStringLiteral("comp.lang.c++,alt.test"));
    QVERIFY(header.field(QStringLiteral("Newsgroups"))->isVisible());
    QCOMPARE(header.field(QStringLiteral("Followup-To"))->text(), QStringLiteral("comp.lang.c++"));
    QVERIFY(!header.field(QStringLiteral("To"))->isVisible());
    QVERIFY(header.field(QStringLiteral("Subject"))->font().bold());
  }
};

}  // namespace vireo::guitest

QTEST_MAIN(vireo::guitest::FirstStepsTest)
#include "first_steps_test.moc"
