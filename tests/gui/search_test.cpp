// "Add message base to Tree View": the dialog "Search for *.dbx files", the chooser "Select
// folder", and the search through the real window.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "shell/search_dialog.h"
#include "shell/select_folder.h"
#include "shell/tree_view.h"
#include "tests/gui/support/window_driver.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "views/command_table.h"
#include "views/progress_status_bar.h"
#include "views/vireo_doc.h"

namespace vireo::shell {
namespace {

using guitest::ModalAnswers;

void writeBase(const QString& path) {
  QDir().mkpath(QFileInfo(path).path());
  testing::DbxWriter writer;
  writer.add(testing::simpleMessage("hello"));
  writer.build().save(path.toStdString());
}

// Answers the search dialog: notes the list it offered, puts text in the edit and clicks a button.
ModalAnswers::Answer answerSearch(QString* offered, QString text, int button) {
  return [=](const ModalRequest& request) -> std::optional<int> {
    auto* dialog = qobject_cast<SearchDialog*>(static_cast<QDialog*>(request.dialog));
    if (!dialog) return std::nullopt;
    if (offered) *offered = dialog->driveEdit()->text();
    dialog->driveEdit()->setText(text);
    dialog->button(button)->click();
    return dialog->result();
  };
}

// Answers the search dialog with "Browse..." and the chooser with folder (empty: Cancel).
ModalAnswers::Answer answerBrowse(QString folder, bool* hiddenShown = nullptr) {
  return [=](const ModalRequest& request) -> std::optional<int> {
    auto* dialog = static_cast<QDialog*>(request.dialog);
    if (auto* search = qobject_cast<SearchDialog*>(dialog)) {
      search->button(kBrowseButton)->click();
      return search->result();
    }
    auto* chooser = qobject_cast<QFileDialog*>(dialog);
    if (!chooser) return std::nullopt;
    if (hiddenShown) *hiddenShown = (chooser->filter() & QDir::Hidden) && chooser->windowTitle() == "Select folder";
    if (folder.isEmpty()) return QDialog::Rejected;
    chooser->setDirectory(folder);
    return QDialog::Accepted;
  };
}

}  // namespace

class SearchTest : public QObject {
  Q_OBJECT

 private slots:
  void theDialogShowsItsTextsAndKeepsTheLimit() {
    SearchDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Search for *.dbx files"));
    QCOMPARE(dialog.findChild<QGroupBox*>()->title(), QStringLiteral("Look in harddrives:"));
    QCOMPARE(dialog.button(kSearchNowButton)->text(), QStringLiteral("Search Now"));
    QCOMPARE(dialog.button(kBrowseButton)->text(), QStringLiteral("Browse..."));
    QCOMPARE(dialog.button(kCancelButton)->text(), QStringLiteral("Cancel"));
    QCOMPARE(dialog.driveEdit()->parentWidget(), dialog.button(kSearchNowButton)->parentWidget());
    QCOMPARE(dialog.driveEdit()->accessibleName(), QStringLiteral("Look in harddrives:"));
    QCOMPARE(dialog.choice, 0);
    dialog.driveEdit()->setText(QString(600, QLatin1Char('x')));
    QCOMPARE(dialog.driveEdit()->text().size(), 500);
  }

  void eachButtonStoresItsChoiceAndTheEditIsExchanged() {
    ModalAnswers modals;
    for (const auto& [button, choice, result] : {std::tuple{kSearchNowButton, 2, int(QDialog::Accepted)},
                                                 std::tuple{kBrowseButton, 3, int(QDialog::Accepted)},
                                                 std::tuple{kCancelButton, 0, int(QDialog::Rejected)}}) {
      SearchDialog dialog;
      dialog.driveList = QStringLiteral("/;/home;");
      QString offered;
      modals.setAnswer(answerSearch(&offered, QStringLiteral("/data;;/home/"), button));
      QCOMPARE(dialog.DoModal(), result);
      QCOMPARE(offered, QStringLiteral("/;/home;"));
      QCOMPARE(dialog.choice, choice);
      QCOMPARE(dialog.driveList, result == QDialog::Accepted ? QStringLiteral("/data;;/home/") : QStringLiteral("/;/home;"));
    }
  }

  void searchNowAddsTheBasesOfEachListedFolderAndTheTreeShowsThem() {
    guitest::WindowDriver window;
    QVERIFY(window.ready());
    const QString tree = window.fixture().folder() + QStringLiteral("/tree");
    writeBase(tree + "/C/Data/Inbox.dbx");
    writeBase(tree + "/C/Data/Sub/Sent.dbx");
    writeBase(tree + "/C/Skipped/Other.dbx");
    writeBase(tree + "/D/Outbox.dbx");
    window.fixture().modals().setAnswer(
        answerSearch(nullptr, tree + "/C/Data;;" + tree + "/D/", kSearchNowButton));
    QVERIFY(window.offered(command::kAddBase));
    QVERIFY(window.run(command::kAddBase));
    QCOMPARE(window.outline(), QStringLiteral("Vireo{%1/C/Data{Inbox},%1/C/Data/Sub{Sent},%1/D{Outbox}}").arg(tree));
    QCOMPARE(window.statusBar().paneText(0), QString());
    QCOMPARE(window.statusBar().paneId(0), 0);
    QCOMPARE(window.statusBar().outcome(), QStringLiteral("%1/C/Data, %1/D: 3 message bases added").arg(tree));

    // Searching again adds nothing twice, and says so.
    QVERIFY(window.run(command::kAddBase));
    QCOMPARE(window.doc().readerCount, 3);
    QCOMPARE(window.statusBar().outcome(), QStringLiteral("%1/C/Data, %1/D: no new message base found").arg(tree));
  }

  void browseSearchesTheChosenFolderAndCancellingStartsNothing() {
    guitest::WindowDriver window;
    QVERIFY(window.ready());
    const QString tree = window.fixture().folder() + QStringLiteral("/tree");
    writeBase(tree + "/.hidden/Store/Inbox.dbx");
    bool hiddenShown = false;
    window.fixture().modals().setAnswer(answerBrowse(QString(), &hiddenShown));
    window.click(command::kAddBase);
    QVERIFY(hiddenShown);
    QCOMPARE(window.doc().operationRunning, 0);
    QCOMPARE(window.fixture().modals().asked().size(), 2u);

    window.fixture().modals().setAnswer(answerBrowse(tree + "/.hidden"));
    QVERIFY(window.run(command::kAddBase));
    QCOMPARE(window.outline(), QStringLiteral("Vireo{%1/.hidden/Store{Inbox}}").arg(tree));
  }

  void progressTextGoesToTheStatusPane() {
    guitest::WindowDriver window;
    QVERIFY(window.ready());
    window.doc().shared().setSearchText("Searching /home/ann/Mail");
    QCOMPARE(window.tree().OnWorkerMessage(kSearchProgress), 1);
    QCOMPARE(window.status(), QStringLiteral("Searching /home/ann/Mail"));
  }
};

}  // namespace vireo::shell

QTEST_MAIN(vireo::shell::SearchTest)
#include "search_test.moc"
