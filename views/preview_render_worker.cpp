#include "views/preview_render_worker.h"

#include <sys/resource.h>
#include <unistd.h>
#include <exception>
#include <new>
#include <vector>

#include "platform/failure_reason.h"
#include "platform/read_only_file.h"

namespace vireo::views {
namespace {

constexpr int kRenderNiceness = 5;

PreviewResult failed(uint64_t generation, const FailureReason& reason) {
  PreviewResult result;
  result.generation = generation;
  result.failure = QString::fromStdString(describeFailure(reason));
  return result;
}

// The message's bytes: its blocks' data in list order. Blocks that follow one another in the file
// (apart by their headers) are read in runs of up to 1 MiB, so a large message costs few reads.
std::optional<FailureReason> readStoredBytes(ReadOnlyFile& in, const BlockList& blocks, std::string& out) {
  constexpr uint64_t kRun = 1 << 20;
  constexpr uint64_t kReadThroughGap = 64;
  const std::vector<BlockRef>& list = blocks.entries;
  size_t total = 0;
  for (const BlockRef& block : list) {
    if (block.length < 0) return FailureReason{"a block of the message has no length", {}, block.offset, {}};
    total += static_cast<uint16_t>(block.length);
  }
  out.clear();
  out.reserve(total);
  std::vector<char> run;
  for (size_t first = 0; first < list.size();) {
    size_t last = first;
    const uint64_t start = list[first].offset;
    uint64_t end = start + static_cast<uint16_t>(list[first].length);
    while (last + 1 < list.size()) {
      const BlockRef& next = list[last + 1];
      const uint64_t nextEnd = uint64_t{next.offset} + static_cast<uint16_t>(next.length);
      if (next.offset < end || next.offset - end > kReadThroughGap || nextEnd - start > kRun) break;
      end = nextEnd;
      ++last;
    }
    run.resize(static_cast<size_t>(end - start));
    if (in.readAt(start, run.data(), run.size()) != run.size())
      return FailureReason{"cannot read the message's blocks", {}, start,
                           in.error().empty() ? "the working file ends before them" : in.error()};
    for (size_t i = first; i <= last; ++i)
      out.append(run.data() + (list[i].offset - start), static_cast<uint16_t>(list[i].length));
    first = last + 1;
  }
  return std::nullopt;
}

}  // namespace

PreviewResult renderPreview(const PreviewRequest& request, content::MessageRenderer& renderer) {
  ReadOnlyFile working;
  if (!working.open(request.workingPath))
    return failed(request.generation, {"cannot open", request.workingPath, {}, working.error()});
  std::string bytes;
  if (auto failure = readStoredBytes(working, request.blocks, bytes)) {
    if (failure->file.empty()) failure->file = request.workingPath;
    return failed(request.generation, *failure);
  }
  working.close();

  PreviewResult result;
  result.generation = request.generation;
  try {
    result.message = toServedMessage(renderer.render(bytes));
  } catch (const std::bad_alloc&) {
    return failed(request.generation, {"out of memory while rendering the message", {}, {}, {}});
  }
  return result;
}

PreviewRenderWorker::PreviewRenderWorker(Delivery deliver)
    : deliver_(std::move(deliver)), thread_([this] { run(); }) {}

PreviewRenderWorker::~PreviewRenderWorker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    waiting_.reset();
  }
  wake_.notify_one();
  thread_.join();
}

void PreviewRenderWorker::request(PreviewRequest request) {
  {
    std::lock_guard lock(mutex_);
    waiting_ = std::move(request);
  }
  wake_.notify_one();
}

void PreviewRenderWorker::dropWaiting() {
  std::lock_guard lock(mutex_);
  waiting_.reset();
}

void PreviewRenderWorker::run() {
  // Rendering is background work: on a busy machine the interface thread goes first.
  (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kRenderNiceness);
  // The renderer's GMime objects stay on this thread.
  content::MessageRenderer renderer;
  for (;;) {
    PreviewRequest next;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || waiting_.has_value(); });
      if (stopping_) return;
      next = std::move(*waiting_);
      waiting_.reset();
    }
    ++started_;
    PreviewResult result;
    try {
      result = renderPreview(next, renderer);
    } catch (const std::exception& error) {
      result = failed(next.generation, {"cannot render the message", {}, {}, error.what()});
    }
    deliver_(std::move(result));
  }
}

}  // namespace vireo::views
