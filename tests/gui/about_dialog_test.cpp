// The About box from the Help menu, and its hyperlink labels.
#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QtTest>

#include "shell/about_dialog.h"
#include "shell/static_link.h"
#include "shell/vireo_app.h"
#include "tests/gui/support/desktop_catcher.h"
#include "tests/gui/support/window_fixture.h"
#include "views/command_table.h"
#include "views/main_frame.h"

namespace vireo::shell {

class AboutDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void aboutShowsTheVersionLineAndTheLinks() {
    guitest::WindowFixture fixture;
    QString version, group;
    QStringList captions;
    bool picture = false;
    fixture.modals().setAnswer([&](const ModalRequest& request) -> std::optional<int> {
      auto* dialog = qobject_cast<AboutDialog*>(static_cast<QDialog*>(request.dialog));
      if (!dialog) return std::nullopt;
      version = dialog->versionLine()->text();
      group = dialog->findChild<QGroupBox*>()->title();
      for (const QLabel* label : dialog->findChildren<QLabel*>())
        if (label->buddy()) captions.append(label->text());
      for (const QLabel* label : dialog->findChildren<QLabel*>()) picture = picture || !label->pixmap().isNull();
      return QDialog::Accepted;
    });
    QVERIFY(fixture.frame().routeCommand(command::kAppAbout));

    const std::vector<guitest::AskedModal> asked = fixture.modals().asked();
    QCOMPARE(asked.size(), size_t{1});
    QCOMPARE(asked[0].caption, std::string("Vireo for Outlook Express"));
    QCOMPARE(version, QStringLiteral("Version 1.5 (Build 9626)"));
    QCOMPARE(group, QStringLiteral("Vireo for Outlook Express"));
    QCOMPARE(captions, (QStringList{"Product Site: ", "Tech. Support:", "Sales Department:"}));
    QVERIFY(picture);
  }

  void aLinkTurnsPurpleWhenOpenedAndStaysSo() {
    guitest::WindowFixture fixture;  // the application's hand cursor
    AboutDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    CStaticLink* site = dialog.productSite();
    QCOMPARE(site->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QVERIFY(site->font().underline());
    QCOMPARE(site->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(site->link.isEmpty());

    guitest::DesktopCatcher catcher({QStringLiteral("https")});
    QTest::mouseClick(site, Qt::LeftButton);

    QCOMPARE(catcher.opened, (QList<QUrl>{QUrl(site->text())}));  // its own text is its target
    QCOMPARE(site->link, site->text());
    QCOMPARE(site->visited, 1);
    QCOMPARE(site->palette().color(QPalette::WindowText), QColor(128, 0, 128));

    // Nothing handles the address now: it beeps, and stays visited.
    QTest::mouseClick(site, Qt::LeftButton);
    QCOMPARE(site->visited, 1);
    QCOMPARE(site->palette().color(QPalette::WindowText), QColor(128, 0, 128));
  }

  void aLinkThatCannotBeOpenedStaysUnvisited() {
    AboutDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    CStaticLink* support = dialog.techSupport();
    QVERIFY(support->link.startsWith(QStringLiteral("mailto:")));
    QTest::mouseClick(support, Qt::LeftButton);  // the offscreen platform opens nothing
    QCOMPARE(support->visited, 0);
    QCOMPARE(support->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  }

  void aLinkIsALinkForAssistiveTools() {
    AboutDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    CStaticLink* sales = dialog.salesDepartment();
    QAccessibleInterface* link = QAccessible::queryAccessibleInterface(sales);
    QVERIFY(link);
    QCOMPARE(link->role(), QAccessible::Link);
    QCOMPARE(link->text(QAccessible::Name), sales->text());
    QCOMPARE(link->text(QAccessible::Value), sales->link);

    guitest::DesktopCatcher catcher({QStringLiteral("mailto")});
    link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTest::keyClick(dialog.techSupport(), Qt::Key_Space);
    QCOMPARE(catcher.opened.size(), 2);
    QCOMPARE(catcher.opened[0].scheme(), QStringLiteral("mailto"));
    QVERIFY(link->state().traversed);
  }
};

}  // namespace vireo::shell

QTEST_MAIN(vireo::shell::AboutDialogTest)
#include "about_dialog_test.moc"
