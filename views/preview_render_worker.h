#pragma once
// Reads and renders the previewed message on a thread of the pane's own, so neither a large
// message nor a slow disk holds up the window. The pane hands over everything the render needs,
// taken from the document on the interface thread: the worker never looks at a reader's table,
// which the document's operation worker may be filling. One render runs at a time; a request
// made while one runs waits, and a newer request replaces it, so a held arrow key never queues a
// render per row.
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "table/block_list.h"
#include "views/served_message.h"

namespace vireo::views {

struct PreviewRequest {
  uint64_t generation = 0;
  std::string workingPath;  // the working file the blocks are in
  BlockList blocks;         // a copy of the row's block list
};

struct PreviewResult {
  uint64_t generation = 0;
  std::optional<ServedMessage> message;  // none when the message could not be read or rendered
  QString failure;                       // why, then
};

class PreviewRenderWorker {
 public:
  // deliver is called on the worker's thread with each result, in order.
  using Delivery = std::function<void(PreviewResult)>;

  explicit PreviewRenderWorker(Delivery deliver);
  // Drops what waits and joins the thread, after the render under way (if any) has ended.
  ~PreviewRenderWorker();
  PreviewRenderWorker(const PreviewRenderWorker&) = delete;
  PreviewRenderWorker& operator=(const PreviewRenderWorker&) = delete;

  // Renders request next; a request still waiting is dropped for it.
  void request(PreviewRequest request);
  // Drops the request still waiting, if any.
  void dropWaiting();
  // How many renders have started since the worker was made.
  int rendersStarted() const { return started_.load(); }

 private:
  void run();

  Delivery deliver_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<PreviewRequest> waiting_;
  bool stopping_ = false;
  std::atomic<int> started_{0};
  std::thread thread_;  // last: it starts once everything above exists
};

// One render, on the calling thread: reads the message's blocks from the working file into memory
// and renders them.
PreviewResult renderPreview(const PreviewRequest& request, content::MessageRenderer& renderer);

}  // namespace vireo::views
