// The preview's two built-in pages: which one shows for which selection, and which updates it
// acts on.
#include <QtTest>

#include "tests/gui/support/preview_harness.h"
#include "tests/gui/support/window_fixture.h"
#include "views/html_view.h"
#include "views/main_frame.h"
#include "views/vireo_doc.h"

namespace vireo::views {
namespace {

const QString kStartText = QStringLiteral(
    "When doing any operation, including message base recovery, Vireo never deletes from disks, writes to, or "
    "modifies in any way, original message bases.");
const QString kNoMessageText = QStringLiteral("There is no message selected.");

class CountingPreview : public CHtmlView_1 {
 public:
  using CHtmlView_1::CHtmlView_1;
  int messagePreviews = 0;

 protected:
  void showMessagePreview() override { ++messagePreviews; }
};

}  // namespace

class HtmlViewTest : public QObject {
  Q_OBJECT

 private slots:
  void startPageAtStartAndForTheRoot() {
    guitest::PreviewHarness h;
    QCOMPARE(h.preview.shownPage(), CHtmlView_1::Page::Start);
    QVERIFY(h.text().contains(kStartText));

    h.doc().currentReader = kGroupItem;
    QVERIFY(h.update(0));
    QCOMPARE(h.text().trimmed(), kNoMessageText);
    h.doc().currentReader = kRootItem;
    QVERIFY(h.update(0));
    QCOMPARE(h.preview.shownPage(), CHtmlView_1::Page::Start);
    QVERIFY(h.text().contains(kStartText));
    h.doc().currentReader = kGroupItem;
    QVERIFY(h.update(0));
    h.doc().currentReader = kNoReader;  // nothing selected
    QVERIFY(h.update(0));
    QCOMPARE(h.preview.shownPage(), CHtmlView_1::Page::Start);
  }

  void theWindowStartsWithTheStartPage() {
    guitest::WindowFixture fixture;
    QCOMPARE(fixture.frame().htmlView()->shownPage(), CHtmlView_1::Page::Start);
  }

  void aBaseWithoutMessagesToShowGivesTheNoMessagePage() {
    QTemporaryDir scratch;
    CVireoDoc doc(guitest::scratchSetup(scratch.path()));
    CountingPreview preview(&doc);
    preview.OnInitialUpdate();
    doc.readerCount = 1;
    doc.currentReader = 0;

    doc.UpdateAllViews(nullptr, 0);  // not read yet
    QCOMPARE(preview.shownPage(), CHtmlView_1::Page::NoMessage);

    doc.currentReader = kRootItem;
    doc.UpdateAllViews(nullptr, 0);
    doc.currentReader = 0;
    doc.readers[0].state = 1;  // read, but empty
    doc.UpdateAllViews(nullptr, 4);
    QCOMPARE(preview.shownPage(), CHtmlView_1::Page::NoMessage);
    QCOMPARE(preview.messagePreviews, 0);

    // Being read: the table fills while state is still 0, and is not looked at.
    doc.readers[0].records.resize(3);
    doc.readers[0].state = 0;
    doc.UpdateAllViews(nullptr, 6);
    QCOMPARE(preview.messagePreviews, 0);

    doc.readers[0].state = 1;
    doc.UpdateAllViews(nullptr, 6);
    QCOMPARE(preview.messagePreviews, 1);
  }

  void onlyUpdatesForThePreviewAreActedOn() {
    QTemporaryDir scratch;
    CVireoDoc doc(guitest::scratchSetup(scratch.path()));
    CountingPreview preview(&doc);
    preview.OnInitialUpdate();
    doc.currentReader = kGroupItem;
    doc.UpdateAllViews(nullptr, 2);  // the list's alone
    QCOMPARE(preview.shownPage(), CHtmlView_1::Page::Start);
    doc.UpdateAllViews(nullptr, 4);
    QCOMPARE(preview.shownPage(), CHtmlView_1::Page::NoMessage);
  }
};

}  // namespace vireo::views

QTEST_MAIN(vireo::views::HtmlViewTest)
#include "html_view_test.moc"
