// The main window as it comes up: caption, panes and their sizes, menus, toolbar, status bar,
// and the progress bar kept fitted when the window is resized.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QToolBar>
#include <QtTest>

#include "shell/vireo_app.h"
#include "tests/gui/support/window_fixture.h"
#include "views/command_table.h"
#include "views/html_view.h"
#include "views/list_view.h"
#include "views/main_frame.h"
#include "views/progress_status_bar.h"
#include "views/view_ex_split_wnd.h"

namespace vireo::views {
namespace {

QList<int> commandIds(const QList<QAction*>& actions) {
  QList<int> ids;
  for (const QAction* action : actions) ids.append(action->isSeparator() ? 0 : action->data().toInt());
  return ids;
}

}  // namespace

class MainFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void startsWithCaptionThreePanesAndTheirSizes() {
    guitest::WindowFixture fixture;
    QVERIFY(fixture.started());
    C3WaySplitter_1& frame = fixture.frame();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QCOMPARE(frame.windowTitle(),
             QStringLiteral("Vireo for Outlook Express - Recovery for Outlook Express message bases."));

    CViewExSplitWnd* outer = frame.outerSplitter();
    CViewExSplitWnd* inner = frame.innerSplitter();
    QCOMPARE(outer->count(), 2);
    QCOMPARE(outer->widget(0), frame.treeView()->widget());
    QCOMPARE(outer->widget(1), static_cast<QWidget*>(inner));
    QCOMPARE(inner->count(), 2);
    QCOMPARE(inner->widget(0), static_cast<QWidget*>(frame.listView()));
    QCOMPARE(inner->widget(1), static_cast<QWidget*>(frame.htmlView()));

    QCOMPARE(frame.treeView()->widget()->width(), 200);
    // Half the frame's height at creation (700), the preview the rest.
    QCOMPARE(frame.listView()->height(), 350);
    QVERIFY(frame.htmlView()->height() > 100);

    // The tree keeps its width; the list and the preview keep their shares of the height.
    const int share = 350 * 1000 / (inner->sizes()[0] + inner->sizes()[1]);
    QCOMPARE(frame.listShare(), share);
    frame.resize(1200, 800);
    QTRY_COMPARE(frame.htmlView()->width(), 1200 - 200 - outer->handleWidth());
    QCOMPARE(frame.treeView()->widget()->width(), 200);
    QVERIFY(frame.listView()->height() > 350);
    QCOMPARE(frame.listView()->height(), (inner->sizes()[0] + inner->sizes()[1]) * share / 1000);
  }

  void menusAndToolbarFollowTheCommandTable() {
    guitest::WindowFixture fixture;
    C3WaySplitter_1& frame = fixture.frame();
    QStringList titles;
    QList<QList<int>> items;
    for (QAction* menu : frame.menuBar()->actions()) {
      titles.append(menu->text());
      items.append(commandIds(menu->menu()->actions()));
    }
    QCOMPARE(titles, (QStringList{"&File", "Tools", "&View", "&Help"}));
    QCOMPARE(items[0], (QList<int>{57601, 32850, 32776, 32796, 32795, 0, 32840, 32841, 0, 57665}));
    QCOMPARE(items[1], (QList<int>{32773, 32774, 0, 32788, 32842, 32843, 0, 32780, 0, 32800}));
    QCOMPARE(items[2], (QList<int>{59392, 59393, 0, 32851, 32852}));
    QCOMPARE(items[3], (QList<int>{57667, 0, 57664}));
    QCOMPARE(commandIds(frame.toolBar()->actions()), (QList<int>{32776, 32796, 32788, 0, 32773, 32774, 0, 32780}));

    // Texts as the program shows them, blanks included.
    const QAction* browse = frame.commandAction(command::kBrowse);
    QCOMPARE(browse->text(), QStringLiteral("Message base browsing  "));
    QCOMPARE(browse->statusTip(),
             QStringLiteral("Message base browsing. Vireo will not modify the original message base file. "));
    QCOMPARE(browse->toolTip(), QStringLiteral(" Message base browsing"));
    QCOMPARE(frame.commandAction(command::kSaveSelected)->toolTip(), QStringLiteral("Save as *.eml "));
    QCOMPARE(frame.commandAction(command::kAppExit)->text(), QStringLiteral("E&xit"));
    QCOMPARE(QString::fromUtf8(findCommand(command::kBrowse)->contextMenuText),
             QStringLiteral("Message base browsing "));
    for (int id : {32776, 32796, 32788, 32773, 32774, 32780})
      QVERIFY2(!frame.commandAction(id)->icon().isNull(), qPrintable(QString::number(id)));
  }

  void statusBarShowsIdleTextAndFlyByPrompts() {
    guitest::WindowFixture fixture;
    C3WaySplitter_1& frame = fixture.frame();
    ProgressStatusBar* bar = frame.progressStatusBar();
    QCOMPARE(frame.statusBar(), static_cast<QStatusBar*>(bar));
    QCOMPARE(publishedStatusBar(), bar);
    QCOMPARE(bar->displayedText(), QStringLiteral("For Help, press F1"));

    QAction* stop = frame.commandAction(command::kStop);
    stop->showStatusText(&frame);
    QCOMPARE(bar->displayedText(), QStringLiteral("Stop current operation "));
    QStatusTipEvent leave{QString()};
    QApplication::sendEvent(&frame, &leave);
    QCOMPARE(bar->displayedText(), QStringLiteral("For Help, press F1"));

    bar->SetPaneText(0, QStringLiteral("Browsing of Inbox.dbx"));
    QCOMPARE(bar->displayedText(), QStringLiteral("Browsing of Inbox.dbx"));
    bar->SetPaneText(0, QString());
    QCOMPARE(bar->displayedText(), QStringLiteral("For Help, press F1"));

    // An outcome is the idle text until cleared; an operation's text goes over it meanwhile.
    bar->showOutcome(QStringLiteral("Inbox.dbx: 13 messages browsed"));
    QCOMPARE(bar->displayedText(), QStringLiteral("Inbox.dbx: 13 messages browsed"));
    bar->SetPaneText(0, QStringLiteral("Stopping..."));
    QCOMPARE(bar->displayedText(), QStringLiteral("Stopping..."));
    bar->SetPaneText(0, QString());
    QCOMPARE(bar->displayedText(), QStringLiteral("Inbox.dbx: 13 messages browsed"));
    bar->clearOutcome();
    QCOMPARE(bar->displayedText(), QStringLiteral("For Help, press F1"));
  }

  void resizeKeepsAPlacedProgressBarFitted() {
    guitest::WindowFixture fixture;
    C3WaySplitter_1& frame = fixture.frame();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    ProgressStatusBar* bar = frame.progressStatusBar();

    // Placed the way the tree places it when an operation starts.
    auto* progress = new QProgressBar(bar);
    progress->setGeometry(180, 2, bar->width() - 180 - 20, 12);
    bar->progressGap = bar->rect().width() - progress->width();
    bar->progressBar = progress;
    bar->progressShown = 1;
    const int gap = bar->progressGap;

    frame.resize(frame.width() + 300, frame.height() + 40);
    QTRY_COMPARE(bar->width(), frame.width());
    QCOMPARE(progress->width(), bar->rect().width() - gap);
    QCOMPARE(progress->height(), bar->rect().height() * 3 / 4);
    QCOMPARE(progress->x(), 180);
    QVERIFY(progress->isVisible());

    frame.resize(frame.width() - 500, frame.height());
    QTRY_COMPARE(bar->width(), frame.width());
    QCOMPARE(progress->width(), bar->rect().width() - gap);

    // With no operation running the bar is left alone.
    bar->progressShown = 0;
    const QSize before = progress->size();
    frame.resize(frame.width() + 200, frame.height());
    QTRY_COMPARE(bar->width(), frame.width());
    QCOMPARE(progress->size(), before);
  }

  void toolbarAndStatusBarCanBeHiddenAndShown() {
    guitest::WindowFixture fixture;
    C3WaySplitter_1& frame = fixture.frame();
    QAction* toolbar = frame.commandAction(command::kViewToolbar);
    QVERIFY(toolbar->isCheckable());
    QVERIFY(toolbar->isChecked());
    toolbar->trigger();
    QVERIFY(frame.toolBar()->isHidden());
    QVERIFY(!toolbar->isChecked());
    toolbar->trigger();
    QVERIFY(!frame.toolBar()->isHidden());

    QAction* statusBar = frame.commandAction(command::kViewStatusBar);
    statusBar->trigger();
    QVERIFY(frame.progressStatusBar()->isHidden());
    QVERIFY(!statusBar->isChecked());
  }
};

}  // namespace vireo::views

QTEST_MAIN(vireo::views::MainFrameTest)
#include "main_frame_test.moc"
