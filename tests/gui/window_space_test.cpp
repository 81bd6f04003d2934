// How the window uses its space: Subject takes the width the other columns leave, the list and
// the preview keep the share of the height the user chose (and find it again at the next start),
// the tree widens for a long folder and tells its whole path, and the groups named on the command
// line start open.
#include <QFile>
#include <QHeaderView>
#include <QSplitter>
#include <QTest>
#include <QtTest>
#include <filesystem>

#include "shell/base_tree_model.h"
#include "shell/tree_view.h"
#include "tests/gui/support/window_driver.h"
#include "tests/gui/support/window_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "tools/dbx_writer/scratch_dir.h"
#include "views/command_table.h"
#include "views/list_columns.h"
#include "views/list_view.h"
#include "views/main_frame.h"
#include "views/message_list_model.h"
#include "views/vireo_doc.h"
#include "views/view_ex_split_wnd.h"

namespace vireo::guitest {
namespace {

// Writes a base of `messages` messages as folder/name and returns its path.
std::string writeBase(const std::string& folder, const std::string& name, int messages) {
  std::filesystem::create_directories(folder);
  testing::DbxWriter writer;
  for (int i = 0; i < messages; ++i) writer.add(testing::simpleMessage("Subject " + std::to_string(i)));
  const std::string path = folder + "/" + name;
  writer.build().save(path);
  return path;
}

// The columns' widths together, against the room the list has for them.
int sectionsWidth(const QHeaderView& header) {
  int width = 0;
  for (int position = 0; position < header.count(); ++position)
    if (!header.isSectionHidden(position)) width += header.sectionSize(position);
  return width;
}

double listShareOf(QSplitter& splitter) {
  const QList<int> sizes = splitter.sizes();
  return static_cast<double>(sizes[0]) / (sizes[0] + sizes[1]);
}

// Drags the bar between the list and the preview by dy pixels, as a person does.
void dragBar(QSplitter& splitter, int dy) {
  QWidget* handle = splitter.handle(1);
  const QPoint centre = handle->rect().center();
  QTest::mousePress(handle, Qt::LeftButton, {}, centre);
  QTest::mouseMove(handle, centre + QPoint(0, dy / 2));
  QTest::mouseMove(handle, centre + QPoint(0, dy));
  QTest::mouseRelease(handle, Qt::LeftButton, {}, centre + QPoint(0, dy));
}

}  // namespace

class WindowSpaceTest : public QObject {
  Q_OBJECT

 private slots:
  void subjectTakesTheWidthTheOtherColumnsLeaveAtAnyWindowSize() {
    testing::ScratchDir scratch;
    writeBase(scratch.file("mail"), "Inbox.dbx", 5);
    WindowDriver w({QString::fromStdString(scratch.file("mail/Inbox.dbx"))});
    QVERIFY(w.ready());
    w.select(w.base(0));
    QVERIFY(w.run(command::kBrowse));
    QCOMPARE(w.rows().rowCount(), 5);
    QHeaderView& header = w.header();
    const int subject = views::kSubjectColumn;
    auto room = [&] { return w.list().viewport()->width(); };
    QCOMPARE(sectionsWidth(header), room());
    QVERIFY(header.sectionSize(subject) > 150);

    // A column the user widens keeps its width; Subject gives way.
    const int before = header.sectionSize(subject);
    const int widened = 180 - header.sectionSize(views::kFromColumn);
    header.resizeSection(views::kFromColumn, 180);
    QCOMPARE(header.sectionSize(views::kFromColumn), 180);
    QCOMPARE(header.sectionSize(subject), before - widened);
    QCOMPARE(sectionsWidth(header), room());

    // A wider window: the new width goes to Subject alone.
    w.frame().resize(1400, 800);
    QTRY_COMPARE(sectionsWidth(header), room());
    QCOMPARE(header.sectionSize(views::kFromColumn), 180);
    QVERIFY(header.sectionSize(subject) >= before - widened + 400 - w.frame().outerSplitter()->handleWidth());

    // A window too narrow for all of them: Subject keeps its own width, the list scrolls.
    w.frame().resize(640, 500);
    QTRY_COMPARE(header.sectionSize(subject), views::kColumns[views::kSubjectColumn].defaultWidth);
    QCOMPARE(header.sectionSize(views::kFromColumn), 180);
  }

  void theListKeepsTheShareOfTheHeightTheUserChoseAndFindsItAtTheNextStart() {
    QString settingsFile;
    {
      WindowDriver w;
      QVERIFY(w.ready());
      QSplitter& splitter = *w.frame().innerSplitter();
      const int total = splitter.sizes()[0] + splitter.sizes()[1];
      dragBar(splitter, -total / 5);
      const double chosen = listShareOf(splitter);
      QVERIFY2(chosen < 0.4 && chosen > 0.2, qPrintable(QString::number(chosen)));
      QCOMPARE(w.frame().listShare(), splitter.sizes()[0] * 1000 / total);

      // A resize keeps the share, not the list's height.
      w.frame().resize(1000, 1000);
      QTRY_VERIFY(splitter.sizes()[0] + splitter.sizes()[1] > total + 200);
      QVERIFY(qAbs(listShareOf(splitter) - chosen) < 0.01);

      settingsFile = w.fixture().settingsFile();
      const int share = w.frame().listShare();
      QVERIFY(w.frame().close());
      QFile file(settingsFile);
      QVERIFY(file.open(QIODevice::ReadOnly));
      QVERIFY(file.readAll().contains(QByteArray("listShare=") + QByteArray::number(share) + "\n"));
    }
    // The next start takes the stored share; one that leaves a pane nothing is ignored.
    WindowFixture next(std::nullopt, {}, "listShare=300\n");
    QVERIFY(next.started());
    QCOMPARE(next.frame().listShare(), 300);
    QVERIFY(qAbs(listShareOf(*next.frame().innerSplitter()) - 0.3) < 0.02);
    WindowFixture odd(std::nullopt, {}, "listShare=990\n");
    WindowFixture plain;
    QCOMPARE(odd.frame().listShare(), plain.frame().listShare());
  }

  void theTreeWidensForALongFolderTellsItsPathAndOpensTheGroupsNamed() {
    testing::ScratchDir scratch;
    const std::string longFolder = scratch.file("Outlook Express backup of the old family computer, 2004 to 2011");
    const std::string single = writeBase(longFolder, "Inbox.dbx", 1);
    const std::string other = scratch.file("other");
    writeBase(other, "Inbox.dbx", 1);
    writeBase(other, "Sent Items.dbx", 1);
    writeBase(scratch.file("unnamed"), "Inbox.dbx", 1);
    WindowDriver w({QString::fromStdString(single), QString::fromStdString(other)});
    QVERIFY(w.ready());
    QCOMPARE(w.outline(), QStringLiteral("Vireo{%1{Inbox},%2{Inbox,Sent Items}}").arg(QString::fromStdString(longFolder), QString::fromStdString(other)));
    // Both groups were named, the file's folder and the folder itself.
    QVERIFY(w.tree().isExpanded(w.group(0)));
    QVERIFY(w.tree().isExpanded(w.group(1)));

    QCOMPARE(w.group(0).data(Qt::ToolTipRole).toString(), QString::fromStdString(longFolder));
    QCOMPARE(w.base(0).data(Qt::ToolTipRole).toString(), QString::fromStdString(single));

    // The pane widens for the long folder, but takes no more than a third of the window...
    const int text = w.tree().fontMetrics().horizontalAdvance(QString::fromStdString(longFolder));
    QVERIFY(text > 1000 / 3);
    QCOMPARE(w.frame().outerSplitter()->sizes()[0], 1000 / 3);
    // ...and in a wider window, all it needs.
    w.frame().resize(2400, 700);
    w.doc().OnCmdMsg(command::kViewNewsBase);  // any rebuild measures again
    QTRY_VERIFY(w.frame().outerSplitter()->sizes()[0] > text);
    QVERIFY(w.frame().outerSplitter()->sizes()[0] < 2400 / 3);
  }

  void expansionSurvivesAFilterToggle() {
    testing::ScratchDir scratch;
    writeBase(scratch.file("a"), "Inbox.dbx", 1);
    writeBase(scratch.file("b"), "Inbox.dbx", 1);
    writeBase(scratch.file("c"), "Inbox.dbx", 1);
    WindowDriver w({QString::fromStdString(scratch.file("a")), QString::fromStdString(scratch.file("b")),
                    QString::fromStdString(scratch.file("c"))});
    QVERIFY(w.ready());
    shell::CTreeView_1& tree = w.tree();
    tree.collapse(w.group(0));
    tree.collapse(w.group(2));
    w.doc().OnCmdMsg(command::kViewSystemBase);
    QCOMPARE(w.outline(), QStringLiteral("Vireo{%1{Inbox},%2{Inbox},%3{Inbox}}")
                              .arg(QString::fromStdString(scratch.file("a")), QString::fromStdString(scratch.file("b")),
                                   QString::fromStdString(scratch.file("c"))));
    QVERIFY(!tree.isExpanded(w.group(0)));
    QVERIFY(tree.isExpanded(w.group(1)));
    QVERIFY(!tree.isExpanded(w.group(2)));
    tree.expand(w.group(2));
    w.doc().OnCmdMsg(command::kViewSystemBase);
    QVERIFY(!tree.isExpanded(w.group(0)));
    QVERIFY(tree.isExpanded(w.group(1)));
    QVERIFY(tree.isExpanded(w.group(2)));
  }
};

}  // namespace vireo::guitest

QTEST_MAIN(vireo::guitest::WindowSpaceTest)
#include "window_space_test.moc"
