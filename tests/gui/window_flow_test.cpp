// The user's flows through the real window, driven as a person drives it: nodes clicked in the
// tree, toolbar buttons and menu items pressed, column headers clicked, the focus moved between
// panes; what is checked is what the person would see or hear from an assistive tool.
#include <QAccessible>
#include <algorithm>
#include <QDir>
#include <QMenu>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "shell/base_tree_model.h"
#include "tests/gui/support/gated_progress.h"
#include "tests/gui/support/tree_harness.h"
#include "tests/gui/support/window_driver.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "views/html_view.h"
#include "views/list_view.h"
#include "views/main_frame.h"
#include "views/message_list_model.h"
#include "views/progress_status_bar.h"
#include "views/vireo_doc.h"

namespace vireo::guitest {
namespace {

using testing::mailBase;

QString sample(const char* name) { return samplesFolder() + QLatin1Char('/') + QLatin1String(name); }

// Writes a base as folder/relative (sub-folders made as needed) and returns its path.
QString writeBase(const QTemporaryDir& folder, const QString& relative, const testing::DbxImage& image) {
  const QString path = folder.filePath(relative);
  QDir().mkpath(QFileInfo(path).absolutePath());
  image.save(path.toStdString());
  return path;
}

testing::DbxImage systemBase() {
  testing::DbxWriter writer(dbx::kKindWordFolders);
  writer.add(testing::simpleMessage("folder list"));
  return writer.build();
}

QStringList lines(std::initializer_list<const char*> texts) {
  QStringList out;
  for (const char* text : texts) out << QString::fromUtf8(text);
  return out;
}

const QString kIdle = QStringLiteral("For Help, press F1");
const QStringList kBrowseTitles{"", "", "From", "To", "Subject", "Date", "Number"};
const QStringList kRecoveryTitles{"", "From", "To", "Subject", "Date", "Number"};

}  // namespace

class WindowFlowTest : public QObject {
  Q_OBJECT

 private slots:
  void startsWithNoBases() {
    WindowDriver w;
    QVERIFY(w.ready());
    QCOMPARE(w.outline(), QStringLiteral("Vireo{}"));
    QVERIFY(w.tree().isExpanded(w.nodes().rootNode()));
    QCOMPARE(w.notice(), lines({"No message base is selected."}));
    QCOMPARE(w.frame().htmlView()->shownPage(), views::CHtmlView_1::Page::Start);
    QCOMPARE(w.status(), kIdle);
    QVERIFY(w.offered(command::kAddBase));
    for (int command : {command::kBrowse, command::kRecover, command::kRemoveBase, command::kStop})
      QVERIFY2(!w.offered(command), qPrintable(QString::number(command)));
  }

  void theSamplesOnTheCommandLineFormOneGroupAndTheNewsFilterHidesOne() {
    WindowDriver w({sample("Damaged.dbx"), sample("Inbox.dbx"), sample("News.dbx")});
    QVERIFY(w.ready());
    QCOMPARE(w.outline(), QStringLiteral("Vireo{%1{Damaged,Inbox,News}}").arg(samplesFolder()));
    QCOMPARE(w.description(w.base(2)), QStringLiteral("News message base, not read"));

    QVERIFY(w.frame().routeCommand(command::kViewNewsBase));
    QCOMPARE(w.outline(), QStringLiteral("Vireo{%1{Damaged,Inbox}}").arg(samplesFolder()));
    QVERIFY(!w.frame().commandAction(command::kViewNewsBase)->isChecked());
    QVERIFY(w.frame().routeCommand(command::kViewNewsBase));
    QCOMPARE(w.outline(), QStringLiteral("Vireo{%1{Damaged,Inbox,News}}").arg(samplesFolder()));
  }

  void aFolderInterruptedByAnotherRepeatsItsGroupAndSystemBasesWaitForTheirFilter() {
    QTemporaryDir bases;
    const QString a = bases.filePath(QStringLiteral("A"));
    const QString b = bases.filePath(QStringLiteral("B"));
    WindowDriver w({writeBase(bases, QStringLiteral("A/Inbox.dbx"), mailBase(1)),
                    writeBase(bases, QStringLiteral("B/Folders.dbx"), systemBase()),
                    writeBase(bases, QStringLiteral("A/Sent.dbx"), mailBase(1))});
    QVERIFY(w.ready());
    QCOMPARE(w.outline(), QStringLiteral("Vireo{%1{Inbox},%2{},%1{Sent}}").arg(a, b));
    QVERIFY(w.frame().routeCommand(command::kViewSystemBase));
    QVERIFY(w.frame().commandAction(command::kViewSystemBase)->isChecked());
    QCOMPARE(w.outline(), QStringLiteral("Vireo{%1{Inbox},%2{Folders},%1{Sent}}").arg(a, b));
    QCOMPARE(w.description(w.base(1)), QStringLiteral("System message base"));
  }

  void browsingFromTheToolbarShowsProgressThenTheMessages() {
    WindowDriver w({sample("Inbox.dbx")});
    QVERIFY(w.ready());
    w.select(w.base(0));
    QVERIFY(w.offered(command::kBrowse));
    QCOMPARE(w.notice(), lines({"Use message base browsing to view message base content."}));

    // The completion cannot be handled before this thread returns to its event loop.
    w.click(command::kBrowse);
    QCOMPARE(w.doc().operationRunning, 1);
    QCOMPARE(w.status(), QStringLiteral("Browsing of Inbox.dbx:"));
    const auto* bar = w.statusBar().findChild<QProgressBar*>(QStringLiteral("operationProgress"));
    QVERIFY(bar && bar->isVisible());
    QVERIFY(w.button(command::kStop)->isEnabled());
    for (int command : {command::kBrowse, command::kRecover, command::kRemoveBase, command::kAddBase})
      QVERIFY2(!w.button(command)->isEnabled(), qPrintable(QString::number(command)));
    QCOMPARE(w.offered(command::kSaveSelected), w.doc().canSaveSelected != 0);
    QVERIFY(!w.offered(command::kSaveSelected));  // the tree is the active pane

    QVERIFY(w.waitUntilIdle());
    QVERIFY(w.header().isVisible());
    QCOMPARE(w.titles(), kBrowseTitles);
    QCOMPARE(w.rows().rowCount(), 13);
    QCOMPARE(w.selectedRecords(), QList<int>{0});
    QStringList numbers;
    for (int i = 0; i < 13; ++i) numbers << QString::number(i);
    QCOMPARE(w.column(6), numbers);
    QVERIFY(w.arrowAt(6, true));
    QCOMPARE(w.description(w.base(0)), QStringLiteral("Mail message base, browsed"));
    // The outcome stays as the idle text until the next command.
    QCOMPARE(w.status(), QStringLiteral("Inbox.dbx: 13 messages browsed"));
    QVERIFY(!w.statusBar().findChild<QProgressBar*>());
    QVERIFY(w.button(command::kBrowse)->isEnabled());
    QVERIFY(!w.button(command::kStop)->isEnabled());
    QVERIFY(w.fixture().modals().asked().empty());
  }

  void aBaseThatCannotBeBrowsedIsRecovered() {
    WindowDriver w({sample("Damaged.dbx")});
    QVERIFY(w.ready());
    w.select(w.base(0));
    QVERIFY(w.run(command::kBrowse));
    const std::vector<AskedModal> asked = w.fixture().modals().asked();
    QCOMPARE(asked.size(), size_t{1});
    QCOMPARE(asked[0].caption, std::string("Vireo for Outlook Express"));
    QVERIFY(asked[0].text.starts_with("Bad file format, use message base recovery."));
    QCOMPARE(w.notice(), lines({"Vireo is unable to browse this message base.",
                                "Use message base recovery to recover messages in the mail base."}));
    QCOMPARE(w.description(w.base(0)),
             QStringLiteral("Mail message base, bad format: use message base recovery"));

    QVERIFY(w.run(command::kRecover));
    QCOMPARE(w.titles(), kRecoveryTitles);
    QCOMPARE(w.rows().rowCount(), 9);
    QVERIFY(w.arrowAt(5, true));
    QCOMPARE(w.description(w.base(0)), QStringLiteral("Mail message base, recovered"));
    QCOMPARE(w.fixture().modals().asked().size(), size_t{1});
    // Its index cannot be read either, so no message is marked as not in it, and the window says so.
    QVERIFY2(QRegularExpression(QStringLiteral("^Damaged\\.dbx: 9 messages recovered in \\d+\\.\\d s; the index "
                                               "could not be read: no message is marked as not in it$"))
                 .match(w.status())
                 .hasMatch(),
             qPrintable(w.status()));
    const std::unique_ptr<QMenu> menu = w.list().makeContextMenu(true);
    QVERIFY(menu);
    QVERIFY(std::ranges::any_of(menu->actions(), [](const QAction* action) {
      return action->text() == QStringLiteral("Show only messages not in the index (the index could not be read)") &&
             !action->isEnabled();
    }));
  }

  void noticesSayWhyABaseShowsNoMessages() {
    QTemporaryDir bases;
    WindowDriver w({writeBase(bases, QStringLiteral("Empty.dbx"), testing::DbxWriter().build()),
                    writeBase(bases, QStringLiteral("Unread.dbx"), mailBase(2))});
    QVERIFY(w.ready());
    w.select(w.base(1));
    QCOMPARE(w.notice(), lines({"Use message base browsing to view message base content."}));

    w.select(w.base(0));
    QVERIFY(w.run(command::kBrowse));
    QCOMPARE(w.notice(), lines({"No items are found in this view.",
                                "Try message base recover if you think that the message base is not empty."}));
    QVERIFY(w.run(command::kRecover));
    QCOMPARE(w.description(w.base(0)), QStringLiteral("Mail message base, recovered"));
    QCOMPARE(w.notice(), lines({"No items are found in this view."}));
    QVERIFY(w.fixture().modals().asked().empty());
  }

  void aSortCarriesToTheNextBaseOfTheSameLayout() {
    QTemporaryDir bases;
    testing::DbxWriter writer;
    const char* const dates[] = {"Wed, 03 Jan 2007 10:00:00 +0000", "Mon, 01 Jan 2007 10:00:00 +0000",
                                 "Fri, 05 Jan 2007 10:00:00 +0000", "Tue, 02 Jan 2007 10:00:00 +0000",
                                 "Thu, 04 Jan 2007 10:00:00 +0000"};
    for (int i = 0; i < 5; ++i)
      writer.add(testing::simpleMessage("m" + std::to_string(i), "Hello.\r\n", "Ann <ann@example.org>",
                                        "Bob <bob@example.org>", dates[i]));
    WindowDriver w({sample("Inbox.dbx"), writeBase(bases, QStringLiteral("Dated.dbx"), writer.build()),
                    sample("Damaged.dbx")});
    QVERIFY(w.ready());
    w.select(w.base(0));
    QVERIFY(w.run(command::kBrowse));
    // Date at first sorts in the direction in force, ascending; a second click reverses it.
    w.clickHeader(5);
    QVERIFY(w.arrowAt(5, true));
    w.clickHeader(5);
    QVERIFY(w.arrowAt(5, false));

    w.select(w.base(1));
    QVERIFY(w.run(command::kBrowse));
    QCOMPARE(w.column(4), lines({"m2", "m4", "m0", "m3", "m1"}));
    QVERIFY(w.arrowAt(5, false));
    QCOMPARE(w.selectedRecords(), QList<int>{0});  // the first record, not the top row

    // The recovery layout keeps its own sort: Number ascending.
    w.select(w.base(2));
    QVERIFY(w.run(command::kRecover));
    QVERIFY(w.arrowAt(5, true));
    QCOMPARE(w.column(5).first(), QStringLiteral("0"));

    w.select(w.base(0));
    QVERIFY(w.arrowAt(5, false));
  }

  void stopEndsABrowseMidWayAndLeavesTheBaseUnread() {
    QTemporaryDir bases;
    WindowDriver w({sample("Inbox.dbx"), writeBase(bases, QStringLiteral("Big.dbx"), mailBase(2000))});
    QVERIFY(w.ready());
    w.select(w.base(0));
    QVERIFY(w.run(command::kBrowse));
    GatedProgress gate(w.doc().progress);
    w.doc().progress = &gate;
    w.select(w.base(1));
    w.click(command::kBrowse);

    // Meanwhile the user looks at the base read before: saving its selection is offered, nothing
    // that would touch the table being read.
    w.select(w.base(0));
    QTest::mouseClick(w.list().viewport(), Qt::LeftButton, {}, w.list().visualRect(w.rows().index(1, 4)).center());
    QCOMPARE(w.frame().GetActiveView(), static_cast<views::CView*>(&w.list()));
    QVERIFY(w.offered(command::kSaveSelected));
    QVERIFY(w.offered(command::kStop));
    for (int command : {command::kBrowse, command::kRecover, command::kRemoveBase, command::kAddBase})
      QVERIFY2(!w.offered(command), qPrintable(QString::number(command)));

    QVERIFY(gate.reached.wait(std::chrono::seconds(60)));
    QVERIFY(w.doc().operationRunning);
    w.click(command::kStop);
    gate.release.set();
    QVERIFY(w.waitUntilIdle());
    w.doc().progress = gate.bar();
    QCOMPARE(w.description(w.base(1)), QStringLiteral("Mail message base, not read"));
    w.select(w.base(1));
    QCOMPARE(w.notice(), lines({"Use message base browsing to view message base content."}));
    QCOMPARE(w.status(), QStringLiteral("Big.dbx: browsing stopped"));
    QVERIFY(w.fixture().modals().asked().empty());
  }

  void removalFromTheTreeAndCommandsThatNeedTheTree() {
    QTemporaryDir bases;
    const QString b = bases.filePath(QStringLiteral("B"));
    WindowDriver w({writeBase(bases, QStringLiteral("A/Inbox.dbx"), mailBase(1)),
                    writeBase(bases, QStringLiteral("A/Sent.dbx"), mailBase(1)),
                    writeBase(bases, QStringLiteral("B/Other.dbx"), mailBase(1))});
    QVERIFY(w.ready());
    w.select(w.base(2));
    QVERIFY(w.offered(command::kRemoveBase));
    QVERIFY(w.offered(command::kBrowse));

    // The list takes the focus: what needs the tree is no longer offered, until it comes back.
    w.list().setFocus();
    QTRY_COMPARE(w.frame().GetActiveView(), static_cast<views::CView*>(&w.list()));
    for (int command : {command::kBrowse, command::kRecover, command::kRemoveBase})
      QVERIFY2(!w.button(command)->isEnabled(), qPrintable(QString::number(command)));
    w.select(w.base(1));
    QCOMPARE(w.frame().GetActiveView(), w.frame().treeView());
    QVERIFY(w.button(command::kRemoveBase)->isEnabled());

    w.click(command::kRemoveBase);
    const QString a = bases.filePath(QStringLiteral("A"));
    QCOMPARE(w.outline(), QStringLiteral("Vireo{%1{Inbox},%2{Other}}").arg(a, b));

    w.select(w.group(0));
    QVERIFY(w.offered(command::kRemoveBase));
    w.choose(QStringLiteral("&File"), command::kRemoveBase);
    QCOMPARE(w.outline(), QStringLiteral("Vireo{%1{Other}}").arg(b));
    // A filter's rebuild does not bring them back.
    QVERIFY(w.frame().routeCommand(command::kViewNewsBase));
    QCOMPARE(w.outline(), QStringLiteral("Vireo{%1{Other}}").arg(b));
  }

  void assistiveToolsReadTheWindowAfterABrowse() {
    WindowDriver w({sample("Inbox.dbx")});
    QVERIFY(w.ready());
    w.select(w.base(0));
    QVERIFY(w.run(command::kBrowse));
    auto name = [](QObject* object) { return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name); };
    QCOMPARE(name(w.frame().treeView()->widget()), QStringLiteral("Message bases"));
    QCOMPARE(name(&w.list()), QStringLiteral("Messages"));
    QCOMPARE(name(w.frame().htmlView()), QStringLiteral("Preview"));
    QCOMPARE(name(w.button(command::kBrowse)), QStringLiteral("Message base browsing"));
    QCOMPARE(name(w.button(command::kStop)), QStringLiteral("Stop"));

    QCOMPARE(w.description(w.group(0)), QStringLiteral("Folder"));
    QCOMPARE(w.description(w.nodes().rootNode()), QStringLiteral("Message bases"));

    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&w.list());
    QAccessibleTableInterface* table = list->tableInterface();
    QVERIFY(table);
    QCOMPARE(table->rowCount(), 13);
    const int top = w.rows().recordAt(0);
    QCOMPARE(table->cellAt(0, 4)->text(QAccessible::Name), w.rows().index(0, 4).data().toString());
    QCOMPARE(table->cellAt(0, 6)->text(QAccessible::Name), QString::number(top));
    QStringList headers;
    for (int i = 0; i < list->childCount(); ++i) {
      QAccessibleInterface* child = list->child(i);
      if (child && child->role() == QAccessible::ColumnHeader) headers << child->text(QAccessible::Name);
    }
    QCOMPARE(headers, lines({"Deleted", "Attachment", "From", "To", "Subject", "Date", "Number"}));
  }
};

}  // namespace vireo::guitest

QTEST_MAIN(vireo::guitest::WindowFlowTest)
#include "window_flow_test.moc"
