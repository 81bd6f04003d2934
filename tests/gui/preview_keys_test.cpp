// The preview while a person holds the Down arrow in a long list: the window keeps up, the pane
// does not render every row it passes, and it ends on the row the arrow stopped at.
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/gui/support/stall_monitor.h"
#include "tests/gui/support/window_driver.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "views/html_view.h"
#include "views/list_view.h"
#include "views/main_frame.h"
#include "views/preview_header.h"
#include "views/vireo_doc.h"

namespace vireo::guitest {
namespace {

constexpr int kRows = 1000;

}  // namespace

class PreviewKeysTest : public QObject {
  Q_OBJECT

 private slots:
  void holdingTheDownArrowCoalescesAndEndsOnTheLastRow() {
    QTemporaryDir folder;
    testing::DbxWriter writer;
    for (int i = 0; i < kRows; ++i)
      writer.add(testing::simpleMessage("Message " + std::to_string(i), "Body of message " + std::to_string(i) + ".\r\n"));
    const QString base = folder.filePath(QStringLiteral("Inbox.dbx"));
    writer.build().save(base.toStdString());

    WindowDriver w({base});
    QVERIFY(w.ready());
    w.select(w.base(0));
    QVERIFY(w.run(command::kBrowse));
    views::CListView_1& list = w.list();
    views::CHtmlView_1& preview = *w.frame().htmlView();
    QCOMPARE(list.model()->rowCount(), kRows);
    list.setFocus();
    list.setCurrentIndex(list.model()->index(0, 0));
    QTRY_VERIFY_WITH_TIMEOUT(!preview.previewPending() && preview.shownPage() == views::CHtmlView_1::Page::Message, 60000);
    const int before = preview.rendersStarted();

    StallMonitor stalls;
    stalls.start();
    for (int i = 1; i < kRows; ++i) {
      QTest::keyClick(&list, Qt::Key_Down);
      QCoreApplication::processEvents();
    }
    const double held = stalls.longestMs();
    QTRY_VERIFY_WITH_TIMEOUT(!preview.previewPending(), 60000);
    stalls.stop();
    const int renders = preview.rendersStarted() - before;
    // Reported, not judged here: the machine's load decides the figure (bench/ has the goal).
    qInfo("Down arrow over %d rows: %d renders, longest stall of the interface thread %.1f ms", kRows, renders, held);

    QCOMPARE(list.currentIndex().row(), kRows - 1);
    QVERIFY2(renders < kRows / 4, qPrintable(QString::number(renders)));
    const MessageBaseReader& reader = w.doc().readers[0];
    const QString lastSubject = QString::fromStdString(std::string(reader.row(reader.currentRow).subject()));
    QCOMPARE(preview.shownPage(), views::CHtmlView_1::Page::Message);
    QCOMPARE(preview.header()->field(QStringLiteral("Subject"))->text(), lastSubject);
    QVERIFY(preview.header()->isVisible());
  }
};

}  // namespace vireo::guitest

QTEST_MAIN(vireo::guitest::PreviewKeysTest)
#include "preview_keys_test.moc"
