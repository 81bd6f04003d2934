// The preview of a message: the file it is handed over in, what a message may and may not make
// the pane do (fetch, run, navigate), and saving an attachment from it.
#include <QBuffer>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QWebEngineView>
#include <QtTest>

#include "tests/gui/support/desktop_catcher.h"
#include "tests/gui/support/preview_harness.h"
#include "tests/gui/support/window_fixture.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::views {
namespace {

using guitest::pageOf;
using Files = std::vector<std::string>;

// A link that covers the whole page, so a click anywhere lands on it.
std::string pageWideLink(const std::string& href) {
  return "<a href=\"" + href +
         "\" style=\"display:block;position:fixed;left:0;top:0;right:0;bottom:0\">the link</a>";
}

void clickPage(CHtmlView_1& preview) {
  QWidget* surface = preview.browser()->focusProxy();
  QTest::mouseClick(surface ? surface : preview.browser(), Qt::LeftButton, {}, QPoint(40, 40));
}

}  // namespace

class PreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void theFileIsNamedByReaderAndRowAndGoesOnceLoaded() {
    guitest::PreviewHarness h;
    h.addBase({testing::simpleMessage("Zero")});
    const int reader = h.addBase({testing::simpleMessage("First"), testing::simpleMessage("Second", "Body two.\r\n")});

    // The file exists from the update until the page has loaded.
    h.doc().currentReader = reader;
    h.doc().readers[1].currentRow = 1;
    h.doc().UpdateAllViews(nullptr, kHintPreview);
    QCOMPARE(h.doc().previewPath, h.tempFolder() + "/1_1.mht");
    QCOMPARE(h.previewFiles(), Files{"1_1.mht"});
    QVERIFY(h.waitForPage());
    QCOMPARE(h.preview.shownPage(), CHtmlView_1::Page::Message);
    QVERIFY(h.text().contains(QStringLiteral("Body two.")));
    QCOMPARE(h.previewFiles(), Files{});

    // The same row again is written and loaded again.
    QVERIFY(h.showRow(reader, 1));
    QVERIFY(h.text().contains(QStringLiteral("Body two.")));
    QCOMPARE(h.previewFiles(), Files{});
  }

  void twoQuickPreviewsLeaveOnlyTheNewest() {
    guitest::PreviewHarness h;
    const int reader = h.addBase({testing::simpleMessage("Subject A"), testing::simpleMessage("Subject B")});
    h.doc().currentReader = reader;
    h.doc().readers[0].currentRow = 0;
    h.doc().UpdateAllViews(nullptr, kHintPreview);
    h.doc().readers[0].currentRow = 1;
    h.doc().UpdateAllViews(nullptr, kHintPreview);
    QCOMPARE(h.previewFiles(), Files{"0_1.mht"});
    QVERIFY(h.waitForPage());
    QVERIFY(h.text().contains(QStringLiteral("Subject B")));
    QCOMPARE(h.previewFiles(), Files{});
  }

  void aPreviewThatCannotBeWrittenLeavesThePageAndSaysNothing() {
    guitest::ModalAnswers modals;
    guitest::PreviewHarness h;
    const int reader = h.addBase({testing::simpleMessage("Kept message")});
    QVERIFY(h.showRow(reader, 0));
    const QUrl shown = h.preview.pageUrl();
    std::filesystem::remove_all(h.tempFolder());
    h.doc().UpdateAllViews(nullptr, kHintPreview);
    QCOMPARE(h.preview.pageUrl(), shown);
    QVERIFY(h.text().contains(QStringLiteral("Kept message")));
    QVERIFY(modals.asked().empty());
  }

  void pagesForTheRootAGroupAndAnUnreadBase() {
    guitest::PreviewHarness h;
    const int reader = h.addBase({testing::simpleMessage("Unread")});
    h.doc().readers[0].state = kStateNotRead;
    QVERIFY(h.showRow(reader, 0));
    QCOMPARE(h.text().trimmed(), QStringLiteral("There is no message selected."));
    QCOMPARE(h.previewFiles(), Files{});
    h.doc().currentReader = kGroupItem;
    QVERIFY(h.update(0));
    QCOMPARE(h.text().trimmed(), QStringLiteral("There is no message selected."));
    h.doc().currentReader = kRootItem;
    QVERIFY(h.update(0));
    QVERIFY(h.text().contains(QStringLiteral("Vireo never deletes from disks")));
  }

  void remoteContentIsBlockedAndTheBarSaysSo() {
    guitest::PreviewHarness h;
    QVERIFY(h.showPage(pageOf("<p>Hello</p>")));
    QVERIFY(!h.preview.blockedBar()->isVisible());

    QVERIFY(h.showPage(pageOf("<p>Tracked</p><img src=\"http://127.0.0.1:9/pixel.png\">"
                              "<link rel=\"stylesheet\" href=\"https://127.0.0.1:9/a.css\">")));
    QTRY_VERIFY_WITH_TIMEOUT(h.preview.blockedBar()->isVisible(), 60000);
    QCOMPARE(h.preview.blockedBar()->text(), QStringLiteral("Remote images in this message were blocked."));
    QCOMPARE(h.preview.blockedBar()->accessibleName(), QStringLiteral("Blocked content"));

    // The next page starts without the bar.
    QVERIFY(h.showPage(pageOf("<p>Clean</p>")));
    QVERIFY(!h.preview.blockedBar()->isVisible());
  }

  void inlinePicturesComeFromTheMessagesParts() {
    guitest::PreviewHarness h;
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    red.save(&png, "PNG");
    content::RenderedMessage rendered = pageOf(
        "<img src=\"part/p1\" style=\"position:fixed;left:0;top:0;width:100%;height:100%\">");
    rendered.parts["p1"] = {"image/png", png.data().toStdString()};
    QVERIFY(h.showPage(std::move(rendered)));
    QTRY_VERIFY_WITH_TIMEOUT(h.preview.browser()->grab().toImage().pixelColor(50, 50) == QColor(Qt::red), 60000);
    QVERIFY(!h.preview.blockedBar()->isVisible());
  }

  void scriptsDoNotRun() {
    guitest::PreviewHarness h;
    QVERIFY(h.showPage(pageOf("<script>document.title = 'changed';</script>"
                              "<img src=\"data:,x\" onerror=\"document.title = 'changed'\">")));
    QTest::qWait(300);
    QCOMPARE(h.title(), QStringLiteral("Message"));
  }

  void aClickedWebLinkGoesToTheDesktopAndThePaneStays() {
    guitest::DesktopCatcher desktop({QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("mailto")});
    guitest::PreviewHarness h;
    QVERIFY(h.showPage(pageOf(pageWideLink("http://example.org/offer"))));
    const QUrl page = h.preview.browser()->url();
    clickPage(h.preview);
    QTRY_COMPARE_WITH_TIMEOUT(desktop.opened.size(), 1, 60000);
    QCOMPARE(desktop.opened.front(), QUrl(QStringLiteral("http://example.org/offer")));
    QTest::qWait(200);
    QCOMPARE(h.preview.browser()->url(), page);

    // A page that sends itself elsewhere goes nowhere, and opens nothing.
    QVERIFY(h.showPage(pageOf("<meta http-equiv=\"refresh\" content=\"0; url=http://example.org/\"><p>Here</p>")));
    QTest::qWait(300);
    QCOMPARE(h.preview.browser()->url(), h.preview.pageUrl());
    QCOMPARE(desktop.opened.size(), 1);
  }

  void aClickedAttachmentIsSavedWhole() {
    guitest::ModalAnswers modals;
    guitest::PreviewHarness h;
    const QString target = QString::fromStdString(h.scratch.dir.file("saved.bin"));
    QString offered;
    modals.setAnswer([&](const ModalRequest& request) -> std::optional<int> {
      auto* dialog = static_cast<QFileDialog*>(static_cast<QDialog*>(request.dialog));
      if (request.kind != ModalKind::Dialog || !dialog) return std::nullopt;
      offered = dialog->selectedFiles().value(0);
      dialog->selectFile(target);
      return QDialog::Accepted;
    });
    const std::string bytes("\x00\x01zip\xff", 6);
    content::RenderedMessage rendered = pageOf(pageWideLink("part/a1"));
    rendered.parts["a1"] = {"application/zip", bytes};
    rendered.attachments.push_back({"../../evil/report.zip", "application/zip", bytes.size(), "a1"});
    QVERIFY(h.showPage(std::move(rendered)));
    clickPage(h.preview);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(target), 60000);
    QCOMPARE(QFileInfo(offered).fileName(), QStringLiteral("report.zip"));
    QFile saved(target);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll().toStdString(), bytes);
    QCOMPARE(h.preview.browser()->url(), h.preview.pageUrl());

    // A file that cannot be written is named, with the reason.
    const QString unwritable = QString::fromStdString(h.scratch.dir.file("no/such/folder/x.zip"));
    modals.setAnswer([&](const ModalRequest& request) -> std::optional<int> {
      if (request.kind != ModalKind::Dialog) return std::nullopt;
      static_cast<QFileDialog*>(static_cast<QDialog*>(request.dialog))->selectFile(unwritable);
      return QDialog::Accepted;
    });
    clickPage(h.preview);
    QTRY_VERIFY_WITH_TIMEOUT(!modals.messageTexts().empty(), 60000);
    QVERIFY(QString::fromStdString(modals.messageTexts().back()).contains(unwritable));
    QVERIFY(!QFile::exists(unwritable));
  }
};

}  // namespace vireo::views

QTEST_MAIN(vireo::views::PreviewTest)
#include "preview_test.moc"
