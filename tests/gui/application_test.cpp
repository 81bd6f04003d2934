// The application object: a document that cannot be made ends the start-up, and names for
// assistive tools. Help has tests of its own (help_window_test.cpp), as it starts the web engine.
#include <QAccessible>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QToolBar>
#include <QtTest>

#include "shell/options_dialog.h"
#include "shell/vireo_app.h"
#include "tests/gui/support/window_fixture.h"
#include "views/command_table.h"
#include "views/html_view.h"
#include "views/list_view.h"
#include "views/main_frame.h"
#include "views/progress_status_bar.h"

namespace vireo::shell {

class ApplicationTest : public QObject {
  Q_OBJECT

 private slots:
  void aTempFolderThatCannotBeMadeEndsTheStartUp() {
    QTemporaryDir scratch;
    guitest::ModalAnswers modals;
    QFile blocker(scratch.path() + QStringLiteral("/blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    DocumentSetup setup = guitest::scratchSetup(scratch.path());
    setup.fallbackTempFolder = (scratch.path() + QStringLiteral("/blocker/temp")).toStdString();

    CVireoApp app;
    QVERIFY(!app.InitInstance(setup));
    QVERIFY(!app.mainWindow());
    QVERIFY(!app.document());
    const std::vector<std::string> texts = modals.messageTexts();
    QVERIFY(!texts.empty());
    QVERIFY(texts.back().starts_with("Creating TempDir("));
  }

  void panesBarsAndDialogsHaveNamesForAssistiveTools() {
    guitest::WindowFixture fixture;
    views::C3WaySplitter_1& frame = fixture.frame();
    auto name = [](QObject* object) { return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name); };
    QCOMPARE(name(frame.treeView()->widget()), QStringLiteral("Message bases"));
    QCOMPARE(name(frame.listView()), QStringLiteral("Messages"));
    QCOMPARE(name(frame.htmlView()), QStringLiteral("Preview"));

    QAccessibleInterface* statusBar = QAccessible::queryAccessibleInterface(frame.progressStatusBar());
    QCOMPARE(statusBar->role(), QAccessible::StatusBar);
    QCOMPARE(statusBar->text(QAccessible::Name), QStringLiteral("Status bar"));
    QCOMPARE(name(frame.progressStatusBar()->findChild<QLabel*>(QStringLiteral("messagePane"))),
             QStringLiteral("For Help, press F1"));

    QStringList menus;
    for (QAction* menu : frame.menuBar()->actions()) menus.append(name(menu->menu()));
    QCOMPARE(menus, (QStringList{"File", "Tools", "View", "Help"}));

    QStringList buttons;
    for (QAction* action : frame.toolBar()->actions())
      if (!action->isSeparator()) buttons.append(name(frame.toolBar()->widgetForAction(action)));
    QCOMPARE(buttons, (QStringList{"Add message base to Tree View", "Remove from Tree View", "Save as *.eml",
                                   "Message base browsing", "Message base recovery", "Stop"}));

    OptionsDialog options;
    QAccessibleInterface* dialog = QAccessible::queryAccessibleInterface(&options);
    QCOMPARE(dialog->role(), QAccessible::Dialog);
    QCOMPARE(dialog->text(QAccessible::Name), QStringLiteral("Vireo options"));
  }

  void commandLinePathsAreKeptForTheTree() {
    CVireoApp app;
    app.ParseCommandLine({QStringLiteral("Inbox.dbx"), QString(), QStringLiteral("/mnt/old/Mail")});
    QCOMPARE(app.startPaths(), (std::vector<std::string>{"Inbox.dbx", "/mnt/old/Mail"}));
  }
};

}  // namespace vireo::shell

QTEST_MAIN(vireo::shell::ApplicationTest)
#include "application_test.moc"
