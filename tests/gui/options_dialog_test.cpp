// The Options dialog from the Tools menu: what it shows, what OK stores and what Cancel leaves.
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QtTest>

#include "reader/settings.h"
#include "shell/options_dialog.h"
#include "tests/gui/support/window_fixture.h"
#include "views/command_table.h"
#include "views/main_frame.h"
#include "views/vireo_doc.h"

namespace vireo::shell {
namespace {

struct BoxStates {
  bool browse, recover, startup;
  bool operator==(const BoxStates&) const = default;
};

// Answers the Options dialog: records the boxes as shown, sets them to wanted, and closes it.
guitest::ModalAnswers::Answer answerOptions(BoxStates* shown, BoxStates wanted, int result) {
  return [=](const ModalRequest& request) -> std::optional<int> {
    if (request.kind != ModalKind::Dialog) return std::nullopt;
    auto* dialog = qobject_cast<OptionsDialog*>(static_cast<QDialog*>(request.dialog));
    if (!dialog) return std::nullopt;
    *shown = {dialog->checkBox(kCopyBeforeBrowseBox)->isChecked(), dialog->checkBox(kCopyBeforeRecoverBox)->isChecked(),
              dialog->checkBox(kOpenStoreAtStartBox)->isChecked()};
    dialog->checkBox(kCopyBeforeBrowseBox)->setChecked(wanted.browse);
    dialog->checkBox(kCopyBeforeRecoverBox)->setChecked(wanted.recover);
    dialog->checkBox(kOpenStoreAtStartBox)->setChecked(wanted.startup);
    return result;
  };
}

}  // namespace

class OptionsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void showsTheTextsOfTheDialog() {
    OptionsDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Vireo options"));
    QCOMPARE(dialog.checkBox(kCopyBeforeBrowseBox)->text(), QStringLiteral("Copy before browsing"));
    QCOMPARE(dialog.checkBox(kCopyBeforeRecoverBox)->text(), QStringLiteral("Copy before recovery"));
    QCOMPARE(dialog.checkBox(kOpenStoreAtStartBox)->text(),
             QStringLiteral("Show your default message bases at startup "));
    const auto* speed = dialog.findChild<QGroupBox*>();
    QCOMPARE(speed->title(), QStringLiteral("Speed options"));
    QCOMPARE(dialog.checkBox(kCopyBeforeBrowseBox)->parentWidget(), speed);
    QCOMPARE(dialog.checkBox(kCopyBeforeRecoverBox)->parentWidget(), speed);
    QVERIFY(dialog.checkBox(kOpenStoreAtStartBox)->parentWidget() != speed);
  }

  void okStoresTheOptionsAndCreatesTheSettingsFile() {
    guitest::WindowFixture fixture;
    QVERIFY(!QFile::exists(fixture.settingsFile()));
    BoxStates shown{};
    fixture.modals().setAnswer(answerOptions(&shown, {true, false, false}, QDialog::Accepted));
    QVERIFY(fixture.frame().routeCommand(command::kOptions));

    QCOMPARE(shown, (BoxStates{false, false, true}));  // nothing stored: copies off, listing on
    QVERIFY(fixture.doc().copyBeforeBrowse);
    QVERIFY(!fixture.doc().copyBeforeRecover);
    QVERIFY(!fixture.doc().openStoreAtStart);
    QCOMPARE(readSettings(fixture.settingsFile().toStdString()).options, std::optional<uint32_t>(1));
    QVERIFY(fixture.modals().messageTexts().empty());
  }

  void storedOptionsAreShownAndOtherSettingsKept() {
    guitest::WindowFixture fixture(3);
    Settings settings = readSettings(fixture.settingsFile().toStdString());
    settings.path = (fixture.folder() + QStringLiteral("/work")).toStdString();
    QVERIFY(writeSettings(fixture.settingsFile().toStdString(), settings));

    BoxStates shown{};
    fixture.modals().setAnswer(answerOptions(&shown, {false, true, true}, QDialog::Accepted));
    fixture.frame().routeCommand(command::kOptions);

    QCOMPARE(shown, (BoxStates{true, true, false}));
    const Settings after = readSettings(fixture.settingsFile().toStdString());
    QCOMPARE(after.options, std::optional<uint32_t>(6));
    QCOMPARE(after.path, settings.path);
  }

  void cancelChangesNothingEvenAfterTogglingBoxes() {
    guitest::WindowFixture fixture(4);
    const QByteArray before = [&] {
      QFile file(fixture.settingsFile());
      return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    BoxStates shown{};
    fixture.modals().setAnswer(answerOptions(&shown, {true, true, false}, QDialog::Rejected));
    fixture.frame().routeCommand(command::kOptions);

    QCOMPARE(shown, (BoxStates{false, false, true}));
    QVERIFY(!fixture.doc().copyBeforeBrowse);
    QVERIFY(fixture.doc().openStoreAtStart);
    QFile file(fixture.settingsFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
  }

  void optionsThatCannotBeStoredStayForTheRunSilently() {
    QTemporaryDir scratch;
    guitest::ModalAnswers modals;
    DocumentSetup setup = guitest::scratchSetup(scratch.path());
    // The settings file's folder would have to be made where a file stands.
    QFile blocker(scratch.path() + QStringLiteral("/blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    setup.settingsFile = (scratch.path() + QStringLiteral("/blocker/Vireo.conf")).toStdString();
    views::CVireoDoc doc(setup);
    doc.optionsDialog = [](const views::OptionChoice&) { return views::OptionChoice{true, true, false}; };

    QVERIFY(doc.OnCmdMsg(command::kOptions));
    QVERIFY(doc.copyBeforeBrowse && doc.copyBeforeRecover && !doc.openStoreAtStart);
    QVERIFY(!doc.writeOptions());
    QVERIFY(modals.messageTexts().empty());
  }
};

}  // namespace vireo::shell

QTEST_MAIN(vireo::shell::OptionsDialogTest)
#include "options_dialog_test.moc"
