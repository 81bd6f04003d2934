// The core's messages as message boxes: shown on the interface thread whichever thread sends
// them, the worker waiting for the answer, and nothing waited for once the document closes.
#include <QThread>
#include <QtTest>
#include <atomic>
#include <thread>

#include "platform/message_sink.h"
#include "shell/vireo_app.h"
#include "tests/gui/support/window_fixture.h"
#include "views/message_box_bridge.h"
#include "views/vireo_doc.h"

namespace vireo::views {
namespace {

// Sets up readers[0] for a sample base and selects it.
void addSample(CVireoDoc& doc, const char* name) {
  MessageBaseReader& reader = doc.readers[0];
  reader.baseFolder = guitest::samplesFolder().toStdString();
  reader.baseName = name;
  doc.readerCount = 1;
  doc.currentReader = 0;
}

}  // namespace

class MessageBoxBridgeTest : public QObject {
  Q_OBJECT

 private slots:
  void aMessageOfTheInterfaceThreadIsShownAtOnce() {
    guitest::ModalAnswers modals;
    MessageBoxBridge bridge;
    showMessageBox("Cannot copy dbx file");
    const std::vector<guitest::AskedModal> asked = modals.asked();
    QCOMPARE(asked.size(), size_t{1});
    QCOMPARE(asked[0].caption, std::string("Vireo for Outlook Express"));
    QCOMPARE(asked[0].text, std::string("Cannot copy dbx file"));
  }

  void aWorkerWaitsUntilItsBoxIsAnsweredOnTheInterfaceThread() {
    std::atomic<QThread*> answeredOn{nullptr};
    guitest::ModalAnswers modals([&](const ModalRequest&) -> std::optional<int> {
      answeredOn = QThread::currentThread();
      return std::nullopt;
    });
    MessageBoxBridge bridge;
    std::atomic<bool> returned{false};
    std::thread worker([&] {
      showMessageBox("Bad file format, use message base recovery.");
      returned = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(returned.load(), 60000);
    worker.join();
    QCOMPARE(answeredOn.load(), QThread::currentThread());
    QCOMPARE(modals.messageTexts(), (std::vector<std::string>{"Bad file format, use message base recovery."}));
  }

  void onceClosingAWaitingWorkerGoesOnAndLaterMessagesAreDropped() {
    guitest::ModalAnswers modals;
    MessageBoxBridge bridge;
    std::atomic<bool> returned{false};
    std::thread worker([&] {
      showMessageBox("first");
      returned = true;
    });
    // The interface thread does not take the posted box; it begins closing instead.
    QThread::msleep(200);
    QVERIFY(!returned);
    bridge.beginClosing();
    worker.join();
    std::thread late([] { showMessageBox("late"); });
    late.join();
    QCoreApplication::processEvents();
    QVERIFY(modals.messageTexts().empty());
  }

  void aBrowseOfADamagedBaseShowsItsMessageThroughTheWindow() {
    guitest::WindowFixture fixture;
    CVireoDoc& doc = fixture.doc();
    addSample(doc, "Damaged.dbx");
    QVERIFY(doc.startOperation(kOperationBrowse, 0));
    QTRY_VERIFY_WITH_TIMEOUT(doc.doneEvent.isSet(), 60000);
    const std::vector<std::string> texts = fixture.modals().messageTexts();
    QCOMPARE(texts.size(), size_t{1});
    QVERIFY(texts[0].starts_with("Bad file format, use message base recovery."));
  }

  void closingTheWindowWhileTheWorkerWaitsForABoxDoesNotWaitForIt() {
    guitest::WindowFixture fixture;
    CVireoDoc& doc = fixture.doc();
    addSample(doc, "Damaged.dbx");
    // Learn when the worker has handed its box to the interface thread.
    std::atomic<bool> handedOver{false};
    MessageHandler bridge = setMessageHandler({});
    setMessageHandler([&, bridge](const std::string& text) {
      handedOver = true;
      bridge(text);
    });
    QVERIFY(doc.startOperation(kOperationBrowse, 0));
    while (!handedOver) QThread::msleep(10);  // no events are processed: the box stays unshown

    fixture.closeApp();  // the window, then the document, which awaits the worker
    QVERIFY(fixture.modals().messageTexts().empty());
  }
};

}  // namespace vireo::views

QTEST_MAIN(vireo::views::MessageBoxBridgeTest)
#include "message_box_bridge_test.moc"
