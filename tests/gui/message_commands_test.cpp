// The list's commands on selected messages (save, open, view source, the context menu) and the
// folder dialog, over a real base read from a scratch folder; modal boxes and dialogs are
// answered, the desktop's handlers are stand-ins.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <fstream>

#include "content/mbox_format.h"
#include "tests/gui/support/desktop_catcher.h"
#include "tests/gui/support/folder_dialog_script.h"
#include "tests/gui/support/list_document.h"
#include "tests/gui/support/window_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "views/attachment_saving.h"
#include "views/command_table.h"
#include "views/desktop_handoff.h"
#include "views/list_view.h"
#include "views/message_list_model.h"
#include "views/progress_status_bar.h"
#include "views/save_messages_dialog.h"
#include "views/save_progress.h"
#include "views/source_window.h"
#include "views/text_editor.h"

namespace vireo::views {
namespace {

namespace fs = std::filesystem;
using guitest::DialogScript;
using guitest::ModalAnswers;
using testing::fileText;

std::string messageText(int i) { return testing::simpleMessage("Message " + std::to_string(i), "Body " + std::to_string(i) + ".\r\n"); }

struct CommandFixture {
  testing::ScratchDocument scratch;
  CListView_1 list{&scratch.doc};
  ProgressStatusBar status;  // where a save says how it ended
  ModalAnswers modals;
  int reader = -1;

  // A read base "Inbox.dbx" of count messages, shown in the list, at reader index readerIndex.
  explicit CommandFixture(int count = 3, int readerIndex = 0) {
    while (scratch.doc.readerCount < readerIndex) scratch.addBase(1, {});
    testing::DbxWriter writer;
    for (int i = 0; i < count; ++i) writer.add(messageText(i));
    writer.build().save(scratch.dir.file("Inbox.dbx"));
    reader = scratch.addBase(0, {});
    MessageBaseReader& r = base();
    r.baseFolder = scratch.dir.path();
    r.baseName = "Inbox.dbx";
    r.openBase(false);
    r.state = kStateBrowsed;
    scratch.doc.currentReader = reader;
    publishStatusBar(&status);
    list.resize(700, 300);
    list.show();
    scratch.doc.UpdateAllViews(nullptr, 0);
  }
  CVireoDoc& doc() { return scratch.doc; }
  MessageBaseReader& base() { return doc().readers[static_cast<size_t>(reader)]; }
  QString folder(const std::string& name) { return QString::fromStdString(scratch.dir.file(name)); }

  // Selects the rows that show these records (the list is sorted by number).
  void selectRecords(std::initializer_list<int> records) {
    list.selectionModel()->clear();
    for (int record : records)
      for (int row = 0; row < list.listModel()->rowCount(); ++row)
        if (list.listModel()->recordAt(row) == record) {
          list.selectionModel()->setCurrentIndex(list.listModel()->index(row, 2),
                                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
  }
  QPoint rowCentre(int row) { return list.visualRect(list.listModel()->index(row, 2)).center(); }
};

// Once the event about to be sent has opened a menu, runs act on it (null when none opened).
void whenMenuOpens(std::function<void(QMenu*)> act) {
  QTimer::singleShot(0, [act = std::move(act)] { act(qobject_cast<QMenu*>(QApplication::activePopupWidget())); });
}

void rightClick(QAbstractItemView& view, const QPoint& at) {
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
  QCoreApplication::sendEvent(view.viewport(), &event);
}

QStringList filesIn(const QString& folder) { return QDir(folder).entryList(QDir::Files, QDir::Name); }

}  // namespace

class MessageCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void savedFilesAreNamedByNumberAndASecondSaveKeepsOtherFilesOfTheSameName() {
    CommandFixture f(3);
    f.base().records[2].number = 12;
    f.selectRecords({0, 2});
    DialogScript script;
    const QString mail = f.folder("Mail/new");
    script.folders = {mail, mail};
    f.modals.setAnswer(script.answer());

    QVERIFY(f.list.OnCmdMsg(command::kSaveSelected));
    QCOMPARE(filesIn(mail), (QStringList{"0.eml", "12.eml"}));
    QCOMPARE(fileText((mail + "/12.eml").toStdString()), messageText(2));
    QCOMPARE(f.doc().exportFolder, mail.toStdString());
    QCOMPARE(f.status.displayedText(), QStringLiteral("2 messages saved to ") + mail);

    QVERIFY(f.modals.messageTexts().empty());
    std::ofstream((mail + "/0.eml").toStdString()) << "older";
    QVERIFY(f.list.OnCmdMsg(command::kSaveSelected));
    QCOMPARE(fileText((mail + "/0.eml").toStdString()), std::string("older"));
    QCOMPARE(fileText((mail + "/0 (2).eml").toStdString()), messageText(0));
    QCOMPARE(filesIn(mail), (QStringList{"0 (2).eml", "0.eml", "12.eml"}));  // 12.eml held the same bytes
    QCOMPARE(script.shown.size(), size_t{2});
    QCOMPARE(script.shown[1].folder, mail);  // the last folder is offered again
    QCOMPARE(f.modals.messageTexts(),
             std::vector<std::string>{"1 messages were written beside files of the same name in " +
                                      mail.toStdString() + ", as \"N (2).eml\"."});
    // The counts vireo-cli export prints after its own.
    QCOMPARE(f.status.displayedText(),
             QStringLiteral("2 messages saved to %1 (1 kept beside files of the same name, 1 identical files left as "
                            "they were)").arg(mail));
  }

  // The selection as one mbox, in display order, and as a Maildir; Cancel on the bar leaves no
  // mbox at all.
  void selectedMessagesSaveAsAnMboxOrAMaildir() {
    CommandFixture f(3);
    f.selectRecords({2, 0});
    DialogScript script;
    const QString mail = f.folder("Mail");
    script.folders = {mail, mail, f.folder("Stopped")};
    f.modals.setAnswer(script.answer());

    QVERIFY(f.list.OnCmdMsg(command::kSaveSelectedMbox));
    QCOMPARE(script.shown[0].title, QStringLiteral("Save messages as mbox"));
    QCOMPARE(script.shown[0].description, QStringLiteral("Save 2 selected messages from \"Inbox.dbx\""));
    std::string expected;
    appendMboxEntry(expected, messageText(0), 0);
    appendMboxEntry(expected, messageText(2), 0);
    QCOMPARE(fileText((mail + "/Inbox").toStdString()), expected);
    QCOMPARE(f.status.displayedText(), QStringLiteral("2 messages saved to %1/Inbox").arg(mail));

    QVERIFY(f.list.OnCmdMsg(command::kSaveSelectedMaildir));  // "Inbox" is the mbox file now
    QCOMPARE(f.modals.messageTexts().size(), size_t{1});
    QVERIFY(f.modals.messageTexts()[0].starts_with("2 of 2 messages were not written to " + (mail + "/Inbox").toStdString()));
    QCOMPARE(fileText((mail + "/Inbox").toStdString()), expected);

    const SaveProgress::Observer previous =
        SaveProgress::setObserver([](SaveProgress& progress, int done) { if (done == 1) progress.cancel(); });
    QVERIFY(f.list.OnCmdMsg(command::kSaveSelectedMbox));
    SaveProgress::setObserver(previous);
    QCOMPARE(QDir(f.folder("Stopped")).entryList(QDir::Files | QDir::Hidden), QStringList{});
    QCOMPARE(f.modals.messageTexts().size(), size_t{1});  // a cancel is not a failure
    QCOMPARE(f.status.displayedText(), QStringLiteral("Save stopped: nothing written"));
  }

  void theDescriptionSaysHowManyFromWhichBase() {
    CommandFixture f(4);
    DialogScript script;
    script.folders = {QString(), QString()};
    f.modals.setAnswer(script.answer());
    f.selectRecords({1});
    f.list.OnCmdMsg(command::kSaveSelected);
    f.selectRecords({0, 1, 2, 3});
    f.list.OnCmdMsg(command::kSaveSelected);
    QCOMPARE(script.shown.size(), size_t{2});
    QCOMPARE(script.shown[0].title, QStringLiteral("Save messages as *.eml"));
    QCOMPARE(script.shown[0].description, QStringLiteral("Save selected message from \"Inbox.dbx\""));
    QCOMPARE(script.shown[1].description, QStringLiteral("Save  4 selected messages from \"Inbox.dbx\""));
    QVERIFY(!fs::exists(f.doc().exportFolder));  // cancelled: nothing made, nothing written
  }

  void aFileInTheWayGivesCannotCreatePathAndTheDialogAgainWithThatPath() {
    CommandFixture f(2);
    const QString inTheWay = f.folder("a_file");
    std::ofstream(inTheWay.toStdString()) << "x";
    DialogScript script;
    script.folders = {inTheWay, QString()};
    f.modals.setAnswer(script.answer());
    f.selectRecords({0});
    f.list.OnCmdMsg(command::kSaveSelected);
    QCOMPARE(f.modals.messageTexts(), std::vector<std::string>{"Cannot create path\n" + inTheWay.toStdString()});
    QCOMPARE(script.shown.size(), size_t{2});
    QCOMPARE(script.shown[1].folder, inTheWay);
    QCOMPARE(fileText(inTheWay.toStdString()), std::string("x"));
  }

  void rowsGoneWhileTheDialogWasOpenAreToldAsOnlySoMany() {
    CommandFixture f(3);
    f.selectRecords({0, 1, 2});
    DialogScript script;
    const QString out = f.folder("out");
    script.folders = {out};
    // A refresh of the list (an operation completing) selects only the first row again.
    script.whileOpen = [&f] { f.doc().UpdateAllViews(nullptr, 0); };
    f.modals.setAnswer(script.answer());
    f.list.OnCmdMsg(command::kSaveSelected);
    QCOMPARE(filesIn(out), QStringList{"0.eml"});
    QCOMPARE(f.modals.messageTexts(), std::vector<std::string>{"Only 1 messages were copied"});
  }

  void filesThatCannotBeWrittenAreCountedOnceWithWhereAndWhy() {
    CommandFixture f(3);
    const QString out = f.folder("out");
    // Blocks beyond the end of the working file: those messages cannot be read.
    f.base().blocks[f.base().listEnds[1] - 1].offset = 50000000;
    f.base().blocks[f.base().listEnds[2] - 1].offset = 50000000;
    f.selectRecords({0, 1, 2});
    DialogScript script;
    script.folders = {out};
    f.modals.setAnswer(script.answer());
    f.list.OnCmdMsg(command::kSaveSelected);
    const std::vector<std::string> texts = f.modals.messageTexts();
    QCOMPARE(texts.size(), size_t{1});
    const QString text = QString::fromStdString(texts[0]);
    QVERIFY2(text.startsWith(QStringLiteral("2 of 3 messages were not written to %1.\n").arg(out)), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("at offset 50000000")), qPrintable(text));
    QCOMPARE(filesIn(out), QStringList{"0.eml"});
    QCOMPARE(fileText((out + "/0.eml").toStdString()), messageText(0));
  }

  void attachmentSavesSayWhatWasWritten() {
    ProgressStatusBar status;
    publishStatusBar(&status);
    testing::ScratchDir dir;
    const QString folder = QString::fromStdString(dir.file("attachments"));
    QDir().mkpath(folder);
    ModalAnswers modals([&](const ModalRequest& request) -> std::optional<int> {
      auto* chooser = qobject_cast<QFileDialog*>(static_cast<QDialog*>(request.dialog));
      if (request.kind != ModalKind::Dialog || !chooser) return std::nullopt;
      chooser->setDirectory(folder);
      chooser->selectFile(chooser->fileMode() == QFileDialog::Directory ? folder : folder + "/a.txt");
      return QDialog::Accepted;
    });
    QVERIFY(saveAttachment(nullptr, folder, QStringLiteral("a.txt"), "A"));
    QCOMPARE(status.displayedText(), QStringLiteral("Attachment saved as %1/a.txt").arg(folder));
    const std::vector<AttachmentFile> files{{QStringLiteral("a.txt"), "A"}, {QStringLiteral("b.txt"), "B"}};
    QCOMPARE(saveAllAttachments(nullptr, folder, files), 2);
    QCOMPARE(status.displayedText(), QStringLiteral("2 attachments saved to ") + folder);
    QCOMPARE(filesIn(folder), (QStringList{"a (2).txt", "a.txt", "b.txt"}));
  }

  void aCancelledLongSaveLeavesOnlyWholeFiles() {
    CommandFixture f(300);
    f.list.selectAll();
    DialogScript script;
    const QString out = f.folder("out");
    script.folders = {out};
    f.modals.setAnswer(script.answer());
    const SaveProgress::Observer previous = SaveProgress::setObserver([](SaveProgress& progress, int done) {
      if (done == 120) progress.cancel();
    });
    f.list.OnCmdMsg(command::kSaveSelected);
    SaveProgress::setObserver(previous);
    const QStringList files = filesIn(out);
    QCOMPARE(files.size(), 120);
    for (const QString& name : files) {
      const int number = QFileInfo(name).baseName().toInt();
      QCOMPARE(fileText((out + "/" + name).toStdString()), messageText(number));
    }
    QVERIFY(f.modals.messageTexts().empty());
    QCOMPARE(f.status.displayedText(), QStringLiteral("Save stopped: 120 of 300 messages saved to ") + out);
  }

  void openWritesPrefixedFilesAndHandsEachToTheDesktop() {
    CommandFixture f(4, 2);
    f.selectRecords({0, 1, 3});
    guitest::DesktopCatcher catcher({QStringLiteral("file")});
    QVERIFY(f.list.OnCmdMsg(command::kOpenInOe));
    // A double click on a row opens the selection just the same.
    f.selectRecords({1});
    QTest::mouseDClick(f.list.viewport(), Qt::LeftButton, {}, f.rowCentre(1));
    const QString temp = QString::fromStdString(f.doc().tempFolder);
    QList<QUrl> expected;
    for (const char* name : {"2_0.eml", "2_1.eml", "2_3.eml"}) expected << QUrl::fromLocalFile(temp + "/" + name);
    QCOMPARE(catcher.opened.mid(0, 3), expected);
    QCOMPARE(catcher.opened.mid(3), QList<QUrl>{QUrl::fromLocalFile(temp + "/2_1.eml")});
    QCOMPARE(fileText((temp + "/2_3.eml").toStdString()), messageText(3));
    QVERIFY(f.modals.messageTexts().empty());
  }

  void whenTheDesktopOpensNothingOneBoxNamesTheFilesWrittenAndWhy() {
    CommandFixture f(3);
    f.selectRecords({0, 1, 2});
    QList<QUrl> handed;
    const DesktopHandoff previous = setDesktopHandoff({[&handed](const QUrl& url) {
                                                        handed << url;
                                                        return false;
                                                      },
                                                      {}});
    f.list.OnCmdMsg(command::kOpenInOe);
    setDesktopHandoff(previous);
    QCOMPARE(handed.size(), 3);
    const std::vector<std::string> texts = f.modals.messageTexts();
    QCOMPARE(texts.size(), size_t{1});
    QVERIFY(texts[0].starts_with("No program could open these messages:"));
    const QString temp = QString::fromStdString(f.doc().tempFolder);
    for (const char* name : {"0_0.eml", "0_1.eml", "0_2.eml"}) {
      const std::string path = (temp + "/" + name).toStdString();
      QVERIFY2(texts[0].find(path) != std::string::npos, path.c_str());
      QVERIFY(fs::is_regular_file(path));  // written, so the user can open it another way
    }
    QVERIFY(texts[0].find("The messages were written to those files.") != std::string::npos);
    QVERIFY(texts[0].ends_with(desktopOpenFailureReason().toStdString()));

    // The offscreen platform opens nothing either: one message, one file named.
    f.selectRecords({1});
    f.list.OnCmdMsg(command::kOpenInOe);
    QCOMPARE(f.modals.messageTexts().size(), size_t{2});
    QVERIFY(f.modals.messageTexts()[1].find("The message was written to that file.") != std::string::npos);
  }

  void viewSourceShowsVireosOwnWindowWithTheEditorAButtonAway() {
    CommandFixture f(3);
    f.base().records[1].number = 7;
    f.selectRecords({1});
    QCOMPARE(f.base().currentRow, 1);
    QStringList asked;
    TextEditorLookup previousLookup = setTextEditorLookup([&asked](const QString& path) -> std::optional<QStringList> {
      asked << path;
      return QStringList{QStringLiteral("an-editor"), path};
    });
    QStringList started;
    bool starts = true;
    const DesktopHandoff previousHandoff =
        setDesktopHandoff({{}, [&](const QString& program, const QStringList& arguments) {
                             started << program << arguments;
                             return starts;
                           }});
    QVERIFY(f.list.OnCmdMsg(command::kViewSource));
    const QString path = QString::fromStdString(f.doc().tempFolder) + "/7.eml";
    QCOMPARE(fileText(path.toStdString()), messageText(1));
    // No editor is asked for until the user wants one.
    QVERIFY(asked.isEmpty());
    const QList<SourceWindow*> windows = f.list.findChildren<SourceWindow*>();
    QCOMPARE(windows.size(), 1);
    SourceWindow& window = *windows[0];
    QCOMPARE(window.windowTitle(), QStringLiteral("7.eml"));
    QVERIFY(window.isWindow());
    QCOMPARE(window.pathLabel()->text(), path);
    QVERIFY(window.text()->isReadOnly());
    QCOMPARE(window.text()->toPlainText(), QString::fromStdString(messageText(1)).remove(QLatin1Char('\r')));

    // The find field finds each match in turn, wraps, and says when there is none.
    window.findField()->setText(QStringLiteral("Message 1"));
    QVERIFY(window.findNext());
    const int first = window.text()->textCursor().selectionStart();
    QCOMPARE(window.text()->textCursor().selectedText(), QStringLiteral("Message 1"));
    QVERIFY(window.findNext());  // the only match again, found from the top
    QCOMPARE(window.text()->textCursor().selectionStart(), first);
    window.findField()->setText(QStringLiteral("nowhere in it"));
    QVERIFY(!window.findNext());

    // The button hands the file to the desktop's editor...
    QTest::mouseClick(window.editorButton(), Qt::LeftButton);
    QCOMPARE(asked, QStringList{path});
    QCOMPARE(started, (QStringList{QStringLiteral("an-editor"), path}));
    QVERIFY(f.modals.messageTexts().empty());
    // ...and says so when it cannot start one, or there is none.
    starts = false;
    QTest::mouseClick(window.editorButton(), Qt::LeftButton);
    setTextEditorLookup([](const QString&) { return std::optional<QStringList>(); });
    QTest::mouseClick(window.editorButton(), Qt::LeftButton);
    setTextEditorLookup(std::move(previousLookup));
    setDesktopHandoff(previousHandoff);
    const std::vector<std::string> texts = f.modals.messageTexts();
    QCOMPARE(texts.size(), size_t{2});
    for (const std::string& text : texts)
      QVERIFY(text.starts_with("No text editor could be started for\n" + path.toStdString() + "\n"));
  }

  void exec_linesBecomeCommandsForOneFile() {
    const QString path = QStringLiteral("/tmp/a b/7.eml");
    QCOMPARE(execLineCommand(QStringLiteral("gedit %U"), path), (QStringList{"gedit", path}));
    QCOMPARE(execLineCommand(QStringLiteral("\"/opt/my editor/ed\" --new %f"), path),
             (QStringList{"/opt/my editor/ed", "--new", path}));
    QCOMPARE(execLineCommand(QStringLiteral("mousepad %i --title=%%x"), path), (QStringList{"mousepad", "--title=%x", path}));
    QVERIFY(execLineCommand(QString(), path).isEmpty());
  }

  void theContextMenuGraysViewSourceForTwoAndIsNotShownBelowTheRows() {
    CommandFixture f(3);
    f.selectRecords({0, 1});
    QStringList items;
    QList<bool> enabled;
    whenMenuOpens([&](QMenu* menu) {
      QVERIFY(menu);
      for (QAction* action : menu->actions()) {
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
        enabled << action->isEnabled();
      }
      menu->close();
    });
    rightClick(f.list, f.rowCentre(0));
    QCOMPARE(items, (QStringList{"Save as eml", "Save as mbox...", "Save as Maildir...", "-", "Open in OE", "View source"}));
    QCOMPARE(enabled, (QList<bool>{true, true, true, true, true, false}));

    bool opened = true;
    whenMenuOpens([&](QMenu* menu) {
      opened = menu != nullptr;
      if (menu) menu->close();
    });
    rightClick(f.list, QPoint(20, f.list.viewport()->height() - 3));
    QCoreApplication::processEvents();  // the check runs now, not inside the next menu
    QVERIFY(!opened);

    // With one row, View source is offered, and choosing it runs it.
    f.selectRecords({2});
    whenMenuOpens([](QMenu* menu) {
      QVERIFY(menu);
      QAction* view = menu->actions().last();
      QVERIFY(view->isEnabled());
      QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(view).center());
    });
    rightClick(f.list, f.rowCentre(2));
    const QList<SourceWindow*> windows = f.list.findChildren<SourceWindow*>();
    QCOMPARE(windows.size(), 1);
    QCOMPARE(windows[0]->pathLabel()->text(), QString::fromStdString(f.doc().tempFolder) + "/2.eml");
  }

  void theCommandsAreRefusedWhileTheBaseIsBeingFilled() {
    CommandFixture f(2);
    f.selectRecords({0});
    f.doc().canSaveSelected = 1;
    QCOMPARE(f.list.OnUpdateCmdUI(command::kSaveSelected), std::optional<bool>(true));
    QCOMPARE(f.list.OnUpdateCmdUI(command::kViewSource), std::optional<bool>(true));
    f.base().state = kStateNotRead;  // as while the worker fills it
    for (int id : {command::kSaveSelected, command::kOpenInOe, command::kViewSource})
      QCOMPARE(f.list.OnUpdateCmdUI(id), std::optional<bool>(false));
    f.list.OnCmdMsg(command::kSaveSelected);
    f.list.OnCmdMsg(command::kOpenInOe);
    QVERIFY(f.modals.asked().empty());
    QCOMPARE(f.list.OnUpdateCmdUI(command::kBrowse), std::nullopt);
  }

  void theDialogTakesAFolderFromTheChooserAndAtMost500Characters() {
    guitest::ModalAnswers modals;
    SaveMessagesDialog dialog;
    dialog.destinationFolder = QString(600, QLatin1Char('a'));
    modals.setAnswer([&](const ModalRequest& request) -> std::optional<int> {
      if (request.dialog != &dialog) {
        auto* chooser = qobject_cast<QFileDialog*>(static_cast<QDialog*>(request.dialog));
        if (!chooser || chooser->windowTitle() != QStringLiteral("Choose a folder")) return QDialog::Rejected;
        chooser->setDirectory(QDir::tempPath());
        return QDialog::Accepted;
      }
      if (dialog.folderEdit()->text().size() != 500) return QDialog::Rejected;
      dialog.browseButton()->click();
      return QDialog::Accepted;
    });
    QCOMPARE(dialog.DoModal(), int{QDialog::Accepted});
    QCOMPARE(QDir(dialog.destinationFolder).canonicalPath(), QDir(QDir::tempPath()).canonicalPath());
    QCOMPARE(dialog.folderEdit()->accessibleName(), QStringLiteral("To folder"));
  }
};

}  // namespace vireo::views

QTEST_MAIN(vireo::views::MessageCommandsTest)
#include "message_commands_test.moc"
