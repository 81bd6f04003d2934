// Save all and copy of a whole base, through the real window: reached from the tree's commands,
// with the folder dialog answered.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/gui/support/folder_dialog_script.h"
#include "tests/gui/support/window_driver.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "tools/dbx_writer/scratch_dir.h"
#include "views/main_frame.h"
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
    QCOMPARE(script.shown.size(), size_t{2});
    QCOMPARE(script.shown[0].title, QStringLiteral("Copy message base"));
    QCOMPARE(script.shown[0].description, QStringLiteral("Copy Inbox.dbx "));
    QCOMPARE(script.shown[1].folder, inTheWay);
    QCOMPARE(w.fixture().modals().messageTexts(),
             std::vector<std::string>{"Error in creating path, enter another folder"});
    QCOMPARE(fileText((out + "/Inbox.dbx").toStdString()), std::string("older"));
    QCOMPARE(fileText((out + "/Inbox (2).dbx").toStdString()), fileText(base.toStdString()));

    QVERIFY(QFile::remove(base));
    QVERIFY(w.frame().routeCommand(command::kCopyBase));
    const std::vector<std::string> texts = w.fixture().modals().messageTexts();
    QCOMPARE(texts.size(), size_t{2});
    QVERIFY2(texts[1].starts_with("Cannot copy dbx file"), texts[1].c_str());
    QVERIFY(QFile::exists(out + QStringLiteral("/Inbox.dbx")));  // the earlier copy is left alone
  }
};

}  // namespace vireo::guitest

QTEST_MAIN(vireo::guitest::BaseCommandsTest)
#include "base_commands_test.moc"
