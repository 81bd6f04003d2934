// How commands travel and when they are available: the route's order, the availability rules
// while an operation runs, states refreshed before a menu opens, a disabled command not run,
// and the active view following the focus.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QtTest>

#include "tests/gui/support/window_fixture.h"
#include "views/command_route.h"
#include "views/command_table.h"
#include "views/html_view.h"
#include "views/list_view.h"
#include "views/main_frame.h"
#include "views/view_ex_split_wnd.h"
#include "views/vireo_doc.h"

namespace vireo::views {
namespace {

// A target that handles one command and has an opinion on one, and records what it was asked.
struct RecordingTarget : CCmdTarget {
  RecordingTarget(int handles, int decides, bool enabled) : handles(handles), decides(decides), enabled(enabled) {}
  bool OnCmdMsg(int id) override {
    asked.push_back(id);
    return id == handles;
  }
  std::optional<bool> OnUpdateCmdUI(int id) override {
    return id == decides ? std::optional(enabled) : std::nullopt;
  }
  int handles, decides;
  bool enabled;
  std::vector<int> asked;
};

// A stand-in for the tree: a widget that can take the focus and records its activations.
class RecordingView : public QLineEdit, public CView {
 public:
  RecordingView(CVireoDoc* document, QWidget* parent) : QLineEdit(parent) { attachDocument(document); }
  void OnUpdate(CView*, int) override {}
  void OnActivateView(bool activate, CView* activated, CView* deactivated) override {
    calls.push_back({activate, activated, deactivated});
  }
  QWidget* widget() override { return this; }
  struct Call {
    bool activate;
    CView* activated;
    CView* deactivated;
  };
  std::vector<Call> calls;
};

}  // namespace

class CommandRoutingTest : public QObject {
  Q_OBJECT

 private slots:
  void routeGoesViewDocumentFrameApplication() {
    RecordingTarget view(1, 10, true), document(2, 20, false), frame(1, 10, false), application(3, 30, true);
    const CommandRoute route(&view, &document, &frame, &application);
    QVERIFY(route.run(1));
    QCOMPARE(frame.asked.size(), size_t{0});  // the view handled it first
    QVERIFY(route.run(3));
    QCOMPARE(view.asked, (std::vector<int>{1, 3}));
    QCOMPARE(document.asked, (std::vector<int>{3}));
    QVERIFY(!route.run(4));

    QVERIFY(route.enabled(10));   // the view's opinion wins over the frame's
    QVERIFY(!route.enabled(20));
    QVERIFY(route.enabled(30));
    QVERIFY(!route.enabled(99));  // nobody has an opinion: disabled
    QVERIFY(!CommandRoute(nullptr, nullptr, nullptr, &application).enabled(10));
  }

  void availabilityFollowsFlagsAndTheRunningOperation() {
    guitest::WindowFixture fixture;
    C3WaySplitter_1& frame = fixture.frame();
    CVireoDoc& doc = fixture.doc();
    auto enabled = [&](int id) { return frame.commandAction(id)->isEnabled(); };

    QVERIFY(!enabled(command::kStop));
    QVERIFY(enabled(command::kAddBase));
    QVERIFY(!enabled(command::kBrowse));
    QVERIFY(!enabled(command::kSaveSelected));
    QVERIFY(enabled(command::kOptions));
    QVERIFY(enabled(command::kAppAbout));
    QVERIFY(enabled(command::kHelpFinder));
    QVERIFY(enabled(command::kAppExit));

    doc.canBrowse = doc.canRecover = doc.canRemoveBase = doc.canCopyBase = doc.canSaveSelected = 1;
    doc.operationRunning = 1;
    doc.requestCommandRefresh();
    QVERIFY(enabled(command::kStop));
    QVERIFY(enabled(command::kSaveSelected));  // saving reads only what the list shows
    for (int id : {command::kBrowse, command::kRecover, command::kAddBase, command::kRemoveBase, command::kCopyBase})
      QVERIFY2(!enabled(id), qPrintable(QString::number(id)));

    doc.canSaveSelected = 0;
    doc.operationRunning = 0;
    doc.requestCommandRefresh();
    QVERIFY(!enabled(command::kStop));
    QVERIFY(!enabled(command::kSaveSelected));
    QVERIFY(enabled(command::kBrowse));
  }

  void statesAreRefreshedBeforeAMenuOpensAndAfterUpdates() {
    guitest::WindowFixture fixture;
    C3WaySplitter_1& frame = fixture.frame();
    CVireoDoc& doc = fixture.doc();
    QMenu* tools = frame.menuBar()->actions().at(1)->menu();
    QAction* stop = frame.commandAction(command::kStop);
    QVERIFY(!stop->isEnabled());

    doc.operationRunning = 1;  // nobody announces it
    QVERIFY(!stop->isEnabled());
    tools->popup(QPoint(0, 0));
    QVERIFY(stop->isEnabled());
    tools->hide();

    doc.operationRunning = 0;
    doc.UpdateAllViews(nullptr, 6);
    QVERIFY(!stop->isEnabled());
  }

  void aDisabledCommandIsNotRun() {
    guitest::WindowFixture fixture;
    CVireoDoc& doc = fixture.doc();
    doc.stopEvent.reset();
    QVERIFY(!fixture.frame().routeCommand(command::kStop));
    QVERIFY(!doc.stopEvent.isSet());

    doc.operationRunning = 1;
    QVERIFY(fixture.frame().routeCommand(command::kStop));
    QVERIFY(doc.stopEvent.isSet());
    doc.operationRunning = 0;
  }

  void theFocusedPaneIsTheActiveView() {
    guitest::WindowFixture fixture;
    C3WaySplitter_1& frame = fixture.frame();
    frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    QCOMPARE(frame.GetActiveView(), frame.treeView());

    frame.listView()->setFocus();
    QTRY_COMPARE(frame.GetActiveView(), static_cast<CView*>(frame.listView()));
    // Both splitters answer with the active view, whichever holds it.
    QCOMPARE(frame.innerSplitter()->GetActivePane(), static_cast<QWidget*>(frame.listView()));
    QCOMPARE(frame.outerSplitter()->GetActivePane(), static_cast<QWidget*>(frame.listView()));

    frame.htmlView()->setFocus();
    QTRY_COMPARE(frame.GetActiveView(), static_cast<CView*>(frame.htmlView()));

    // The toolbar taking the focus leaves the active view alone.
    QWidget* button = frame.toolBar()->widgetForAction(frame.commandAction(command::kAddBase));
    button->setFocusPolicy(Qt::StrongFocus);
    button->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), button);
    QCOMPARE(frame.GetActiveView(), static_cast<CView*>(frame.htmlView()));

    frame.SetActiveView(nullptr);
    QCOMPARE(frame.innerSplitter()->GetActivePane(), button);
  }

  void activationTellsTheOldAndTheNewView() {
    QTemporaryDir scratch;
    guitest::ModalAnswers modals;
    CVireoDoc doc(guitest::scratchSetup(scratch.path()));
    C3WaySplitter_1 frame;
    frame.resize(800, 600);
    RecordingView* tree = nullptr;
    CCreateContext context{&doc, [&tree](CVireoDoc* document, QWidget* parent) {
                             tree = new RecordingView(document, parent);
                             return static_cast<CView*>(tree);
                           }};
    QVERIFY(frame.LoadFrame(context));
    frame.InitialUpdateFrame();
    frame.show();
    frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    QCOMPARE(tree->calls.size(), size_t{1});
    QVERIFY(tree->calls[0].activate);
    QCOMPARE(tree->calls[0].activated, static_cast<CView*>(tree));
    QCOMPARE(tree->calls[0].deactivated, nullptr);

    frame.listView()->setFocus();
    QTRY_COMPARE(tree->calls.size(), size_t{2});
    QVERIFY(!tree->calls[1].activate);
    QCOMPARE(tree->calls[1].activated, static_cast<CView*>(frame.listView()));
    QCOMPARE(tree->calls[1].deactivated, static_cast<CView*>(tree));

    tree->setFocus();
    QTRY_COMPARE(tree->calls.size(), size_t{3});
    QVERIFY(tree->calls[2].activate);
    QCOMPARE(tree->calls[2].deactivated, static_cast<CView*>(frame.listView()));
  }
};

}  // namespace vireo::views

QTEST_MAIN(vireo::views::CommandRoutingTest)
#include "command_routing_test.moc"
