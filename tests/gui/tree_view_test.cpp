// The tree of bases without the worker: its nodes, the filters, selection and activation flags,
// removal, the context menu and what assistive technology reads.
#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "dbx/layout.h"
#include "reader/base_listing.h"
#include "shell/base_tree_model.h"
#include "shell/tree_images.h"
#include "tests/gui/support/tree_harness.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

DbxImage baseOfKind(uint32_t kindWord, uint8_t newsMarker = 1) {
  DbxWriter writer(kindWord);
  writer.setNewsMarker(newsMarker);
  writer.add(simpleMessage("hello"));
  return writer.build();
}
DbxImage newsBase() { return baseOfKind(dbx::kKindWordMessages, 0); }
DbxImage systemBase() { return baseOfKind(dbx::kKindWordFolders); }

struct MenuItem {
  QString text;
  int command;
  bool enabled;
  bool checked;
};

std::vector<MenuItem> itemsOf(const QMenu* menu) {
  std::vector<MenuItem> items;
  for (const QAction* action : menu->actions()) {
    if (action->isSeparator()) items.push_back({QStringLiteral("-"), 0, false, false});
    else items.push_back({action->text(), action->data().toInt(), action->isEnabled(), action->isChecked()});
  }
  return items;
}

// Once the event that is about to be sent has opened a menu, runs act on it (null when none
// opened); act must close the menu or trigger one of its items.
void whenMenuOpens(std::function<void(QMenu*)> act) {
  QTimer::singleShot(0, [act = std::move(act)] { act(qobject_cast<QMenu*>(QApplication::activePopupWidget())); });
}

void clickItem(QMenu* menu, int command) {
  for (QAction* action : menu->actions())
    if (action->data().toInt() == command) QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
}

void rightClick(QTreeView* tree, const QPoint& at) {
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
  QCoreApplication::sendEvent(tree->viewport(), &event);
}

}  // namespace

class TreeViewTest : public QObject {
  Q_OBJECT

 private slots:
  void anEmptyTableShowsOnlyTheExpandedRoot() {
    TreeHarness h;
    QCOMPARE(h.outline(), std::string("Vireo{}"));
    const QModelIndex root = h.model().rootNode();
    QCOMPARE(h.model().itemDataOf(root), kRootItem);
    QCOMPARE(h.model().image(root), shell::image::kRoot);
    QVERIFY(h.tree->isExpanded(root));
    QCOMPARE(h.doc->currentReader, kNoReader);
  }

  void groupsFollowRunsOfFoldersAndKeepTheirPlaceWhenFiltersEmptyThem() {
    TreeHarness h;
    h.addBase("A", "Inbox.dbx", mailBase(1));
    h.addBase("A", "Sent.dbx", mailBase(1));
    h.addBase("B", "Inbox.dbx", mailBase(1));
    h.addBase("A", "Drafts.dbx", mailBase(1));
    h.addBase("Store", "Folders.dbx", systemBase());
    h.addBase("Groups", "comp.lang.dbx", newsBase());
    h.refresh();
    QCOMPARE(h.outline(), std::string("Vireo{A{Inbox,Sent},B{Inbox},A{Drafts},Store{},Groups{comp.lang}}"));
    QVERIFY(h.tree->isExpanded(h.model().rootNode()));
    QCOMPARE(h.model().itemDataOf(h.groupNode(0)), kGroupItem);
    QCOMPARE(h.model().itemDataOf(h.model().index(1, 0, h.groupNode(0))), 1);

    h.doc->OnCmdMsg(command::kViewNewsBase);
    QCOMPARE(h.doc->showNewsBases, 0);
    QCOMPARE(h.outline(), std::string("Vireo{A{Inbox,Sent},B{Inbox},A{Drafts},Store{},Groups{}}"));
    h.doc->OnCmdMsg(command::kViewSystemBase);
    QCOMPARE(h.outline(), std::string("Vireo{A{Inbox,Sent},B{Inbox},A{Drafts},Store{Folders},Groups{}}"));
    QCOMPARE(h.image(4), shell::image::kSystemBase);
    h.doc->OnCmdMsg(command::kViewSystemBase);
    // A system base that has been read shows whatever the filter says.
    h.doc->readers[4].state = 2;
    h.doc->OnCmdMsg(command::kViewNewsBase);
    QCOMPARE(h.outline(), std::string("Vireo{A{Inbox,Sent},B{Inbox},A{Drafts},Store{Folders},Groups{comp.lang}}"));
    QCOMPARE(h.image(4), shell::image::kOtherRecovered);
    QCOMPARE(h.image(5), shell::image::kNewsNotRead);
  }

  void theOnlyBasesGroupOpensByItselfAndGroupsKeepWhatTheUserDid() {
    TreeHarness h;
    h.addBase("A", "Inbox.dbx", mailBase(1));
    h.refresh();
    QVERIFY(h.tree->isExpanded(h.groupNode(0)));
    h.addBase("B", "Inbox.dbx", mailBase(1));
    h.refresh();
    QVERIFY(h.tree->isExpanded(h.groupNode(0)));
    QVERIFY(!h.tree->isExpanded(h.groupNode(1)));  // not the only base's, nor named
    h.tree->collapse(h.groupNode(0));
    h.tree->expand(h.groupNode(1));
    h.refresh();
    QVERIFY(!h.tree->isExpanded(h.groupNode(0)));
    QVERIFY(h.tree->isExpanded(h.groupNode(1)));
    QCOMPARE(h.groupNode(1).data(Qt::ToolTipRole).toString(), QString::fromStdString(h.folderPath("B")));
  }

  void hintsThatOnlyConcernTheListLeaveTheTreeAlone() {
    TreeHarness h;
    h.addBase("A", "Inbox.dbx", mailBase(1));
    h.doc->UpdateAllViews(nullptr, 6);
    h.doc->UpdateAllViews(nullptr, 4);
    QCOMPARE(h.outline(), std::string("Vireo{}"));
    h.doc->UpdateAllViews(nullptr, 3);
    QCOMPARE(h.outline(), std::string("Vireo{A{Inbox}}"));
  }

  void selectionSetsTheCommandFlagsAndRefreshesTheOtherViews() {
    TreeHarness h;
    const int inbox = h.addBase("A", "Inbox.dbx", mailBase(1));
    const int sent = h.addBase("A", "Sent.dbx", mailBase(1));
    const int folders = h.addBase("B", "Folders.dbx", systemBase());
    h.doc->readers[static_cast<size_t>(sent)].addRecord(MessageRecord{}, BlockSpan{});
    h.doc->showSystemBases = 1;
    h.refresh();
    h.updates.updates.clear();

    h.select(h.node(inbox));
    QCOMPARE(h.doc->currentReader, inbox);
    QCOMPARE(h.doc->canRemoveBase + h.doc->canCopyBase + h.doc->canBrowse + h.doc->canRecover, 4);
    QCOMPARE(h.doc->canSaveAll, 0);
    QCOMPARE(h.updates.updates.size(), size_t{1});
    QCOMPARE(h.updates.updates[0].first, static_cast<views::CView*>(h.tree));
    QCOMPARE(h.updates.updates[0].second, 0);

    h.select(h.node(sent));
    QCOMPARE(h.doc->canSaveAll, 1);

    h.select(h.node(folders));
    QCOMPARE(h.doc->canRemoveBase + h.doc->canCopyBase, 2);
    QCOMPARE(h.doc->canSaveAll + h.doc->canBrowse + h.doc->canRecover, 0);

    h.select(h.groupNode(0));
    QCOMPARE(h.doc->currentReader, kGroupItem);
    QCOMPARE(h.doc->canRemoveBase, 1);
    QCOMPARE(h.doc->canCopyBase + h.doc->canSaveAll + h.doc->canBrowse + h.doc->canRecover, 0);

    // From one group to another: only the list's selection flag goes; the list is not refreshed.
    h.doc->canSaveSelected = 1;
    h.updates.updates.clear();
    h.select(h.groupNode(1));
    QCOMPARE(h.doc->canSaveSelected, 0);
    QCOMPARE(h.doc->canRemoveBase, 1);
    QVERIFY(h.updates.updates.empty());

    h.select(h.model().rootNode());
    QCOMPARE(h.doc->currentReader, kRootItem);
    QCOMPARE(h.doc->canRemoveBase, 0);
  }

  void aRebuildHighlightsTheSelectedBaseAgainWithoutANewSelection() {
    TreeHarness h;
    h.addBase("A", "Inbox.dbx", mailBase(1));
    const int sent = h.addBase("A", "Sent.dbx", mailBase(1));
    h.refresh();
    h.select(h.node(sent));
    h.doc->canSaveSelected = 1;
    h.updates.updates.clear();
    h.doc->OnCmdMsg(command::kViewNewsBase);
    QCOMPARE(h.tree->currentIndex(), h.node(sent));
    QVERIFY(h.tree->selectionModel()->isSelected(h.node(sent)));
    QCOMPARE(h.doc->canSaveSelected, 1);
    QCOMPARE(h.updates.hints(), std::vector<int>{0});  // the filter's own update only
  }

  void commandsAreOfferedOnlyWhileTheTreeIsTheActivePane() {
    TreeHarness h;
    const int inbox = h.addBase("A", "Inbox.dbx", mailBase(1));
    const int folders = h.addBase("A", "Folders.dbx", systemBase());
    h.doc->showSystemBases = 1;
    h.refresh();
    h.select(h.node(inbox));
    h.tree->OnActivateView(false, nullptr, h.tree);
    QCOMPARE(h.doc->canRemoveBase + h.doc->canBrowse + h.doc->canRecover, 0);
    QCOMPARE(h.doc->commandEnabled(command::kBrowse), std::optional<bool>(false));
    h.tree->OnActivateView(true, h.tree, nullptr);
    QCOMPARE(h.doc->canRemoveBase + h.doc->canBrowse + h.doc->canRecover, 3);

    h.select(h.node(folders));
    h.tree->OnActivateView(false, nullptr, h.tree);
    h.tree->OnActivateView(true, h.tree, nullptr);
    QCOMPARE(h.doc->canRemoveBase + h.doc->canBrowse + h.doc->canRecover, 0);

    h.select(h.groupNode(0));
    h.tree->OnActivateView(false, nullptr, h.tree);
    h.tree->OnActivateView(true, h.tree, nullptr);
    QCOMPARE(h.doc->canRemoveBase, 1);
    QCOMPARE(h.doc->canBrowse + h.doc->canRecover, 0);
  }

  void removingABaseOrAGroupHidesItUntilItIsListedAgain() {
    TreeHarness h;
    const int inbox = h.addBase("A", "Inbox.dbx", mailBase(1));
    const int sent = h.addBase("A", "Sent.dbx", mailBase(1));
    const int b1 = h.addBase("B", "One.dbx", mailBase(1));
    const int b2 = h.addBase("B", "Two.dbx", newsBase());
    h.refresh();
    h.doc->readers[static_cast<size_t>(sent)].addRecord(MessageRecord{}, BlockSpan{});
    h.doc->readers[static_cast<size_t>(sent)].state = 1;

    h.select(h.node(sent));
    QVERIFY(h.tree->OnCmdMsg(command::kRemoveBase));
    QCOMPARE(h.outline(), std::string("Vireo{A{Inbox},B{One,Two}}"));
    QVERIFY(h.doc->readers[static_cast<size_t>(sent)].removed);
    QCOMPARE(h.doc->readers[static_cast<size_t>(sent)].count(), 0);
    QCOMPARE(h.doc->readers[static_cast<size_t>(sent)].state, 0);
    // The selection moved on to a node that is still there, and the flags with it.
    QCOMPARE(h.doc->currentReader, inbox);
    QCOMPARE(h.tree->currentIndex(), h.node(inbox));

    h.select(h.groupNode(1));
    h.tree->OnCmdMsg(command::kRemoveBase);
    QCOMPARE(h.outline(), std::string("Vireo{A{Inbox}}"));
    QVERIFY(h.doc->readers[static_cast<size_t>(b1)].removed && h.doc->readers[static_cast<size_t>(b2)].removed);
    QCOMPARE(h.doc->currentReader, kGroupItem);

    h.doc->OnCmdMsg(command::kViewNewsBase);
    h.doc->OnCmdMsg(command::kViewNewsBase);
    h.doc->OnCmdMsg(command::kViewSystemBase);
    QCOMPARE(h.outline(), std::string("Vireo{A{Inbox}}"));

    // The root is never removed; neither is an empty group.
    h.select(h.model().rootNode());
    h.tree->OnCmdMsg(command::kRemoveBase);
    QCOMPARE(h.outline(), std::string("Vireo{A{Inbox}}"));

    h.doc->readers[static_cast<size_t>(b1)].browseFailed = true;
    listStartPaths(*h.doc, {h.folderPath("B") + "/One.dbx"});
    h.refresh();
    QCOMPARE(h.doc->readerCount, 4);
    QCOMPARE(h.outline(), std::string("Vireo{A{Inbox},B{One}}"));
    QCOMPARE(h.image(b1), shell::image::kMailNotRead);
  }

  void removingABaseAFilterHidesLeavesNothingSelected() {
    TreeHarness h;
    const int news = h.addBase("A", "Group.dbx", newsBase());
    h.refresh();
    h.select(h.node(news));
    h.doc->OnCmdMsg(command::kViewNewsBase);
    QCOMPARE(h.doc->currentReader, news);
    h.tree->OnCmdMsg(command::kRemoveBase);
    QVERIFY(h.doc->readers[static_cast<size_t>(news)].removed);
    QCOMPARE(h.doc->currentReader, kNoReader);
    QCOMPARE(h.doc->canRemoveBase + h.doc->canBrowse, 0);
  }

  void rightClickSelectsTheNodeAndShowsMenu163() {
    TreeHarness h;
    const int inbox = h.addBase("A", "Inbox.dbx", mailBase(1));
    h.doc->readers[static_cast<size_t>(inbox)].addRecord(MessageRecord{}, BlockSpan{});
    h.refresh();
    h.tree->expandAll();  // only the root is expanded by a rebuild
    std::vector<MenuItem> items, filters;
    whenMenuOpens([&](QMenu* menu) {
      QVERIFY(menu);
      items = itemsOf(menu);
      filters = itemsOf(menu->actions().last()->menu());
      menu->close();
    });
    rightClick(h.tree, h.tree->visualRect(h.node(inbox)).center());
    QCOMPARE(h.doc->currentReader, inbox);
    QCOMPARE(items.size(), size_t{13});
    const std::vector<std::pair<const char*, bool>> expected{
        {"Message base browsing ", true}, {"Message base recovery", true},         {"-", false},
        {"Save message base as *.eml files", true}, {"Save message base as mbox...", true},
        {"Save message base as Maildir...", true}, {"-", false},                  {"Add message base to Tree View", true},
        {"Open disk image...", true},     {"Remove from Tree View", true},  {"Copy message base to ...", true},      {"-", false},
        {"Tree View Filter", true}};
    for (size_t i = 0; i < expected.size(); ++i) {
      QCOMPARE(items[i].text, QString::fromUtf8(expected[i].first));
      if (items[i].text != QStringLiteral("-")) QCOMPARE(items[i].enabled, expected[i].second);
    }
    QCOMPARE(filters.size(), size_t{2});
    QCOMPARE(filters[0].text, QStringLiteral("View News message base"));
    QVERIFY(filters[0].checked);
    QCOMPARE(filters[1].text, QStringLiteral("View System message base"));
    QVERIFY(!filters[1].checked);

    // On the root everything that needs a base is grayed; while an operation runs, Add too.
    h.doc->operationRunning = 1;
    whenMenuOpens([&](QMenu* menu) {
      QVERIFY(menu);
      items = itemsOf(menu);
      menu->close();
    });
    rightClick(h.tree, h.tree->visualRect(h.model().rootNode()).center());
    h.doc->operationRunning = 0;
    QCOMPARE(h.doc->currentReader, kRootItem);
    for (const MenuItem& item : items)
      if (item.command != 0) QVERIFY2(!item.enabled, qPrintable(item.text));
  }

  void rightClickOnEmptySpaceShowsNoMenu() {
    TreeHarness h;
    const int inbox = h.addBase("A", "Inbox.dbx", mailBase(1));
    h.refresh();
    h.select(h.node(inbox));
    bool opened = true;
    whenMenuOpens([&](QMenu* menu) {
      opened = menu != nullptr;
      if (menu) menu->close();
    });
    rightClick(h.tree, QPoint(5, h.tree->viewport()->height() - 5));
    QTRY_VERIFY_WITH_TIMEOUT(!opened, 60000);
    QCOMPARE(h.doc->currentReader, inbox);
  }

  void menuCommandsGoToTheTreeThenTheDocument() {
    TreeHarness h;
    h.addBase("A", "Inbox.dbx", mailBase(1));
    const int sent = h.addBase("A", "Sent.dbx", mailBase(1));
    h.refresh();
    h.tree->expandAll();
    whenMenuOpens([&](QMenu* menu) { clickItem(menu, command::kRemoveBase); });
    rightClick(h.tree, h.tree->visualRect(h.node(sent)).center());
    QVERIFY(h.doc->readers[static_cast<size_t>(sent)].removed);
    QCOMPARE(h.outline(), std::string("Vireo{A{Inbox}}"));

    // The filters live in the document. The keyboard's menu key opens the menu too.
    whenMenuOpens([&](QMenu* menu) {
      QMenu* filters = menu->actions().last()->menu();
      menu->setActiveAction(menu->actions().last());
      QTimer::singleShot(0, [filters] { clickItem(filters, command::kViewNewsBase); });
    });
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), QPoint());
    QCoreApplication::sendEvent(h.tree->viewport(), &key);
    QTRY_COMPARE_WITH_TIMEOUT(h.doc->showNewsBases, 0, 60000);
  }

  void nodesTellAssistiveTechnologyWhatTheyAre() {
    TreeHarness h;
    h.addBase("A", "Inbox.dbx", mailBase(1));
    h.addBase("A", "Damaged.dbx", mailBase(1));
    h.doc->readers[1].browseFailed = true;
    h.refresh();
    h.tree->expandAll();
    QCoreApplication::processEvents();  // the view lays its rows out late
    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(h.tree);
    QVERIFY(tree);
    QCOMPARE(tree->text(QAccessible::Name), QStringLiteral("Message bases"));
    QStringList cells;
    for (int i = 0; i < tree->childCount(); ++i) {
      QAccessibleInterface* cell = tree->child(i);
      if (cell && cell->role() != QAccessible::ColumnHeader)
        cells << cell->text(QAccessible::Name) + QStringLiteral(": ") + cell->text(QAccessible::Description);
    }
    QCOMPARE(cells, QStringList({QStringLiteral("Vireo: Message bases"), QString::fromStdString(h.folderPath("A")) + QStringLiteral(": Folder"),
                                 QStringLiteral("Inbox: Mail message base, not read"),
                                 QStringLiteral("Damaged: Mail message base, bad format: use message base recovery")}));
  }
};

}  // namespace vireo::testing

QTEST_MAIN(vireo::testing::TreeViewTest)
#include "tree_view_test.moc"
