// The preview's render worker alone (no web engine, so it also runs under ThreadSanitizer):
// reading a message's blocks from a working file, collapsing requests, and stopping mid-render.
#include <QtTest>
#include <condition_variable>
#include <fstream>
#include <mutex>

#include "tools/dbx_writer/message_text.h"
#include "tools/dbx_writer/scratch_dir.h"
#include "views/preview_render_worker.h"

namespace vireo::views {
namespace {

// Writes text to path as blocks of at most blockSize bytes, each after a 16-byte header, stored
// in the file in reverse order; returns the block list in message order.
BlockList writeBlocks(const std::string& path, const std::string& text, size_t blockSize) {
  std::vector<std::string> pieces;
  for (size_t at = 0; at < text.size(); at += blockSize) pieces.push_back(text.substr(at, blockSize));
  std::ofstream out(path, std::ios::binary);
  BlockList blocks;
  blocks.entries.resize(pieces.size());
  uint32_t offset = 0;
  for (size_t i = pieces.size(); i-- > 0;) {
    out << std::string(16, '\xEE') << pieces[i];
    blocks.entries[i] = {offset + 16, static_cast<int16_t>(pieces[i].size())};
    offset += static_cast<uint32_t>(16 + pieces[i].size());
  }
  return blocks;
}

// Collects what the worker delivers, from its thread.
struct Inbox {
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<PreviewResult> results;

  PreviewRenderWorker::Delivery delivery() {
    return [this](PreviewResult result) {
      std::lock_guard lock(mutex);
      results.push_back(std::move(result));
      arrived.notify_all();
    };
  }
  bool waitFor(uint64_t generation) {
    std::unique_lock lock(mutex);
    return arrived.wait_for(lock, std::chrono::seconds(60), [&] {
      return !results.empty() && results.back().generation == generation;
    });
  }
};

}  // namespace

class PreviewRenderWorkerTest : public QObject {
  Q_OBJECT

 private slots:
  void theBlocksAreReadInListOrderAndRendered() {
    testing::ScratchDir dir;
    const std::string text = testing::simpleMessage("Pieces", "First part, then the second part.\r\n");
    PreviewRequest request;
    request.workingPath = dir.file("working");
    request.blocks = writeBlocks(request.workingPath, text, 7);
    content::MessageRenderer renderer;
    PreviewResult result = renderPreview(request, renderer);
    QVERIFY(result.message);
    QCOMPARE(result.message->headers.subject, std::string("Pieces"));
    QVERIFY(result.message->page.contains("First part, then the second part."));

    // A block past the end of the file: the reason, no message.
    request.blocks.entries.push_back({1u << 20, 100});
    result = renderPreview(request, renderer);
    QVERIFY(!result.message);
    QVERIFY2(result.failure.startsWith(QStringLiteral("cannot read the message's blocks")), qPrintable(result.failure));
    QVERIFY(result.failure.contains(QString::fromStdString(request.workingPath)));

    request.workingPath = dir.file("missing");
    result = renderPreview(request, renderer);
    QVERIFY(!result.message);
    QVERIFY(result.failure.startsWith(QStringLiteral("cannot open")));
  }

  void requestsMadeWhileOneRendersCollapseIntoTheNewest() {
    testing::ScratchDir dir;
    PreviewRequest request;
    request.workingPath = dir.file("working");
    request.blocks = writeBlocks(request.workingPath, testing::simpleMessage("Any", std::string(1 << 20, 'x')), 512);
    Inbox inbox;
    {
      PreviewRenderWorker worker(inbox.delivery());
      for (uint64_t generation = 1; generation <= 50; ++generation) {
        request.generation = generation;
        worker.request(request);
      }
      QVERIFY(inbox.waitFor(50));
      QVERIFY2(worker.rendersStarted() < 50, qPrintable(QString::number(worker.rendersStarted())));
    }
    // In order, each once, the newest last.
    for (size_t i = 1; i < inbox.results.size(); ++i)
      QVERIFY(inbox.results[i - 1].generation < inbox.results[i].generation);
    QVERIFY(inbox.results.back().message);
  }

  void destroyingTheWorkerWhileItRendersWaitsForIt() {
    testing::ScratchDir dir;
    PreviewRequest request;
    request.workingPath = dir.file("working");
    request.blocks = writeBlocks(request.workingPath, testing::simpleMessage("Large", std::string(8 << 20, 'y')), 4096);
    Inbox inbox;
    {
      PreviewRenderWorker worker(inbox.delivery());
      request.generation = 1;
      worker.request(request);
      request.generation = 2;
      worker.request(request);
      QTRY_VERIFY(worker.rendersStarted() >= 1);
    }
    // The render under way ended and was delivered; the one waiting was dropped.
    QVERIFY(inbox.results.size() <= 2);
  }
};

}  // namespace vireo::views

QTEST_GUILESS_MAIN(vireo::views::PreviewRenderWorkerTest)
#include "preview_render_worker_test.moc"
