// "Open disk image..." in the window: the bases found in an image join the tree under the image,
// recovery reads them as any base, Stop leaves nothing behind, and the list's recovery filters are
// offered in the View menu with the state the list's context menu shows.
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QtTest>

#include "shell/base_tree_model.h"
#include "shell/tree_view.h"
#include "tests/gui/support/folder_dialog_script.h"
#include "tests/gui/support/gated_progress.h"
#include "tests/gui/support/window_driver.h"
#include "tools/dbx_writer/disk_image.h"
#include "tools/dbx_writer/scratch_dir.h"
#include "views/list_view.h"
#include "views/main_frame.h"
#include "views/message_list_model.h"
#include "views/vireo_doc.h"

namespace vireo::guitest {
namespace {

using testing::CarveCase;

// Answers the next file chooser with path.
ModalAnswers::Answer choosingFile(const QString& path) {
  return [path](const ModalRequest& request) -> std::optional<int> {
    if (request.kind != ModalKind::Dialog) return std::nullopt;
    auto* chooser = qobject_cast<QFileDialog*>(static_cast<QDialog*>(request.dialog));
    if (!chooser) return std::nullopt;
    chooser->selectFile(path);
    return QDialog::Accepted;
  };
}

QStringList workingBases(WindowDriver& w) {
  return QDir(QFile::decodeName(QByteArray::fromStdString(w.doc().tempFolder)))
      .entryList({QStringLiteral("*.dbc")}, QDir::Files, QDir::Name);
}

bool openImage(WindowDriver& w, const QString& path) {
  w.fixture().modals().setAnswer(choosingFile(path));
  return w.frame().routeCommand(command::kOpenDiskImage) && w.waitUntilIdle();
}

QStringList childTexts(WindowDriver& w, const QModelIndex& group) {
  QStringList texts;
  for (int row = 0; row < w.nodes().rowCount(group); ++row) texts << w.nodes().index(row, 0, group).data().toString();
  return texts;
}

class DiskImageTest : public QObject {
  Q_OBJECT

 private slots:
  void theBasesOfAnImageAreListedUnderItAndRecovered() {
    QTemporaryDir images;
    const testing::CarveScenario scenario = testing::buildCarveScenario(CarveCase::interleaved, 12);
    const QString image = images.filePath(QStringLiteral("disk.img"));
    scenario.image.save(image.toStdString());
    WindowDriver w;
    QVERIFY(w.ready());
    QMenu* file = nullptr;
    for (QMenu* menu : w.frame().menuBar()->findChildren<QMenu*>())
      if (menu->title() == QStringLiteral("&File")) file = menu;
    QVERIFY(file);
    const QList<QAction*> items = file->actions();
    QCOMPARE(items.indexOf(w.frame().commandAction(command::kOpenDiskImage)),
             items.indexOf(w.frame().commandAction(command::kOpenBase)) + 1);
    QCOMPARE(w.frame().commandAction(command::kOpenDiskImage)->text(), QStringLiteral("Open disk image..."));

    QVERIFY(openImage(w, image));
    QCOMPARE(w.status(), QStringLiteral("disk.img: 2 message bases found"));
    QCOMPARE(workingBases(w), (QStringList{"carved-1-1.dbc", "carved-1-2.dbc"}));
    const QModelIndex group = w.group(0);
    QCOMPARE(group.data().toString(), QStringLiteral("disk.img"));
    QCOMPARE(group.data(Qt::ToolTipRole).toString(), image);
    QCOMPARE(group.data(shell::BaseTreeModel::kPathRole).toByteArray(), QFile::encodeName(image));
    QVERIFY(w.tree().isExpanded(group));
    const QStringList bases = childTexts(w, group);
    QCOMPARE(bases.size(), 2);
    QVERIFY2(bases[0].startsWith(QStringLiteral("Base 1 at ")) && bases[1].startsWith(QStringLiteral("Base 2 at ")),
             qPrintable(bases.join(QLatin1Char('|'))));
    QVERIFY(bases[0].endsWith(QStringLiteral(" pieces")));  // interleaved: many pieces each
    const QString tip = w.nodes().index(0, 0, group).data(Qt::ToolTipRole).toString();
    QVERIFY2(tip.startsWith(QStringLiteral("disk.img, offset 0 at byte ")) && tip.endsWith(QStringLiteral("header survived")),
             qPrintable(tip));

    // The tree's rebuilds keep the group as it was.
    QVERIFY(w.frame().routeCommand(command::kViewSystemBase));
    QCOMPARE(childTexts(w, w.group(0)), bases);

    // Recovery on a node reads its own file, no copy first, and lists its messages.
    for (int k = 0; k < 2; ++k) {
      w.select(w.nodes().index(k, 0, w.group(0)));
      QVERIFY(w.run(command::kRecover));
      QCOMPARE(w.rows().rowCount(), static_cast<int>(scenario.messages[static_cast<size_t>(k)].size()));
      QVERIFY2(w.status().startsWith(QStringLiteral("disk.img, base %1: %2 messages recovered")
                                         .arg(k + 1)
                                         .arg(w.rows().rowCount())),
               qPrintable(w.status()));
    }
    QCOMPARE(workingBases(w), (QStringList{"carved-1-1.dbc", "carved-1-2.dbc"}));

    // The View menu's filters are the list's own: one state, whichever way it is changed.
    w.list().setFocus();
    QVERIFY(w.offered(command::kViewHideFragments));
    QAction* hide = w.frame().commandAction(command::kViewHideFragments);
    QVERIFY(hide->isCheckable() && !hide->isChecked());
    w.choose(QStringLiteral("&View"), command::kViewHideFragments);
    QVERIFY(w.rows().recoveryFilter().hideFragments);
    QVERIFY(hide->isChecked());
    std::unique_ptr<QMenu> context = w.list().makeContextMenu(false);
    QAction* contextHide = nullptr;
    for (QAction* action : context->actions())
      if (action->data().toInt() == command::kViewHideFragments) contextHide = action;
    QVERIFY(contextHide && contextHide->isChecked());
    // Turned off from the list, it is off in the menu; the other filter too, with the tree in front.
    QVERIFY(w.list().OnCmdMsg(command::kViewHideFragments));
    w.tree().setFocus();
    w.frame().refreshCommandStates();
    QVERIFY(!hide->isChecked());
    QVERIFY(w.frame().routeCommand(command::kViewOnlyNotInIndex));
    QVERIFY(w.rows().recoveryFilter().onlyNotInIndex);
    QVERIFY(w.frame().commandAction(command::kViewOnlyNotInIndex)->isChecked());

    // A second image (here the same one again) gets files and a group of its own.
    QVERIFY(openImage(w, image));
    QCOMPARE(workingBases(w).size(), 4);
    QVERIFY(workingBases(w).contains(QStringLiteral("carved-2-1.dbc")));
    QCOMPARE(w.nodes().rowCount(w.nodes().rootNode()), 2);
    QCOMPARE(childTexts(w, w.group(1)), bases);

  }

  // The working file's name means nothing to a user: a copy and a mailbox are named after the
  // image and the base's number.
  void aBaseOfAnImageIsCopiedAndSavedUnderTheImagesName() {
    QTemporaryDir images;
    const QString image = images.filePath(QStringLiteral("backup.img"));
    testing::buildCarveScenario(CarveCase::threePieces, 12).image.save(image.toStdString());
    WindowDriver w;
    QVERIFY(w.ready());
    QVERIFY(openImage(w, image));
    w.select(w.nodes().index(0, 0, w.group(0)));
    QVERIFY(w.run(command::kRecover));
    QVERIFY(w.rows().rowCount() > 0);
    const QString out = w.fixture().folder() + QStringLiteral("/out");
    DialogScript script;
    script.folders = {out, out};
    w.fixture().modals().setAnswer(script.answer());

    QVERIFY(w.frame().routeCommand(command::kCopyBase));
    QVERIFY(w.waitUntilIdle());
    QVERIFY(w.frame().routeCommand(command::kSaveAllMbox));
    QCOMPARE(script.shown.size(), size_t{2});
    QCOMPARE(script.shown[0].description, QStringLiteral("Copy backup-base-1.dbx "));
    QCOMPARE(script.shown[1].description, QStringLiteral("Save all messages from \"backup-base-1.dbx\""));
    const QString working = QFile::decodeName(QByteArray::fromStdString(w.doc().tempFolder)) + "/carved-1-1.dbc";
    QCOMPARE(testing::fileText((out + "/backup-base-1.dbx").toStdString()), testing::fileText(working.toStdString()));
    QVERIFY(QFileInfo(out + QStringLiteral("/backup-base-1")).isFile());
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::NoDotAndDotDot).size(), 2);
  }

  void stopDuringTheSearchLeavesNoFile() {
    QTemporaryDir images;
    const QString image = images.filePath(QStringLiteral("disk.img"));
    testing::buildCarveScenario(CarveCase::threePieces, 12).image.save(image.toStdString());
    WindowDriver w;
    QVERIFY(w.ready());
    GatedProgress gate(w.doc().progress);
    w.doc().progress = &gate;
    w.fixture().modals().setAnswer(choosingFile(image));
    QVERIFY(w.frame().routeCommand(command::kOpenDiskImage));
    QVERIFY(gate.reached.wait(std::chrono::seconds(60)));
    QVERIFY(w.offered(command::kStop));
    QVERIFY(!w.offered(command::kOpenDiskImage));
    QVERIFY(w.frame().routeCommand(command::kStop));
    gate.release.set();
    QVERIFY(w.waitUntilIdle());
    w.doc().progress = gate.bar();
    QCOMPARE(w.status(), QStringLiteral("disk.img: search stopped"));
    QVERIFY(workingBases(w).isEmpty());
    QCOMPARE(w.nodes().rowCount(w.nodes().rootNode()), 0);
    QVERIFY(w.fixture().modals().messageTexts().empty());
  }

  void anImageWithoutABaseOrUnreadableIsSaid() {
    QTemporaryDir images;
    const QString image = images.filePath(QStringLiteral("blank.img"));
    testing::DiskImage(64).save(image.toStdString());
    WindowDriver w;
    QVERIFY(w.ready());
    QVERIFY(openImage(w, image));
    QCOMPARE(w.fixture().modals().messageTexts().back(), "No message base was found in " + image.toStdString());
    QCOMPARE(w.status(), QStringLiteral("blank.img: no message base found"));
    QCOMPARE(w.nodes().rowCount(w.nodes().rootNode()), 0);

    const std::string gone = images.filePath(QStringLiteral("gone.img")).toStdString();
    QVERIFY(w.doc().startImageOpen(gone));
    QVERIFY(w.waitUntilIdle());
    const std::string said = w.fixture().modals().messageTexts().back();
    QVERIFY2(said.starts_with("Cannot search disk image " + gone + "\n"), said.c_str());
    QVERIFY(workingBases(w).isEmpty());
  }
};

}  // namespace
}  // namespace vireo::guitest

QTEST_MAIN(vireo::guitest::DiskImageTest)
#include "disk_image_test.moc"
