// Paths that are not UTF-8 keep their bytes from the command line to the file system: a Latin-1
// base name opens, and a save folder with a Latin-1 name is made under exactly that name.
#include <QFile>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QtTest>
#include <filesystem>
#include <random>

#include "reader/document.h"
#include "tests/gui/support/window_driver.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "views/main_frame.h"
#include "views/path_text.h"
#include "views/save_messages_dialog.h"
#include "views/vireo_doc.h"

namespace vireo::guitest {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

class PathBytesTest : public QObject {
  Q_OBJECT

 private slots:
  void textsGiveTheirBytesBack() {
    std::mt19937 random(11);
    for (int round = 0; round < 2000; ++round) {
      std::string bytes(static_cast<size_t>(random() % 12), '\0');
      for (char& c : bytes) c = static_cast<char>(random() % 2 ? random() : "a\xc3\xa9\xe9\xed\xa0\x80\xf0\x90"[random() % 9]);
      QCOMPARE(views::pathBytes(views::pathText(bytes)), bytes);
    }
    QCOMPARE(views::pathText("Caf\xc3\xa9"), QStringLiteral("Caf\u00e9"));  // UTF-8 reads as text
    QCOMPARE(views::pathBytes(QStringLiteral("\U0001F600/\u00e9")), std::string("\xf0\x9f\x98\x80/\xc3\xa9"));
  }

  void aFolderChosenInQtsDialogsIsFoundAgainByItsBytes() {
    QTemporaryDir scratch;
    const std::string root = QFile::encodeName(scratch.path()).toStdString();
    const std::string folder = root + "/Sauvegard\xe9/Caf\xe9";
    fs::create_directories(folder);
    // What a QFileDialog hands back: Qt decoded the names, the Latin-1 bytes became U+FFFD.
    const QString chosen = QFile::decodeName(QByteArray::fromStdString(folder));
    QVERIFY(chosen.contains(QChar::ReplacementCharacter));
    QCOMPARE(views::chosenPathBytes(chosen), folder);
    // Two names that Qt shows alike: the step is left as it came.
    fs::create_directories(root + "/Sauvegard\xe8");
    QCOMPARE(views::chosenPathBytes(QFile::decodeName(QByteArray::fromStdString(root + "/Sauvegard\xe9"))),
             root + "/Sauvegard\xef\xbf\xbd");
  }

  void aLatin1BaseOpensFromTheCommandLineAndSavesIntoALatin1Folder() {
    QTemporaryDir scratch;
    const std::string root = QFile::encodeName(scratch.path()).toStdString();
    const std::string base = root + "/Caf\xe9.dbx";
    testing::DbxWriter writer;
    writer.add(testing::simpleMessage("one"));
    writer.add(testing::simpleMessage("two"));
    writer.build().save(base);

    // The command line arrives as bytes; a text given here becomes those bytes again.
    WindowDriver w({views::pathText(base)});
    QVERIFY(w.ready());
    const std::vector<std::string> shown = w.fixture().modals().messageTexts();
    QVERIFY2(shown.empty(), shown.empty() ? "" : shown[0].c_str());
    views::CVireoDoc& doc = w.doc();
    QCOMPARE(int{doc.readerCount}, 1);
    QCOMPARE(doc.readers[0].baseName, std::string("Caf\xe9.dbx"));
    QCOMPARE(doc.readers[0].baseFolder, root);
    w.select(w.base(0));
    QVERIFY(w.run(command::kBrowse));
    QCOMPARE(doc.readers[0].validCount, 2);

    // The save dialog offers the last folder; kept as it stands, it is made under its own bytes.
    const std::string folder = root + "/Sauvegard\xe9";
    doc.exportFolder = folder;
    QString offered;
    w.fixture().modals().setAnswer([&](const ModalRequest& request) -> std::optional<int> {
      auto* dialog = qobject_cast<views::SaveMessagesDialog*>(static_cast<QDialog*>(request.dialog));
      if (request.kind != ModalKind::Dialog || !dialog) return std::nullopt;
      offered = dialog->folderEdit()->text();
      return QDialog::Accepted;
    });
    QVERIFY(w.frame().routeCommand(command::kSaveAll));
    QCOMPARE(offered, views::pathText(folder));
    QCOMPARE(doc.exportFolder, folder);
    QCOMPARE(namesIn(root), (std::vector<std::string>{"Caf\xe9.dbx", "Sauvegard\xe9"}));
    QCOMPARE(namesIn(folder), (std::vector<std::string>{"0.eml", "1.eml"}));
  }
};

}  // namespace vireo::guitest

QTEST_MAIN(vireo::guitest::PathBytesTest)
#include "path_bytes_test.moc"
