// Save all and copy of a whole base, through the real window: reached from the tree's commands,
// with the folder dialog answered.
#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QtTest>

#include "content/mbox_format.h"
#include "platform/progress_sink.h"
#include "platform/manual_reset_event.h"
#include "tests/gui/support/folder_dialog_script.h"
#include "tests/gui/support/window_driver.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "tools/dbx_writer/scratch_dir.h"
#include "views/main_frame.h"
#include "views/progress_status_bar.h"
#include "views/vireo_doc.h"

namespace vireo::guitest {
namespace {

using testing::fileText;

// Inbox.dbx of three messages, the second of which is not a message (it has no line end).
QString writeInbox(const QTemporaryDir& folder) {
  testing::DbxWriter writer;
  writer.add(testing::simpleMessage("one"));
  writer.add(std::string("not a message"));
  writer.add(testing::simpleMessage("three"));
  const QString path = folder.filePath(QStringLiteral("Inbox.dbx"));
  writer.build().save(path.toStdString());
  return path;
}

QStringList filesIn(const QString& folder) { return QDir(folder).entryList(QDir::Files, QDir::Name); }

// A file of 3 MiB and a bit named like a base: the copy takes several chunks.
QString writeLargeFile(const QTemporaryDir& folder) {
  const QString path = folder.filePath(QStringLiteral("Large.dbx"));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return {};
  QByteArray chunk(1 << 20, '\0');
  for (int i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>(i * 7 + i / 251);
  for (int i = 0; i < 3; ++i) file.write(chunk);
  file.write("and the rest");
  return path;
}

// Holds the worker at its first progress past the start until released, so that the window is
// seen while a copy runs and a Stop lands between chunks.
class GateAtFirstPosition final : public ProgressSink {
 public:
  explicit GateAtFirstPosition(ProgressSink* bar) : bar_(bar) {}
  void setRange(uint32_t maximum) override { bar_->setRange(maximum); }
  void setStep(int step) override { bar_->setStep(step); }
  void stepIt() override { bar_->stepIt(); }
  void setPos(uint32_t position) override {
    bar_->setPos(position);
    if (position > 0 && !reached.isSet()) {
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

}  // namespace

class BaseCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void saveAllWritesTheListedMessagesByNumberAndSkipsTheRest() {
    QTemporaryDir bases;
    WindowDriver w({writeInbox(bases)});
    QVERIFY(w.ready());
    w.select(w.base(0));
    QVERIFY(!w.offered(command::kSaveAll));  // not read yet
    QVERIFY(w.run(command::kBrowse));
    QVERIFY(w.offered(command::kSaveAll));
    DialogScript script;
    const QString out = w.fixture().folder() + QStringLiteral("/saved");
    script.folders = {out};
    w.fixture().modals().setAnswer(script.answer());

    QVERIFY(w.frame().routeCommand(command::kSaveAll));
    QCOMPARE(script.shown.size(), size_t{1});
    QCOMPARE(script.shown[0].title, QStringLiteral("Save messages as *.eml"));
    QCOMPARE(script.shown[0].description, QStringLiteral("Save all messages from \"Inbox.dbx\""));
    QCOMPARE(filesIn(out), (QStringList{"0.eml", "1.eml"}));
    QCOMPARE(fileText((out + "/1.eml").toStdString()), testing::simpleMessage("three"));
    QCOMPARE(w.doc().exportFolder, out.toStdString());
    QVERIFY(w.fixture().modals().messageTexts().empty());
    QCOMPARE(w.status(), QStringLiteral("2 messages saved to ") + out);
  }

  // From the File menu and the tree's menu: the listed messages as "<folder>/Inbox", an mbox or
  // a Maildir whose cur/ holds each message.
  void aBaseSavesAsAnMboxOrAMaildir() {
    QTemporaryDir bases;
    WindowDriver w({writeInbox(bases)});
    QVERIFY(w.ready());
    w.select(w.base(0));
    QVERIFY(!w.offered(command::kSaveAllMbox));  // not read yet
    QVERIFY(w.run(command::kBrowse));
    QVERIFY(w.offered(command::kSaveAllMbox));
    QVERIFY(w.offered(command::kSaveAllMaildir));
    DialogScript script;
    const QString mbox = w.fixture().folder() + QStringLiteral("/mbox");
    const QString maildir = w.fixture().folder() + QStringLiteral("/maildir");
    script.folders = {mbox, maildir};
    w.fixture().modals().setAnswer(script.answer());

    w.choose(QStringLiteral("&File"), command::kSaveAllMbox);
    QCOMPARE(script.shown.size(), size_t{1});
    QCOMPARE(script.shown[0].description, QStringLiteral("Save all messages from \"Inbox.dbx\""));
    std::string expected;
    appendMboxEntry(expected, testing::simpleMessage("one"), 0);
    appendMboxEntry(expected, testing::simpleMessage("three"), 0);
    QCOMPARE(fileText((mbox + "/Inbox").toStdString()), expected);

    QVERIFY(w.frame().routeCommand(command::kSaveAllMaildir));
    const QStringList cur = filesIn(maildir + QStringLiteral("/Inbox/cur"));
    QCOMPARE(cur.size(), 2);
    for (const QString& name : cur) QVERIFY2(name.endsWith(QStringLiteral(":2,")), qPrintable(name));
    QVERIFY(w.fixture().modals().messageTexts().empty());
  }

  void copyKeepsAFileOfTheSameNameAndAVanishedBaseIsTold() {
    QTemporaryDir bases;
    const QString base = writeInbox(bases);
    WindowDriver w({base});
    QVERIFY(w.ready());
    w.select(w.base(0));
    QVERIFY(w.offered(command::kCopyBase));  // the base file itself: no reading needed
    const QString out = w.fixture().folder() + QStringLiteral("/copies");
    QDir().mkpath(out);
    QFile older(out + QStringLiteral("/Inbox.dbx"));
    QVERIFY(older.open(QIODevice::WriteOnly));
    older.write("older");
    older.close();
    const QString inTheWay = out + QStringLiteral("/Inbox.dbx/sub");
    DialogScript script;
    script.folders = {inTheWay, out, out};
    w.fixture().modals().setAnswer(script.answer());

    w.choose(QStringLiteral("&File"), command::kCopyBase);
    QVERIFY(w.waitUntilIdle());
    QCOMPARE(script.shown.size(), size_t{2});
    QCOMPARE(script.shown[0].title, QStringLiteral("Copy message base"));
    QCOMPARE(script.shown[0].description, QStringLiteral("Copy Inbox.dbx "));
    QCOMPARE(script.shown[1].folder, inTheWay);
    QCOMPARE(w.fixture().modals().messageTexts(),
             (std::vector<std::string>{"Error in creating path, enter another folder\n" + inTheWay.toStdString(),
                                       "The message base was copied to\n" + out.toStdString() + "/Inbox (2).dbx\n(" +
                                           out.toStdString() + "/Inbox.dbx holds another file, which was kept)"}));
    QCOMPARE(fileText((out + "/Inbox.dbx").toStdString()), std::string("older"));
    QCOMPARE(fileText((out + "/Inbox (2).dbx").toStdString()), fileText(base.toStdString()));

    QVERIFY(QFile::remove(base));
    QVERIFY(w.frame().routeCommand(command::kCopyBase));
    QVERIFY(w.waitUntilIdle());
    const std::vector<std::string> texts = w.fixture().modals().messageTexts();
    QCOMPARE(texts.size(), size_t{3});
    QVERIFY2(texts[2].starts_with("Cannot copy dbx file"), texts[2].c_str());
    QVERIFY(QFile::exists(out + QStringLiteral("/Inbox.dbx")));  // the earlier copy is left alone
  }

  void copyRunsOnTheWorkerWithItsBarAndStopAndRefusesAFolderShortOfSpace() {
    QTemporaryDir bases;
    const QString base = writeLargeFile(bases);
    WindowDriver w({base});
    QVERIFY(w.ready());
    w.select(w.base(0));
    const QString out = w.fixture().folder() + QStringLiteral("/copies");
    DialogScript script;
    script.folders = {out, out};
    w.fixture().modals().setAnswer(script.answer());
    GateAtFirstPosition gate(w.doc().progress);
    w.doc().progress = &gate;

    w.choose(QStringLiteral("&File"), command::kCopyBase);
    QVERIFY(gate.reached.wait(std::chrono::seconds(60)));
    // The window goes on answering while the worker copies: the bar and Stop, and nothing that
    // would touch the table.
    QCoreApplication::processEvents();
    QCOMPARE(w.status(), QStringLiteral("Copying Large.dbx:"));
    QVERIFY(w.statusBar().findChild<QProgressBar*>(QStringLiteral("operationProgress")));
    QVERIFY(w.offered(command::kStop));
    for (int command : {command::kBrowse, command::kRecover, command::kRemoveBase, command::kAddBase, command::kCopyBase})
      QVERIFY2(!w.offered(command), qPrintable(QString::number(command)));
    w.click(command::kStop);
    gate.release.set();
    QVERIFY(w.waitUntilIdle());
    w.doc().progress = gate.bar();
    QCOMPARE(filesIn(out), QStringList{});
    QVERIFY(w.fixture().modals().messageTexts().empty());
    QVERIFY(!w.statusBar().findChild<QProgressBar*>(QStringLiteral("operationProgress")));
    QCOMPARE(w.status(), QStringLiteral("Copy stopped: nothing written"));

    QVERIFY(w.frame().routeCommand(command::kCopyBase));
    QVERIFY(w.waitUntilIdle());
    QCOMPARE(filesIn(out), QStringList{QStringLiteral("Large.dbx")});
    QCOMPARE(w.status(), QStringLiteral("Large.dbx: copied to %1/Large.dbx").arg(out));
    QCOMPARE(fileText((out + "/Large.dbx").toStdString()), fileText(base.toStdString()));

    // A folder short of space is said, with what is needed, and the dialog comes back.
    w.doc().freeSpace = [](const std::string&) -> std::optional<uint64_t> { return 1'000'000; };
    script.folders = {out};
    QVERIFY(w.frame().routeCommand(command::kCopyBase));
    QVERIFY(!w.doc().operationRunning);
    QCOMPARE(script.shown.size(), size_t{4});
    const std::vector<std::string> texts = w.fixture().modals().messageTexts();
    QCOMPARE(texts.back(), "Cannot copy dbx file\nnot enough free space in " + out.toStdString() +
                               ": the copy needs 3.1 MB and only 1.0 MB are free");
  }
};

}  // namespace vireo::guitest

QTEST_MAIN(vireo::guitest::BaseCommandsTest)
#include "base_commands_test.moc"
