// Starting Vireo with WINEPREFIX pointing at a prefix whose registry names a store folder: the
// tree shows that folder's bases in one group, unless "open store at start" is off.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "shell/base_tree_model.h"
#include "shell/tree_view.h"
#include "shell/vireo_app.h"
#include "tests/gui/support/window_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "views/main_frame.h"

namespace vireo::shell {

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

// The tree as text: "Vireo{folder{Inbox,Sent}}".
QString outline(BaseTreeModel& nodes, const QModelIndex& at) {
  const QString label = at.data().toString();
  if (nodes.itemDataOf(at) < kRootItem) return label;
  QStringList children;
  for (int row = 0; row < nodes.rowCount(at); ++row) children << outline(nodes, nodes.index(row, 0, at));
  return label + QLatin1Char('{') + children.join(QLatin1Char(',')) + QLatin1Char('}');
}

}  // namespace

class StoreDiscoveryTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir scratch_;
  QString store_;

  // Starts the application as main() does, but with its files in the scratch folder.
  QString startedTree(const QByteArray& settings) {
    guitest::ModalAnswers modals;
    QTemporaryDir home;
    writeFile(home.path() + QStringLiteral("/Vireo.conf"), settings);
    DocumentSetup setup = guitest::scratchSetup(home.path());
    setup.storeFolders = DocumentSetup::forUser().storeFolders;
    CVireoApp app;
    app.frameSize = QSize(900, 600);
    if (!app.InitInstance(setup) || !app.waitForStartBases()) return QStringLiteral("not started");
    auto* tree = dynamic_cast<CTreeView_1*>(app.mainWindow()->treeView());
    if (!modals.messageTexts().empty()) return QStringLiteral("a message was shown");
    return outline(*tree->baseModel(), tree->baseModel()->rootNode());
  }

 private slots:
  void initTestCase() {
    QVERIFY(scratch_.isValid());
    const QString prefix = scratch_.path() + QStringLiteral("/prefix");
    store_ = prefix + QStringLiteral("/drive_c/users/ann/Local Settings/Application Data/Identities/{4F1C}/Microsoft/Outlook Express");
    QVERIFY(QDir().mkpath(store_));
    QVERIFY(QDir().mkpath(prefix + QStringLiteral("/dosdevices")));
    QVERIFY(QFile::link(QStringLiteral("../drive_c"), prefix + QStringLiteral("/dosdevices/c:")));
    for (const char* name : {"Inbox.dbx", "Sent Items.dbx"}) {
      testing::DbxWriter writer;
      writer.add(testing::simpleMessage(name));
      writer.build().save((store_ + QLatin1Char('/') + QLatin1String(name)).toStdString());
    }
    writeFile(prefix + QStringLiteral("/system.reg"),
              "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"
              "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\ProfileList\\\\S-1-5-21-0-0-0-1000]\n"
              "\"ProfileImagePath\"=str(2):\"C:\\\\users\\\\ann\"\n");
    writeFile(prefix + QStringLiteral("/user.reg"),
              "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
              "[Identities\\\\{4F1C}\\\\Software\\\\Microsoft\\\\Outlook Express\\\\5.0] 1700000000\n"
              "\"Store Root\"=str(2):\"%UserProfile%\\\\Local Settings\\\\Application Data\\\\Identities\\\\"
              "{4F1C}\\\\Microsoft\\\\Outlook Express\"\n");
    qputenv("WINEPREFIX", prefix.toLocal8Bit());
  }

  void theStoreBasesAppearGroupedUnderTheirFolder() {
    QCOMPARE(startedTree(QByteArray()), QStringLiteral("Vireo{%1{Inbox,Sent Items}}").arg(store_));
  }

  void withoutOpenStoreAtStartTheTreeStaysEmpty() {
    QCOMPARE(startedTree("[Vireo]\noptions=3\n"), QStringLiteral("Vireo{}"));
  }

  void cleanupTestCase() { qunsetenv("WINEPREFIX"); }
};

}  // namespace vireo::shell

QTEST_MAIN(vireo::shell::StoreDiscoveryTest)
#include "store_discovery_test.moc"
