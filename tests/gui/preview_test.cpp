// The preview of a message: the file it is handed over in, what a message may and may not make
// the pane do (fetch, run, navigate), and saving an attachment from it.
#include <QAccessible>
#include <QAction>
#include <QBuffer>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QTcpServer>
#include <QTcpSocket>
#include <QToolButton>
#include <QWebEngineView>
#include <QtTest>

#include "tests/gui/support/desktop_catcher.h"
#include "tests/gui/support/preview_harness.h"
#include "tests/gui/support/window_fixture.h"
#include "tools/dbx_writer/message_text.h"
#include "views/attachment_bar.h"
#include "views/preview_header.h"

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

// An HTML message from Ann whose page paints a sender of its own over the top of the pane.
std::string forgedSenderMessage() {
  return "From: Ann <ann@example.org>\r\nTo: Bob <bob@example.org>\r\nSubject: Your account\r\n"
         "Date: Tue, 05 Dec 2006 10:00:00 +0000\r\nMIME-Version: 1.0\r\n"
         "Content-Type: text/html; charset=us-ascii\r\n\r\n"
         "<html><body><div style=\"position:fixed;left:0;top:0;right:0;height:90px;background:white;"
         "z-index:99999\">From: Your Bank &lt;security@yourbank.example&gt;<br>Subject: Urgent</div>"
         "<p>Please confirm your password.</p></body></html>\r\n";
}

// A message with a large attachment: quick to load as a page, slow to render.
std::string slowMessage() {
  return "From: Ann <ann@example.org>\r\nSubject: Slow\r\nMIME-Version: 1.0\r\n"
         "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\nSee the file.\r\n"
         "--b\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
         "Content-Disposition: attachment; filename=\"big.bin\"\r\n\r\n" +
         testing::base64Encode(std::string(24 << 20, 'z')) + "--b--\r\n";
}

// Every accessible object under root, depth first.
void collectAccessible(QAccessibleInterface* root, QList<QAccessibleInterface*>& out) {
  if (!root) return;
  out.append(root);
  for (int i = 0; i < root->childCount(); ++i) collectAccessible(root->child(i), out);
}

// Answers the next file dialog with path (a file to save, or a folder to save into).
guitest::ModalAnswers::Answer choosing(const QString& path) {
  return [path](const ModalRequest& request) -> std::optional<int> {
    if (request.kind != ModalKind::Dialog) return std::nullopt;
    auto* dialog = static_cast<QFileDialog*>(static_cast<QDialog*>(request.dialog));
    if (dialog->fileMode() == QFileDialog::Directory) dialog->setDirectory(path);
    dialog->selectFile(path);
    return QDialog::Accepted;
  };
}

QByteArray fileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class PreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void aMessageIsReadWithoutLeavingAFileBehind() {
    guitest::PreviewHarness h;
    h.addBase({testing::simpleMessage("Zero")});
    const int reader = h.addBase({testing::simpleMessage("First"), testing::simpleMessage("Second", "Body two.\r\n")});
    QVERIFY(h.showRow(reader, 1));
    QCOMPARE(h.preview.shownPage(), CHtmlView_1::Page::Message);
    QVERIFY(h.text().contains(QStringLiteral("Body two.")));
    QCOMPARE(h.previewFiles(), Files{});

    // The same row again is read and shown again, and needs no temp folder.
    std::filesystem::remove_all(h.tempFolder());
    QVERIFY(h.showRow(reader, 1));
    QVERIFY(h.text().contains(QStringLiteral("Body two.")));
  }

  void quickSelectionsShowOnlyTheNewest() {
    guitest::PreviewHarness h;
    const int reader = h.addBase({testing::simpleMessage("Subject A"), testing::simpleMessage("Subject B"),
                                  testing::simpleMessage("Subject C")});
    h.doc().currentReader = reader;
    for (int row : {0, 1, 2, 1}) {
      h.doc().readers[0].currentRow = row;
      h.doc().UpdateAllViews(nullptr, kHintPreview);
      // The previous message's header never stands over the new selection.
      QVERIFY(!h.preview.header()->isVisible());
    }
    QVERIFY(h.waitForPage());
    QCOMPARE(h.preview.header()->field(QStringLiteral("Subject"))->text(), QStringLiteral("Subject B"));
    // One render under way and one waiting at most: the middle ones are skipped.
    QVERIFY2(h.preview.rendersStarted() <= 3, qPrintable(QString::number(h.preview.rendersStarted())));
  }

  void aMessageThatCannotBeReadSaysWhyAndNotThePrevious() {
    guitest::ModalAnswers modals;
    guitest::PreviewHarness h;
    const int reader = h.addBase({testing::simpleMessage("Kept message"), testing::simpleMessage("Other")});
    QVERIFY(h.showRow(reader, 0));
    QVERIFY(h.preview.header()->isVisible());

    // The working file is gone.
    const std::string working = h.doc().readers[0].workingPath;
    QVERIFY(std::filesystem::copy_file(working, working + ".kept"));
    std::filesystem::remove(working);
    QVERIFY(h.showRow(reader, 1));
    QCOMPARE(h.preview.shownPage(), CHtmlView_1::Page::Unreadable);
    QVERIFY(h.text().contains(QStringLiteral("This message cannot be shown:")));
    QVERIFY(h.text().contains(QString::fromStdString(working)));
    QVERIFY(!h.text().contains(QStringLiteral("Kept message")));
    QVERIFY(!h.preview.header()->isVisible());
    QVERIFY(!h.preview.attachmentBar()->isVisible());
    QVERIFY(modals.asked().empty());

    // The working file lost its end.
    std::filesystem::rename(working + ".kept", working);
    QVERIFY(h.showRow(reader, 0));
    QCOMPARE(h.preview.header()->field(QStringLiteral("Subject"))->text(), QStringLiteral("Kept message"));
    std::filesystem::resize_file(working, 64);
    QVERIFY(h.showRow(reader, 1));
    QCOMPARE(h.preview.shownPage(), CHtmlView_1::Page::Unreadable);
    QVERIFY(h.text().contains(QStringLiteral("This message cannot be shown:")));
    QVERIFY(!h.text().contains(QStringLiteral("Kept message")));
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

  void theHeaderIsDrawnByTheWindowAndShowsTheRealSender() {
    guitest::PreviewHarness h;
    const int reader = h.addBase({forgedSenderMessage()});
    QVERIFY(h.showRow(reader, 0));
    PreviewHeader* header = h.preview.header();
    QVERIFY(header->isVisible());
    QCOMPARE(header->field(QStringLiteral("From"))->text(), QStringLiteral("Ann <ann@example.org>"));
    QCOMPARE(header->field(QStringLiteral("Subject"))->text(), QStringLiteral("Your account"));
    QVERIFY(!header->field(QStringLiteral("Cc"))->isVisible());
    QVERIFY(header->field(QStringLiteral("From"))->textInteractionFlags() & Qt::TextSelectableByKeyboard);
    QCOMPARE(header->field(QStringLiteral("From"))->textFormat(), Qt::PlainText);
    // Above the page, out of its reach: the forged box is painted inside the page alone.
    QVERIFY(header->geometry().bottom() < h.preview.browser()->geometry().top());
    QVERIFY(h.text().contains(QStringLiteral("yourbank.example")));

    // A screen reader finds each field by its name, and its value.
    QList<QAccessibleInterface*> all;
    // From the header down: the web engine's own accessible objects are left out, as their types
    // come from a library built without the sanitizer's type information.
    collectAccessible(QAccessible::queryAccessibleInterface(header), all);
    QAccessibleInterface* from = nullptr;
    for (QAccessibleInterface* item : all)
      if (item->text(QAccessible::Name) == QLatin1String("From") && item->role() == QAccessible::StaticText) from = item;
    QVERIFY(from);
    QCOMPARE(from->text(QAccessible::Description), QStringLiteral("Ann <ann@example.org>"));
    QVERIFY(!from->state().invisible);

    // The start page has no header.
    h.doc().currentReader = kRootItem;
    QVERIFY(h.update(0));
    QVERIFY(!header->isVisible());
    QVERIFY(!h.preview.attachmentBar()->isVisible());
  }

  void aLinkWithATargetReachesTheDesktopAndOtherSchemesNothing() {
    guitest::DesktopCatcher desktop({QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("mailto"),
                                     QStringLiteral("file"), QStringLiteral("javascript"), QStringLiteral("data")});
    guitest::PreviewHarness h;
    const auto blankLink = [](const std::string& href) {
      return "<a target=\"_blank\" href=\"" + href +
             "\" style=\"display:block;position:fixed;left:0;top:0;right:0;bottom:0\">the link</a>";
    };
    QVERIFY(h.showPage(pageOf(blankLink("https://example.org/sale"))));
    clickPage(h.preview);
    QTRY_COMPARE_WITH_TIMEOUT(desktop.opened.size(), 1, 60000);
    QCOMPARE(desktop.opened.front(), QUrl(QStringLiteral("https://example.org/sale")));
    QCOMPARE(h.preview.browser()->url(), h.preview.pageUrl());

    QVERIFY(h.showPage(pageOf(blankLink("mailto:ann@example.org"))));
    clickPage(h.preview);
    QTRY_COMPARE_WITH_TIMEOUT(desktop.opened.size(), 2, 60000);

    for (const std::string& href : {std::string("javascript:alert(1)"), std::string("file:///etc/passwd")}) {
      for (const bool withTarget : {true, false}) {
        QVERIFY(h.showPage(pageOf(withTarget ? blankLink(href) : pageWideLink(href))));
        clickPage(h.preview);
        QTest::qWait(300);
        QCOMPARE(h.preview.browser()->url(), h.preview.pageUrl());
      }
    }
    QCOMPARE(desktop.opened.size(), 2);
  }

  void theAttachmentBarSavesOneOrAll() {
    guitest::ModalAnswers modals;
    guitest::PreviewHarness h;
    const std::string first("\x00\x01zip\xff", 6);
    content::RenderedMessage rendered = pageOf("<p>Two files.</p>");
    rendered.parts["1"] = {"application/zip", first};
    rendered.parts["2"] = {"text/plain", "second"};
    rendered.attachments.push_back({"../evil/report.zip", "application/zip", first.size(), "1"});
    rendered.attachments.push_back({"report.zip", "text/plain", 6, "2"});
    QVERIFY(h.showPage(std::move(rendered)));
    AttachmentBar* bar = h.preview.attachmentBar();
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->buttons().size(), size_t{2});
    QCOMPARE(bar->buttons()[0]->text(), QStringLiteral("../evil/report.zip (6 bytes)"));

    const QString one = QString::fromStdString(h.scratch.dir.file("one.zip"));
    modals.setAnswer(choosing(one));
    QTest::mouseClick(bar->buttons()[0], Qt::LeftButton);
    QCOMPARE(fileBytes(one).toStdString(), first);

    // All of them into a folder: same names are kept apart, nothing there is replaced.
    const QString folder = QString::fromStdString(h.scratch.dir.file("all"));
    QVERIFY(QDir().mkpath(folder));
    QFile existing(folder + QStringLiteral("/report.zip"));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("old");
    existing.close();
    modals.setAnswer(choosing(folder));
    bar->saveAllAction()->trigger();
    QCOMPARE(fileBytes(folder + QStringLiteral("/report.zip")), QByteArray("old"));
    QCOMPARE(fileBytes(folder + QStringLiteral("/report (2).zip")).toStdString(), first);
    QCOMPARE(fileBytes(folder + QStringLiteral("/report (3).zip")), QByteArray("second"));
    QVERIFY(modals.messageTexts().empty());

    // A folder that cannot be written to: one box says how many failed, and why.
    const QString missing = QString::fromStdString(h.scratch.dir.file("no/such"));
    modals.setAnswer(choosing(missing));
    bar->saveAllAction()->trigger();
    QCOMPARE(modals.messageTexts().size(), size_t{1});
    QVERIFY(QString::fromStdString(modals.messageTexts().front()).startsWith(QStringLiteral("2 of 2 attachments were not written to")));
  }

  void hostilePagesOpenNoConnection() {
    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost));
    int accepted = 0;
    connect(&listener, &QTcpServer::newConnection, &listener, [&] {
      while (QTcpSocket* socket = listener.nextPendingConnection()) {
        ++accepted;
        socket->close();
        socket->deleteLater();
      }
    });
    const std::string at = "http://127.0.0.1:" + std::to_string(listener.serverPort());
    guitest::PreviewHarness h;
    const std::vector<std::string> pages = {
        "<img src=\"" + at + "/img.png\">",
        "<link rel=\"stylesheet\" href=\"" + at + "/a.css\"><p>styled</p>",
        "<link rel=\"preconnect\" href=\"" + at + "\"><link rel=\"dns-prefetch\" href=\"" + at +
            "\"><link rel=\"prefetch\" href=\"" + at + "/next\"><link rel=\"preload\" as=\"image\" href=\"" + at +
            "/pre.png\">",
        "<div style=\"width:50px;height:50px;background:url('" + at + "/bg.png')\"></div>"
            "<style>@import url('" + at + "/import.css'); p { background-image: url(" + at + "/p.png) }</style><p>x</p>",
        "<meta http-equiv=\"refresh\" content=\"0; url=" + at + "/refresh\"><p>refresh</p>",
        "<form action=\"" + at + "/form\" method=\"post\"><input name=\"q\" value=\"1\" autofocus>"
            "<input type=\"image\" src=\"" + at + "/button.png\"></form>",
        "<table background=\"" + at + "/table.png\"><tr><td background=\"" + at + "/td.png\">cell</td></tr></table>"
            "<body background=\"" + at + "/body.png\">",
        "<video poster=\"" + at + "/poster.png\" src=\"" + at + "/v.mp4\"></video><audio src=\"" + at +
            "/a.mp3\" autoplay></audio><iframe src=\"" + at + "/frame\"></iframe><object data=\"" + at +
            "/o\"></object><svg><image href=\"" + at + "/svg.png\" width=\"10\" height=\"10\"/></svg>",
    };
    // A page may end its load as failed (a refused refresh); only what reaches the listener counts.
    for (const std::string& body : pages) {
      h.preview.showRendered(pageOf(body));
      QTRY_VERIFY_WITH_TIMEOUT(h.preview.browser()->url() == h.preview.pageUrl(), 60000);
      QTest::qWait(200);
    }
    // Give late requests (a refresh, a lazy image) their chance.
    QTest::qWait(1500);
    QCOMPARE(accepted, 0);
    // The listener does count a connection that reaches it.
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, listener.serverPort());
    QTRY_COMPARE_WITH_TIMEOUT(accepted, 1, 10000);
  }

  void aSlowMessageTakesThePreviousOneOffTheScreen() {
    guitest::PreviewHarness h;
    const int reader = h.addBase({testing::simpleMessage("Quick", "The quick one.\r\n"),
                                  slowMessage()});
    QVERIFY(h.showRow(reader, 0));
    QVERIFY(h.text().contains(QStringLiteral("The quick one.")));
    h.doc().readers[0].currentRow = 1;
    h.doc().UpdateAllViews(nullptr, kHintPreview);
    QTest::qWait(600);
    // Blank while it renders, or the new message: never the quick one under the slow one's row.
    QTRY_VERIFY_WITH_TIMEOUT(h.preview.browser()->url() == h.preview.pageUrl(), 60000);
    QVERIFY(!h.text().contains(QStringLiteral("The quick one.")));
    // The slow page may already have loaded by now, so its completion is not waited for again.
    QTRY_COMPARE_WITH_TIMEOUT(h.preview.header()->field(QStringLiteral("Subject"))->text(), QStringLiteral("Slow"), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(!h.preview.previewPending(), 60000);
  }

  void closingWhileARenderRunsIsClean() {
    // A message large enough to be still rendering when the pane goes.
    std::string large = testing::simpleMessage("Large", std::string(8 << 20, 'x') + "\r\n");
    auto h = std::make_unique<guitest::PreviewHarness>();
    const int reader = h->addBase({large, testing::simpleMessage("Small")});
    h->doc().currentReader = reader;
    h->doc().readers[0].currentRow = 0;
    h->doc().UpdateAllViews(nullptr, kHintPreview);
    h->doc().readers[0].currentRow = 1;
    h->doc().UpdateAllViews(nullptr, kHintPreview);
    QVERIFY(h->preview.previewPending());
    h.reset();
    QCoreApplication::processEvents();
  }
};

}  // namespace vireo::views

QTEST_MAIN(vireo::views::PreviewTest)
#include "preview_test.moc"
