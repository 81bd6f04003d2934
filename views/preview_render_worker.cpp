#include "views/preview_render_worker.h"

#include <QFile>
#include <filesystem>
#include <exception>
#include <new>
#include <system_error>

#include "content/message_export.h"
#include "platform/failure_reason.h"
#include "platform/folder_path.h"
#include "platform/read_only_file.h"

namespace vireo::views {
namespace {

PreviewResult failed(uint64_t generation, const FailureReason& reason) {
  PreviewResult result;
  result.generation = generation;
  result.failure = QString::fromStdString(describeFailure(reason));
  return result;
}

}  // namespace

PreviewResult renderPreview(const PreviewRequest& request, content::MessageRenderer& renderer) {
  // The temp folder holds at most the preview being made; one left by a render that was cut
  // short goes now.
  removeFilesWithExtension(request.tempFolder, ".mht");
  ReadOnlyFile working;
  if (!working.open(request.workingPath))
    return failed(request.generation, {"cannot open", request.workingPath, {}, working.error()});
  if (auto failure = writeStoredBytes(working, request.blocks, request.previewPath)) {
    if (failure->file.empty()) failure->file = request.workingPath;
    return failed(request.generation, *failure);
  }
  working.close();

  QFile file(QFile::decodeName(request.previewPath.c_str()));
  QByteArray bytes;
  const bool read = file.open(QIODevice::ReadOnly);
  if (read) bytes = file.readAll();
  const bool whole = read && bytes.size() == file.size();
  const QString readError = file.errorString();
  file.close();
  std::error_code ignored;
  std::filesystem::remove(request.previewPath, ignored);
  if (!whole)
    return failed(request.generation, {"cannot read", request.previewPath, {}, readError.toStdString()});

  PreviewResult result;
  result.generation = request.generation;
  try {
    result.message = toServedMessage(renderer.render(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))));
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
