// The pieces the tree is built from: the image rules and pictures, the progress bar the worker
// drives, the completion messages' way to the interface thread, and the bar's place.
#include <QImage>
#include <QPointer>
#include <QProgressBar>
#include <QThread>
#include <QtTest>
#include <thread>

#include "dbx/layout.h"
#include "shell/operation_status.h"
#include "shell/tree_images.h"
#include "views/progress_bar_sink.h"
#include "views/progress_status_bar.h"
#include "views/queued_completion.h"

namespace vireo::testing {
namespace {

using namespace shell::image;

QImage rendered(const QIcon& icon) { return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32); }

// Counts the events an object receives, timers aside.
struct EventCounter : QObject {
  int events = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::Timer) ++events;
    return false;
  }
};

}  // namespace

class TreePartsTest : public QObject {
  Q_OBJECT

 private slots:
  void aBaseImageFollowsKindStateAndBrowseFailed() {
    struct Case {
      int kind, state;
      bool failed;
      int image;
    };
    const Case cases[] = {
        {1, 1, false, kMailBrowsed},     {2, 1, true, kNewsBrowsed},      {7, 1, false, kOtherBrowsed},
        {11, 1, false, kOtherBrowsed},   {0, 1, false, kOtherBrowsed},    {1, 2, true, kMailRecovered},
        {2, 2, false, kNewsRecovered},   {13, 2, false, kOtherRecovered}, {1, 0, false, kMailNotRead},
        {1, 0, true, kMailBadFormat},    {2, 0, false, kNewsNotRead},     {2, 0, true, kNewsBadFormat},
        {7, 0, false, kOtherNotRead},    {7, 0, true, kOtherBadFormat},   {0, 0, true, kOtherBadFormat},
        {11, 0, false, kSystemBase},     {12, 0, true, kSystemBase},      {13, 0, false, kSystemBase}};
    for (const Case& c : cases) {
      const int image = shell::baseImage(c.kind, c.state, c.failed);
      QVERIFY2(image == c.image, qPrintable(QStringLiteral("kind %1 state %2 failed %3: %4").arg(c.kind).arg(c.state).arg(c.failed).arg(image)));
      QCOMPARE(image % 2, 0);
    }
  }

  void theImageListHoldsEachPictureTwice() {
    const std::vector<QIcon> images = shell::buildTreeImageList();
    QCOMPARE(images.size(), size_t{kCount});
    for (int k = 0; k < kCount; k += 2) {
      const QImage picture = rendered(images[static_cast<size_t>(k)]);
      QVERIFY2(!picture.isNull() && picture.pixelColor(8, 8).alpha() > 0, qPrintable(QString::number(k)));
      QCOMPARE(rendered(images[static_cast<size_t>(k + 1)]), picture);
      QVERIFY(!shell::imageDescription(k).isEmpty());
    }
    QCOMPARE(rendered(images[12]), rendered(images[kRoot]));
    QCOMPARE(rendered(images[kOtherNotRead]), rendered(images[kRoot]));
    // The states of one kind are told apart.
    const int mail[] = {kMailNotRead, kMailBrowsed, kMailRecovered, kMailBadFormat};
    for (int a : mail)
      for (int b : mail)
        if (a < b) QVERIFY(rendered(images[static_cast<size_t>(a)]) != rendered(images[static_cast<size_t>(b)]));
  }

  void theSinkShowsTheWorkersNumbersAsABarWould() {
    QProgressBar bar;
    views::ProgressBarSink sink;
    sink.attach(&bar);
    QCOMPARE(bar.maximum(), 100);
    QCOMPARE(bar.value(), 0);
    sink.stepIt();  // a new bar steps by 10
    sink.refresh();
    QCOMPARE(bar.value(), 10);
    sink.setRange(30);
    sink.setStep(1);
    sink.setPos(20);
    sink.refresh();
    QCOMPARE(bar.maximum(), 30);
    QCOMPARE(bar.value(), 20);
    sink.setStep(15);
    sink.stepIt();  // past the end it starts over
    QCOMPARE(sink.position(), 5u);
    sink.setRange(4000000000u);
    sink.setPos(3000000000u);
    sink.refresh();
    QVERIFY(bar.maximum() > 0);
    QCOMPARE(bar.value() / (bar.maximum() / 100), 75);
    sink.setRange(0);
    sink.refresh();
    QVERIFY(bar.maximum() > bar.minimum());  // never a busy indicator

    sink.attach(&bar);
    QCOMPARE(sink.maximum(), 100u);
    QCOMPARE(bar.value(), 0);
    sink.detach();
    sink.setPos(50);
    sink.refresh();
    QCOMPARE(bar.value(), 0);
  }

  void aWorkerFeedingTheSinkPostsNothingAndTheBarCatchesUp() {
    QProgressBar bar;
    views::ProgressBarSink sink;
    EventCounter counter;
    sink.installEventFilter(&counter);
    bar.installEventFilter(&counter);
    sink.attach(&bar);
    std::thread worker([&] {
      sink.setRange(3000000);
      sink.setStep(1);
      for (int i = 0; i < 3000000; ++i) sink.stepIt();
    });
    worker.join();
    QCOMPARE(counter.events, 0);
    QTRY_COMPARE_WITH_TIMEOUT(bar.value(), 3000000, 60000);
  }

  void completionsAreHandledOnTheInterfaceThreadBeforeTheWorkerGoesOn() {
    QObject receiver;
    std::vector<int> handled;
    QThread* handledOn = nullptr;
    const CompletionSink sink = views::queuedCompletionSink(&receiver, [&](int message) {
      handled.push_back(message);
      handledOn = QThread::currentThread();
    });
    std::future<void> done;
    std::thread worker([&] { done = sink(kOperationSucceeded); });
    worker.join();
    QVERIFY(handled.empty());
    QCOMPARE(done.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    QTRY_COMPARE_WITH_TIMEOUT(done.wait_for(std::chrono::seconds(0)), std::future_status::ready, 60000);
    QCOMPARE(handled, std::vector<int>{kOperationSucceeded});
    QCOMPARE(handledOn, QThread::currentThread());
  }

  void aCompletionForAReceiverThatIsGoneStillEndsTheWait() {
    auto receiver = std::make_unique<QObject>();
    bool handled = false;
    const CompletionSink sink = views::queuedCompletionSink(receiver.get(), [&](int) { handled = true; });
    std::future<void> done = sink(kOperationFailed);
    receiver.reset();
    QCOMPARE(done.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    QCoreApplication::processEvents();
    QVERIFY(!handled);
  }

  void theBarStartsWhereTheTextEndsAndFillsThePane() {
    QWidget window;
    auto* statusBar = new views::ProgressStatusBar(&window);
    statusBar->setGeometry(0, 0, 600, 30);
    window.show();
    QCoreApplication::processEvents();
    const QString text = shell::operationStatusText(kOperationRecover, "Sent Items.dbx");
    QCOMPARE(text, QStringLiteral("Recovering of Sent Items.dbx:"));
    QCOMPARE(shell::operationStatusText(kOperationBrowse, "Inbox.dbx"), QStringLiteral("Browsing of Inbox.dbx:"));
    const QRect pane = statusBar->GetItemRect(0);
    const QFontMetrics metrics(statusBar->paneFont());
    const int e = metrics.height() / 8;
    const QRect place = shell::progressBarRect(*statusBar, text);
    QCOMPARE(place.left(), pane.left() + metrics.horizontalAdvance(text));
    QCOMPARE(place.left() + place.width(), pane.left() + pane.width());
    QCOMPARE(place.top(), pane.top() + e);
    QCOMPARE(place.top() + place.height(), pane.top() + metrics.height() - e);

    QPointer<QProgressBar> bar = shell::showOperationStatus(*statusBar, text);
    QCOMPARE(bar->geometry(), place);
    QCOMPARE(statusBar->progressGap, 600 - place.width());
    shell::endOperationStatus(statusBar, bar);
    QVERIFY(!bar);
    QCOMPARE(statusBar->progressShown, 0);
    QCOMPARE(statusBar->paneId(0), 0);
  }
};

}  // namespace vireo::testing

QTEST_MAIN(vireo::testing::TreePartsTest)
#include "tree_parts_test.moc"
