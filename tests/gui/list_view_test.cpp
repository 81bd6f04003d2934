// The message list: notices, the two message layouts, sorting and its carry-over, saved column
// state, the selection's effect on the document, and what assistive technology reads.
#include <QAccessible>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QtTest>
#include <algorithm>

#include "tests/gui/support/list_document.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "views/list_pictures.h"
#include "views/list_view.h"
#include "views/message_list_model.h"

namespace vireo::views {
namespace {

using testing::invalidRecord;
using testing::validRecord;


struct ListFixture {
  testing::ScratchDocument scratch;
  testing::HintRecorder recorder;
  CListView_1 list{&scratch.doc};

  ListFixture() {
    recorder.attachDocument(&scratch.doc);
    list.resize(700, 300);
    list.show();
  }
  CVireoDoc& doc() { return scratch.doc; }
  MessageListModel& model() { return *list.listModel(); }
  QHeaderView& header() { return *list.horizontalHeader(); }
  MessageBaseReader& reader(int index) { return doc().readers[static_cast<size_t>(index)]; }

  // Selects a tree node: the tree sends hint 0.
  void select(int readerIndex) {
    doc().currentReader = readerIndex;
    doc().UpdateAllViews(nullptr, 0);
  }
  int showBase(int state, std::vector<MessageRecord> records) {
    const int index = scratch.addBase(state, std::move(records));
    select(index);
    return index;
  }
  QStringList column(int position) {
    QStringList texts;
    for (int row = 0; row < model().rowCount(); ++row) texts << model().index(row, position).data().toString();
    return texts;
  }
  QStringList headerTitles() {
    QStringList titles;
    for (int section = 0; section < model().columnCount(); ++section)
      titles << model().headerData(section, Qt::Horizontal, Qt::DisplayRole).toString();
    return titles;
  }
  // The width From and To get when first shown (firstRunNameColumnsFitANameAndKeepWhatTheUserSet
  // checks it); the layouts' tests compare the other columns against it.
  int nameWidth() { return header().sectionSize(columnPositions[kFromColumn]); }
  QList<int> widths() {
    QList<int> sizes;
    for (int section = 0; section < header().count(); ++section) sizes << header().sectionSize(section);
    return sizes;
  }
  // The widths expected: Subject (at subject) takes what the others leave of the list's width,
  // and never less than its own 100.
  QList<int> withSubjectFilling(QList<int> sizes, int subject) {
    int others = 0;
    for (int i = 0; i < sizes.size(); ++i)
      if (i != subject) others += sizes[i];
    sizes[subject] = std::max(100, list.viewport()->width() - others);
    return sizes;
  }
  void clickHeader(int position) {
    const QPoint at(header().sectionViewportPosition(position) + header().sectionSize(position) / 2,
                    header().height() / 2);
    QTest::mouseClick(header().viewport(), Qt::LeftButton, {}, at);
  }
  void clickRow(int row, Qt::KeyboardModifiers modifiers = {}) {
    const QRect cell = list.visualRect(model().index(row, 2));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers, cell.center());
  }
  QList<int> selectedRecords() {
    QList<int> records;
    for (const QModelIndex& index : list.selectionModel()->selectedRows()) records << model().recordAt(index.row());
    std::sort(records.begin(), records.end());
    return records;
  }
  bool arrowShownAt(int position, bool ascending) {
    const QIcon expected = listPictureFor(ascending);
    const QIcon shown = model().headerData(position, Qt::Horizontal, MessageListModel::kSortArrowRole).value<QIcon>();
    return model().sortArrowPosition() == position && !shown.isNull() && shown.cacheKey() != 0 &&
           shown.pixmap(16).toImage() == expected.pixmap(16).toImage();
  }
  static QIcon listPictureFor(bool ascending) {
    return QIcon(ascending ? QStringLiteral(":/list/sort_up.svg") : QStringLiteral(":/list/sort_down.svg"));
  }
};

std::vector<MessageRecord> subjects(std::initializer_list<const char*> texts) {
  std::vector<MessageRecord> records;
  for (const char* text : texts) records.push_back(validRecord(static_cast<int>(records.size()), text));
  return records;
}

QStringList lines(std::initializer_list<const char*> texts) {
  QStringList out;
  for (const char* text : texts) out << QString::fromUtf8(text);
  return out;
}

}  // namespace

class ListViewTest : public QObject {
  Q_OBJECT

 private slots:
  void noticesSayWhyNothingIsListed() {
    ListFixture f;
    QVERIFY(f.model().isNotice());  // before the first update too
    const QStringList noBase = lines({"No message base is selected."});
    for (int marker : {kNoReader, kRootItem, kGroupItem}) {
      f.select(marker);
      QCOMPARE(f.column(1), noBase);
    }
    QCOMPARE(f.model().columnCount(), 2);
    QVERIFY(f.header().isHidden());
    QCOMPARE(f.header().sectionSize(0), 0);
    QCOMPARE(f.header().sectionSize(1), f.list.viewport()->width());
    QCOMPARE(f.model().index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignCenter);
    QCOMPARE(f.model().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Info"));

    f.select(f.scratch.addBase(0, {}, true));
    QCOMPARE(f.column(1), lines({"Vireo is unable to browse this message base.",
                                 "Use message base recovery to recover messages in the mail base."}));
    // A base still being read (state 0) shows its notice even though its table has records.
    f.select(f.scratch.addBase(0, subjects({"in progress"})));
    QCOMPARE(f.column(1), lines({"Use message base browsing to view message base content."}));
    f.select(f.scratch.addBase(1, {}));
    QCOMPARE(f.column(1), lines({"No items are found in this view.",
                                 "Try message base recover if you think that the message base is not empty."}));
    f.select(f.scratch.addBase(2, {}));
    QCOMPARE(f.column(1), lines({"No items are found in this view."}));

    QVERIFY(!(f.model().flags(f.model().index(0, 1)) & Qt::ItemIsSelectable));
    f.list.resize(420, 200);
    QCOMPARE(f.header().sectionSize(1), f.list.viewport()->width());
  }

  void browseLayoutShowsSevenColumnsAndOnlyValidRecords() {
    ListFixture f;
    std::vector<MessageRecord> records{validRecord(0, "first", "Ann"), invalidRecord(), validRecord(1, "second", "Cy"),
                                       invalidRecord()};
    records[0].deleted = true;
    records[2].attachment = 1;
    records[2].setTexts(records[2].from(), "", records[2].subject(), records[2].dateText());  // an empty text shows as empty
    f.showBase(1, std::move(records));
    QVERIFY(!f.header().isHidden());
    QCOMPARE(f.headerTitles(), lines({"", "", "From", "To", "Subject", "Date", "Number"}));
    const int name = f.nameWidth();
    QCOMPARE(f.widths(), f.withSubjectFilling({25, 25, name, name, 100, 135, 80}, 4));
    QVERIFY(f.widths()[4] > 100);
    QCOMPARE(f.column(6), lines({"0", "1"}));
    QCOMPARE(f.column(4), lines({"first", "second"}));
    QCOMPARE(f.column(3), lines({"Bob", ""}));
    QCOMPARE(f.column(5), lines({"05.12.2006 10:00:00", "05.12.2006 10:00:00"}));
    const auto picture = [&](int row, int column) {
      return !f.model().index(row, column).data(Qt::DecorationRole).value<QIcon>().isNull();
    };
    QVERIFY(picture(0, 0) && !picture(0, 1));
    QVERIFY(!picture(1, 0) && picture(1, 1));
    for (int section : {0, 1}) {
      const QIcon icon = f.model().headerData(section, Qt::Horizontal, Qt::DecorationRole).value<QIcon>();
      QVERIFY(!icon.pixmap(16).isNull());  // the SVG pictures load
    }
    QVERIFY(f.model().headerData(2, Qt::Horizontal, Qt::DecorationRole).isNull());
  }

  void browsedBaseListsWhatTheReaderFound() {
    ListFixture f;
    testing::DbxWriter writer;
    writer.add(testing::simpleMessage("Hello", "Hi.\r\n", "Ann <ann@example.org>"));
    testing::MessageSpec gone;
    gone.text = testing::simpleMessage("Gone");
    gone.deleted = true;
    writer.add(gone);
    writer.build().save(f.scratch.dir.file("mail.dbx"));
    const int index = f.scratch.addBase(0, {});
    f.reader(index).baseFolder = f.scratch.dir.path();
    f.reader(index).baseName = "mail.dbx";
    f.reader(index).openBase(false);
    QCOMPARE(f.reader(index).ok, 1);
    f.reader(index).state = 1;
    f.select(index);
    QCOMPARE(f.column(4), lines({"Hello", "Gone"}));
    QCOMPARE(f.column(2).first(), QStringLiteral("Ann <ann@example.org>"));
    QCOMPARE(f.column(6), lines({"0", "1"}));
    QVERIFY(f.model().index(0, 0).data(Qt::DecorationRole).isNull());
    QVERIFY(!f.model().index(1, 0).data(Qt::DecorationRole).isNull());
  }

  void recoveryLayoutHasNoDeletedColumn() {
    ListFixture f;
    std::vector<MessageRecord> records = subjects({"only", "two"});
    records[1].attachment = 1;
    f.showBase(2, std::move(records));
    QCOMPARE(f.headerTitles(), lines({"", "From", "To", "Subject", "Date", "Number"}));
    const int name = f.nameWidth();
    QCOMPARE(f.widths(), f.withSubjectFilling({25, name, name, 100, 135, 80}, 3));
    QVERIFY(f.model().index(0, 0).data(Qt::DecorationRole).isNull());
    QVERIFY(!f.model().index(1, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    QCOMPARE(f.list.sortColumn, 5);
    QVERIFY(f.arrowShownAt(5, true));
  }

  // A recovered message the index does not list is marked beside its sender, a fragment beside
  // its subject; each mark has its tooltip and is read out before the cell's text.
  void recoveryMarksNotInIndexAndFragments() {
    ListFixture f;
    std::vector<MessageRecord> records = subjects({"plain", "gone", "torn", "both"});
    records[1].unindexed = true;
    records[2].fragment = true;
    records[3].unindexed = records[3].fragment = true;
    f.showBase(2, std::move(records));
    const QIcon notInIndex = listPicture(ListPicture::notInIndex);
    const QIcon fragment = listPicture(ListPicture::fragment);
    QVERIFY(notInIndex.pixmap(16).toImage() != fragment.pixmap(16).toImage());
    const auto picture = [&](int row, int position) {
      return f.model().index(row, position).data(Qt::DecorationRole).value<QIcon>().pixmap(16).toImage();
    };
    const int from = 1;
    const int subject = 3;
    QVERIFY(f.model().index(0, from).data(Qt::DecorationRole).isNull());
    QVERIFY(f.model().index(0, subject).data(Qt::DecorationRole).isNull());
    QVERIFY(f.model().index(0, from).data(Qt::ToolTipRole).isNull());
    QCOMPARE(picture(1, from), notInIndex.pixmap(16).toImage());
    QVERIFY(f.model().index(1, subject).data(Qt::DecorationRole).isNull());
    QCOMPARE(picture(2, subject), fragment.pixmap(16).toImage());
    QVERIFY(f.model().index(2, from).data(Qt::DecorationRole).isNull());
    QCOMPARE(picture(3, from), notInIndex.pixmap(16).toImage());
    QCOMPARE(picture(3, subject), fragment.pixmap(16).toImage());
    QVERIFY(f.model().index(1, from).data(Qt::ToolTipRole).toString().startsWith(QStringLiteral("Not in the index")));
    QVERIFY(f.model().index(2, subject).data(Qt::ToolTipRole).toString().startsWith(QStringLiteral("Fragment")));
    QCOMPARE(f.model().index(1, from).data(Qt::AccessibleTextRole).toString(), QStringLiteral("Not in the index, Ann"));
    QCOMPARE(f.model().index(2, subject).data(Qt::AccessibleTextRole).toString(), QStringLiteral("Fragment, torn"));
    QVERIFY(f.model().index(0, subject).data(Qt::AccessibleTextRole).isNull());
  }

  // The filter keeps only what it names, survives a change of base, leaves the browse layout
  // alone, and is offered in the context menu even when it leaves no row.
  void recoveryFilterNarrowsTheRows() {
    ListFixture f;
    std::vector<MessageRecord> records = subjects({"plain", "gone", "torn", "both", "bad"});
    records[1].unindexed = true;
    records[2].fragment = true;
    records[3].unindexed = records[3].fragment = true;
    records[4] = invalidRecord();
    const int recovered = f.showBase(2, records);
    const int browsed = f.showBase(1, subjects({"b1", "b2"}));
    f.select(recovered);
    QCOMPARE(f.column(3), lines({"plain", "gone", "torn", "both"}));

    f.list.setRecoveryFilter({.onlyNotInIndex = true, .hideFragments = false});
    QCOMPARE(f.column(3), lines({"gone", "both"}));
    QCOMPARE(f.model().hiddenCount(), 2);
    QCOMPARE(f.selectedRecords(), QList<int>{1});  // the first row left is selected
    f.list.toggleRecoveryFilter(false);  // and hide fragments
    QCOMPARE(f.column(3), lines({"gone"}));
    f.list.toggleRecoveryFilter(true);  // all but fragments
    QCOMPARE(f.column(3), lines({"plain", "gone"}));

    // The sort in force stays when the filter changes.
    f.clickHeader(3);
    f.clickHeader(3);
    QCOMPARE(f.column(3), lines({"plain", "gone"}));
    f.list.toggleRecoveryFilter(false);
    QCOMPARE(f.column(3), lines({"torn", "plain", "gone", "both"}));

    f.select(browsed);
    f.list.setRecoveryFilter({.onlyNotInIndex = true, .hideFragments = true});
    QCOMPARE(f.model().rowCount(), 2);
    QVERIFY(!f.list.makeContextMenu(false));  // the browse layout has no filter

    f.select(recovered);
    QCOMPARE(f.column(3), lines({"gone"}));
    f.reader(recovered).records[1].unindexed = false;
    f.reader(recovered).records[3].unindexed = false;
    f.select(recovered);
    QCOMPARE(f.model().rowCount(), 0);
    const std::unique_ptr<QMenu> menu = f.list.makeContextMenu(false);
    QVERIFY(menu);
    QStringList texts;
    for (QAction* action : menu->actions()) texts << action->text() + (action->isChecked() ? "*" : "");
    QCOMPARE(texts, lines({"Show only messages not in the index*", "Hide fragments*"}));
    f.list.toggleRecoveryFilter(true);
    QCOMPARE(f.model().rowCount(), 2);  // "bad" stays out: it is no message
  }

  // Nothing is marked when the index could not be read: the menu says so, and offers the
  // filter only to turn it off.
  void anUnreadableIndexIsNamedInTheMenu() {
    ListFixture f;
    const int index = f.showBase(2, subjects({"one", "two"}));
    f.reader(index).indexUnreadable = true;
    const auto choice = [&](bool onRow) {
      const std::unique_ptr<QMenu> menu = f.list.makeContextMenu(onRow);
      for (QAction* action : menu->actions())
        if (action->text().startsWith(QStringLiteral("Show only"))) return std::pair(action->text(), action->isEnabled());
      return std::pair(QString(), false);
    };
    QCOMPARE(choice(true), std::pair(QStringLiteral("Show only messages not in the index (the index could not be read)"), false));
    f.list.setRecoveryFilter({.onlyNotInIndex = true, .hideFragments = false});
    QCOMPARE(f.model().rowCount(), 0);
    QVERIFY(choice(false).second);
  }

  void columnClicksFlipOrKeepTheDirection() {
    ListFixture f;
    f.showBase(1, subjects({"b", "C", "a"}));
    QCOMPARE(f.column(6), lines({"0", "1", "2"}));  // Number ascending at first
    QVERIFY(f.arrowShownAt(6, true));
    f.clickHeader(4);
    QCOMPARE(f.column(4), lines({"a", "b", "C"}));
    QVERIFY(f.arrowShownAt(4, true));
    f.clickHeader(4);
    QCOMPARE(f.column(4), lines({"C", "b", "a"}));
    QVERIFY(f.arrowShownAt(4, false));
    f.clickHeader(2);  // another column keeps the direction in force: descending
    QCOMPARE(f.list.sortColumn, 2);
    QVERIFY(!sortAscending);
    QVERIFY(f.arrowShownAt(2, false));
    QCOMPARE(f.model().sortArrowPosition(), 2);  // the arrow has left Subject
    // Picture columns sort but never show an arrow.
    f.reader(f.doc().currentReader).records[1].deleted = true;
    f.clickHeader(0);  // descending still: the deleted record last
    QCOMPARE(f.model().sortArrowPosition(), -1);
    QCOMPARE(f.column(6), lines({"0", "2", "1"}));
    f.clickHeader(0);
    QCOMPARE(f.column(6).first(), QStringLiteral("1"));
    QCOMPARE(f.model().index(0, 0).data(Qt::AccessibleTextRole).toString(), QStringLiteral("Deleted"));
  }

  void clicksAreIgnoredWithOneMessage() {
    ListFixture f;
    f.showBase(1, subjects({"alone"}));
    f.clickHeader(4);
    QCOMPARE(f.list.sortColumn, 6);
    QVERIFY(sortAscending);
    QVERIFY(f.arrowShownAt(6, true));
  }

  void sortCarriesToBasesOfTheSameLayoutOnly() {
    ListFixture f;
    std::vector<MessageRecord> first = subjects({"x", "y", "z"});
    first[0].time = 30;
    first[1].time = 10;
    first[2].time = 20;
    f.showBase(1, first);
    f.clickHeader(5);
    f.clickHeader(5);
    QCOMPARE(f.column(6), lines({"0", "2", "1"}));  // Date descending
    std::vector<MessageRecord> second = subjects({"p", "q", "r"});
    second[0].time = 0;  // no usable date: last when descending
    second[1].time = 50;
    second[2].time = 40;
    f.showBase(1, second);
    QCOMPARE(f.column(6), lines({"1", "2", "0"}));
    QVERIFY(f.arrowShownAt(5, false));
    f.showBase(2, subjects({"r1", "r2"}));  // recovered: its own slot, Number ascending
    QCOMPARE(f.column(5), lines({"0", "1"}));
    QVERIFY(f.arrowShownAt(5, true));
    QCOMPARE(f.doc().listColumns[kBrowseSlot].sortPosition, 5);
    QVERIFY(!f.doc().listColumns[kBrowseSlot].ascending);
  }

  void widthsAndOrderReturnPerLayout() {
    ListFixture f;
    const int browsed = f.showBase(1, subjects({"a", "b"}));
    const int name = f.nameWidth();
    f.header().resizeSection(3, 230);
    f.header().resizeSection(0, 60);  // the picture columns always come back at 25
    f.header().moveSection(f.header().visualIndex(6), 2);  // Number dragged before From
    f.showBase(1, subjects({"c", "d"}));
    QCOMPARE(f.widths(), f.withSubjectFilling({25, 25, name, 230, 100, 135, 80}, 4));
    QCOMPARE(f.header().visualIndex(6), 2);
    QCOMPARE(f.header().visualIndex(2), 3);
    f.showBase(2, subjects({"e", "f"}));
    QCOMPARE(f.widths(), f.withSubjectFilling({25, name, name, 100, 135, 80}, 3));
    QCOMPARE(f.header().visualIndex(5), 5);
    f.header().resizeSection(1, 170);  // From in the recovery layout
    f.select(browsed);
    QCOMPARE(f.widths(), f.withSubjectFilling({25, 25, name, 230, 100, 135, 80}, 4));
    QCOMPARE(f.doc().listColumns[kRecoverySlot].widths[kFromColumn], 170);
    QCOMPARE(f.doc().listColumns[kRecoverySlot].widths[kDeletedColumn], -1);
  }

  void firstRunNameColumnsFitANameAndKeepWhatTheUserSet() {
    const QString sender = QStringLiteral("Vireo Team <team@vireo.example>");
    {
      // A list with room: a whole name and address shows in From and To, and Subject keeps the most.
      ListFixture f;
      f.list.resize(1400, 300);
      f.showBase(1, subjects({"a"}));
      const int need = f.list.fontMetrics().horizontalAdvance(sender);
      QVERIFY2(f.nameWidth() > need, qPrintable(QString::number(f.nameWidth())));
      QCOMPARE(f.header().sectionSize(3), f.nameWidth());
      QVERIFY(f.header().sectionSize(4) > f.nameWidth());
      // A width the user set stays, in this layout and after the other; the first-run one too.
      const int first = f.nameWidth();
      f.header().resizeSection(2, 120);
      f.showBase(2, subjects({"b"}));
      f.showBase(1, subjects({"c"}));
      QCOMPARE(f.header().sectionSize(2), 120);
      QCOMPARE(f.header().sectionSize(3), first);
    }
    // A narrow list: From and To give way to Subject but never go below their old 100.
    ListFixture f;
    f.list.resize(400, 300);
    f.showBase(1, subjects({"a"}));
    QCOMPARE(f.nameWidth(), 100);
    QCOMPARE(f.header().sectionSize(3), 100);
  }

  void firstValidRecordIsSelectedAfterFill() {
    ListFixture f;
    f.doc().listColumns[kBrowseSlot].sortPosition = 4;  // by Subject
    const int index = f.showBase(1, {invalidRecord(), validRecord(0, "b"), validRecord(1, "a")});
    QCOMPARE(f.column(4), lines({"a", "b"}));
    QCOMPARE(f.selectedRecords(), QList<int>{1});
    QVERIFY(f.list.selectionModel()->isRowSelected(1, {}));  // not the top row
    QVERIFY(!f.list.currentIndex().isValid());               // selected without the focus
    QCOMPARE(f.reader(index).currentRow, 1);
    QCOMPARE(std::count(f.recorder.hints.begin(), f.recorder.hints.end(), 4), 1);
  }

  void rowChangesKeepCurrentRowAndTellThePreview() {
    ListFixture f;
    const int index = f.showBase(1, {validRecord(0, "a"), invalidRecord(), validRecord(1, "b"), validRecord(2, "c")});
    f.recorder.hints.clear();
    f.clickRow(2);
    QCOMPARE(f.reader(index).currentRow, 3);
    QCOMPARE(f.recorder.hints, std::vector<int>{4});
    QCOMPARE(f.doc().canSaveSelected, 1);
    f.clickRow(2);  // the same row: nothing new for the preview
    QCOMPARE(f.recorder.hints.size(), size_t{1});
    QTest::keyClick(f.list.viewport(), Qt::Key_Up);
    QCOMPARE(f.reader(index).currentRow, 2);
    QCOMPARE(f.recorder.hints, (std::vector<int>{4, 4}));
    QCOMPARE(f.selectedRecords(), QList<int>{2});
    // The selection follows its records through a sort.
    f.clickRow(0, Qt::ControlModifier);
    QCOMPARE(f.selectedRecords(), (QList<int>{0, 2}));
    const std::vector<int> hintsBefore = f.recorder.hints;
    const int currentBefore = f.reader(index).currentRow;
    f.clickHeader(6);
    QCOMPARE(f.column(6), lines({"2", "1", "0"}));
    QCOMPARE(f.selectedRecords(), (QList<int>{0, 2}));
    QCOMPARE(f.recorder.hints, hintsBefore);  // sorting changes no row
    QCOMPARE(f.reader(index).currentRow, currentBefore);
    QCOMPARE(f.model().recordAt(f.list.currentIndex().row()), currentBefore);
    // Hints without the list's bit leave it alone; bit 2 rebuilds it.
    f.doc().currentReader = kNoReader;
    f.doc().UpdateAllViews(nullptr, 4);
    QVERIFY(!f.model().isNotice());
    f.doc().UpdateAllViews(nullptr, 6);
    QVERIFY(f.model().isNotice());
  }

  void canSaveSelectedFollowsSelectionAndActivation() {
    ListFixture f;
    f.showBase(1, subjects({"a", "b", "c"}));
    f.clickRow(1);
    QCOMPARE(f.doc().canSaveSelected, 1);
    f.doc().canBrowse = 1;  // the tree still offers browsing: not while it does
    f.clickRow(2);
    QCOMPARE(f.doc().canSaveSelected, 0);
    f.doc().canBrowse = 0;
    f.clickRow(2, Qt::ControlModifier);  // deselects the last selected row
    QVERIFY(!f.list.selectionModel()->hasSelection());
    QCOMPARE(f.doc().canSaveSelected, 0);
    f.list.OnActivateView(true, &f.list, nullptr);
    QCOMPARE(f.doc().canSaveSelected, 0);
    f.clickRow(0);
    f.list.OnActivateView(false, nullptr, &f.list);
    QCOMPARE(f.doc().canSaveSelected, 0);
    f.list.OnActivateView(true, &f.list, nullptr);
    QCOMPARE(f.doc().canSaveSelected, 1);
    f.select(kNoReader);
    f.doc().canSaveSelected = 1;
    f.list.OnActivateView(true, &f.list, nullptr);  // no base: left as it is
    QCOMPARE(f.doc().canSaveSelected, 1);
  }

  void arrowIsDrawnAfterTheTitle() {
    ListFixture f;
    f.showBase(1, subjects({"a", "b"}));
    f.clickHeader(4);
    const QImage withArrow = f.header().grab().toImage();
    f.model().setSortArrow(-1, true);
    const QImage without = f.header().grab().toImage();
    int first = withArrow.width(), last = -1;
    for (int y = 0; y < withArrow.height(); ++y)
      for (int x = 0; x < withArrow.width(); ++x)
        if (withArrow.pixel(x, y) != without.pixel(x, y)) {
          first = std::min(first, x);
          last = std::max(last, x);
        }
    const int section = f.header().sectionViewportPosition(4);
    const int titleEnd = section + f.header().fontMetrics().horizontalAdvance(QStringLiteral("Subject"));
    QVERIFY2(last >= 0, "no arrow drawn");
    QVERIFY(first > titleEnd);
    QVERIFY(last < section + f.header().sectionSize(4));
  }

  void assistiveTechnologyReadsCellsAndHeaders() {
    ListFixture f;
    std::vector<MessageRecord> records = subjects({"hello", "world"});
    records[0].deleted = true;
    records[1].attachment = 1;
    f.showBase(1, std::move(records));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&f.list);
    QVERIFY(list);
    QCOMPARE(list->text(QAccessible::Name), QStringLiteral("Messages"));
    QAccessibleTableInterface* table = list->tableInterface();
    QVERIFY(table);
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->columnCount(), 7);
    const auto cellName = [&](int row, int column) { return table->cellAt(row, column)->text(QAccessible::Name); };
    QCOMPARE(cellName(0, 0), QStringLiteral("Deleted"));
    QCOMPARE(cellName(0, 1), QString());
    QCOMPARE(cellName(1, 0), QString());
    QCOMPARE(cellName(1, 1), QStringLiteral("Attachment"));
    QCOMPARE(cellName(0, 4), QStringLiteral("hello"));
    QCOMPARE(cellName(1, 6), QStringLiteral("1"));
    // The header cells are the table's own children (columnHeaderCells() would hand out objects
    // nobody may delete).
    QStringList headers;
    for (int i = 0; i < list->childCount(); ++i) {
      QAccessibleInterface* child = list->child(i);
      if (child && child->role() == QAccessible::ColumnHeader) headers << child->text(QAccessible::Name);
    }
    QCOMPARE(headers, lines({"Deleted", "Attachment", "From", "To", "Subject", "Date", "Number"}));
  }

  // The list is refreshed (a filter change rebuilds everything) and activated while the worker
  // browses the selected base: it reads the reader's state and browseFailed, which the worker
  // writes. Under ThreadSanitizer a read that races the worker is reported here.
  void aBaseBeingBrowsedIsShownWithoutRacingTheWorker() {
    ListFixture f;
    testing::DbxWriter writer;
    for (int i = 0; i < 4000; ++i) writer.add(testing::simpleMessage("message " + std::to_string(i)));
    writer.build().save(f.scratch.dir.file("Inbox.dbx"));
    const int index = f.scratch.addBase(0, {});
    f.reader(index).baseName = "Inbox.dbx";
    f.select(index);
    f.doc().setCompletionSink([](int) { return handledAlready(); });
    QVERIFY(f.doc().startOperation(kOperationBrowse, index));
    const QStringList notRead = lines({"Use message base browsing to view message base content."});
    while (!f.doc().doneEvent.isSet()) {
      f.doc().UpdateAllViews(nullptr, 0);
      f.list.OnActivateView(true, &f.list, nullptr);
      QCOMPARE(f.column(1), notRead);
      QCOMPARE(f.doc().canSaveSelected, 0);
    }
    f.doc().completeOperation(kOperationSucceeded);
    f.doc().UpdateAllViews(nullptr, 0);
    QCOMPARE(f.model().rowCount(), 4000);
  }
};

}  // namespace vireo::views

QTEST_MAIN(vireo::views::ListViewTest)
#include "list_view_test.moc"
