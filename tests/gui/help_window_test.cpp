// Help and F1 show the user guide in Vireo's own window, with the desktop's handlers made to fail:
// nothing is handed to a browser, the window is made once, a missing guide is said, and the
// guide's window loads nothing from outside the guide's folder and runs no script.
#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

#include "shell/vireo_app.h"
#include "tests/gui/support/window_fixture.h"
#include "views/command_table.h"
#include "views/desktop_handoff.h"
#include "views/help_window.h"
#include "views/main_frame.h"

namespace vireo::shell {
namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

// Waits for the window's page to finish loading; true when it loaded.
bool loaded(views::HelpWindow& window) {
  QSignalSpy spy(&window, &views::HelpWindow::pageLoaded);
  return spy.wait(30000) && spy.first().first().toBool();
}

}  // namespace

class HelpWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void helpAndF1ShowTheGuideInVireosOwnWindowWhenTheDesktopOpensNothing() {
    QList<QUrl> handed;
    const views::DesktopHandoff previous = views::setDesktopHandoff(
        {[&handed](const QUrl& url) {
           handed << url;
           return false;
         },
         [](const QString&, const QStringList&) { return false; }});
    guitest::WindowFixture fixture;
    fixture.frame().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&fixture.frame()));

    const QString guide = fixture.folder() + QStringLiteral("/guide/index.html");
    QVERIFY(QDir().mkpath(fixture.folder() + QStringLiteral("/guide")));
    writeFile(guide, "<html><head><title>Vireo user guide</title></head><body><h1>Start here</h1></body></html>");
    fixture.app().helpFile = guide;
    QVERIFY(fixture.frame().routeCommand(command::kHelpFinder));
    auto* window = fixture.frame().findChild<views::HelpWindow*>();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QVERIFY(window->isWindow());
    QVERIFY(loaded(*window));
    QCOMPARE(window->view()->url(), QUrl::fromLocalFile(guide));
    QCOMPARE(window->view()->title(), QStringLiteral("Vireo user guide"));

    // F1 brings the same window back.
    window->hide();
    QApplication::setActiveWindow(&fixture.frame());
    QVERIFY(QTest::qWaitForWindowActive(&fixture.frame()));
    QTest::keyClick(&fixture.frame(), Qt::Key_F1);
    QCOMPARE(fixture.frame().findChildren<views::HelpWindow*>().size(), 1);
    QVERIFY(window->isVisible());
    QVERIFY(handed.isEmpty());
    QVERIFY(fixture.modals().asked().empty());
    views::setDesktopHandoff(previous);
  }

  void aMissingGuideIsNamedInABox() {
    guitest::WindowFixture fixture;
    const QString missing = fixture.folder() + QStringLiteral("/missing/index.html");
    fixture.app().helpFile = missing;
    QVERIFY(fixture.frame().routeCommand(command::kHelpFinder));
    QVERIFY(!fixture.frame().findChild<views::HelpWindow*>());
    const std::vector<std::string> texts = fixture.modals().messageTexts();
    QCOMPARE(texts.size(), size_t{1});
    QCOMPARE(QString::fromStdString(texts[0]), QStringLiteral("The user guide was not found:\n") + missing);
  }

  void theGuidesWindowLoadsOnlyTheGuidesFilesAndRunsNoScript() {
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/help");
    QVERIFY(QDir().mkpath(folder));
    // A picture beside the guide loads; one outside its folder and a remote one do not.
    writeFile(dir.path() + QStringLiteral("/outside.svg"), "<svg xmlns='http://www.w3.org/2000/svg' width='9' height='9'/>");
    writeFile(folder + QStringLiteral("/inside.svg"), "<svg xmlns='http://www.w3.org/2000/svg' width='9' height='9'/>");
    writeFile(folder + QStringLiteral("/index.html"),
              "<html><head><title>Guide</title></head><body>"
              "<img src='inside.svg'><img src='../outside.svg'><img src='http://127.0.0.1:9/remote.png'>"
              "<script>document.title = 'script ran';</script></body></html>");
    QWidget owner;
    views::HelpWindow window(folder + QStringLiteral("/index.html"), &owner);
    QVERIFY(loaded(window));
    QCOMPARE(window.view()->title(), QStringLiteral("Guide"));
    // The remote picture the engine refuses itself; the one outside the folder is the guard's.
    QTRY_VERIFY(window.blockedRequests() >= 1);
  }
};

}  // namespace vireo::shell

QTEST_MAIN(vireo::shell::HelpWindowTest)
#include "help_window_test.moc"
