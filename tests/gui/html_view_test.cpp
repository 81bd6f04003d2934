// The preview's two built-in pages: which one shows for which selection, and which updates it
// acts on.
#include <QtTest>

#include "tests/gui/support/window_fixture.h"
#include "views/html_view.h"
#include "views/main_frame.h"
#include "views/vireo_doc.h"

namespace vireo::views {
namespace {

constexpr int kRootMarker = 2147483548;

class CountingPreview : public CHtmlView_1 {
 public:
  using CHtmlView_1::CHtmlView_1;
  int messagePreviews = 0;

 protected:
  void showMessagePreview() override {
    ++messagePreviews;
    CHtmlView_1::showMessagePreview();
  }
};

}  // namespace

class HtmlViewTest : public QObject {
  Q_OBJECT

 private slots:
  void startPageAtStartAndForTheRoot() {
    guitest::WindowFixture fixture;
    CHtmlView_1* preview = fixture.frame().htmlView();
    QCOMPARE(preview->shownPage(), CHtmlView_1::Page::Start);
    QVERIFY(preview->toPlainText().contains(
        QStringLiteral("When doing any operation, including message base recovery, Vireo never deletes from "
                       "disks, writes to, or modifies in any way, original message bases.")));

    fixture.doc().currentReader = kFolderGroupMarker;
    fixture.doc().UpdateAllViews(nullptr, 0);
    QCOMPARE(preview->toPlainText().trimmed(), QStringLiteral("There is no message selected."));
    fixture.doc().currentReader = kRootMarker;
    fixture.doc().UpdateAllViews(nullptr, 0);
    QCOMPARE(preview->shownPage(), CHtmlView_1::Page::Start);
    fixture.doc().currentReader = kFolderGroupMarker;
    fixture.doc().UpdateAllViews(nullptr, 0);
    fixture.doc().currentReader = kNoReader;  // nothing selected
    fixture.doc().UpdateAllViews(nullptr, 0);
    QCOMPARE(preview->shownPage(), CHtmlView_1::Page::Start);
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

    doc.currentReader = kRootMarker;
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
    doc.currentReader = kFolderGroupMarker;
    doc.UpdateAllViews(nullptr, 2);  // the list's alone
    QCOMPARE(preview.shownPage(), CHtmlView_1::Page::Start);
    doc.UpdateAllViews(nullptr, 4);
    QCOMPARE(preview.shownPage(), CHtmlView_1::Page::NoMessage);
  }
};

}  // namespace vireo::views

QTEST_MAIN(vireo::views::HtmlViewTest)
#include "html_view_test.moc"
