#include "reader/image_carve_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>

#include "dbx/image_carve.h"
#include "platform/manual_reset_event.h"
#include "platform/read_only_file.h"
#include "platform/write_all.h"

namespace vireo {
namespace {

constexpr size_t kCopyChunk = size_t{1} << 20;

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

}  // namespace

PieceMap pieceMapOf(const std::string& imagePath, const dbx::FoundBase& base) {
  PieceMap map{imagePath, base.length(), {}};
  for (const dbx::ImageSegment& piece : base.pieces) map.pieces.push_back({piece.baseStart, piece.imageStart, piece.length});
  return map;
}

std::optional<FailureReason> writeFoundBase(const std::string& imagePath, const dbx::FoundBase& base,
                                            const std::string& path) {
  ReadOnlyFile image;
  if (!image.open(imagePath, ReadOnlyFile::Accept::regularFilesAndBlockDevices))
    return FailureReason{"cannot open the image", imagePath, {}, image.error()};
  Descriptor out(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (out.get() < 0) return FailureReason{"cannot create", path, {}, systemErrorText(errno)};
  std::vector<uint8_t> buffer(kCopyChunk);
  for (const dbx::ImageSegment& piece : base.pieces) {
    for (uint64_t done = 0; done < piece.length;) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(kCopyChunk, piece.length - done));
      const size_t got = image.readAt(piece.imageStart + done, buffer.data(), want);
      // What cannot be read of the image stays a hole: recovery skips it like any damage.
      if (got > 0) {
        if (::lseek(out.get(), static_cast<off_t>(piece.baseStart + done), SEEK_SET) < 0 ||
            !writeAll(out.get(), buffer.data(), got))
          return FailureReason{"cannot write", path, piece.baseStart + done, systemErrorText(errno)};
      }
      if (got < want) break;
      done += got;
    }
  }
  if (::ftruncate(out.get(), static_cast<off_t>(base.length())) != 0)
    return FailureReason{"cannot write", path, {}, systemErrorText(errno)};
  if (::close(out.release()) != 0) return FailureReason{"cannot write", path, {}, systemErrorText(errno)};
  return std::nullopt;
}

namespace {

enum class BaseEnd { recovered, failed, nameTaken, stopped };

// Maps base k of the image under its name in the working folder and recovers it there.
BaseEnd recoverBase(const std::string& imagePath, const std::string& workingFolder, size_t k, CarvedBase& base,
                    ManualResetEvent* stopEvent, ProgressSink* progress) {
  if (stopEvent && stopEvent->isSet()) return BaseEnd::stopped;
  MessageBaseReader& reader = base.reader;
  reader.baseFolder = workingFolder;
  reader.baseName = "carved-" + std::to_string(k) + ".dbc";
  base.mapping = std::make_unique<PieceMappedFile>(reader.basePath(), pieceMapOf(imagePath, base.found));
  // Another carve's base, or a file of the folder's, keeps its name.
  if (!base.mapping->registered()) return BaseEnd::nameTaken;
  reader.recoverMode = kRecoverModeRecover;
  reader.stopEvent = stopEvent;
  reader.progress = progress;
  reader.openBase(false);
  reader.stopEvent = nullptr;
  reader.progress = nullptr;
  if (reader.ok == kOperationOk) {
    reader.state = kStateRecovered;
    return BaseEnd::recovered;
  }
  return stopEvent && stopEvent->isSet() ? BaseEnd::stopped : BaseEnd::failed;
}

}  // namespace

ImageCarve carveImage(const std::string& imagePath, const std::string& workingFolder, ManualResetEvent* stopEvent,
                      ProgressSink* progress) {
  ImageCarve carve;
  std::vector<dbx::FoundBase> found;
  carve.outcome = dbx::findBases(imagePath, found, dbx::OperationControl{stopEvent, progress});
  if (!carve.outcome.ok()) return carve;

  // Bases are recovered side by side, taken in order: each recovery has phases on one thread
  // (joining chains, marking fragments, browsing the index) that the other's work fills. The
  // bar follows the bases this thread takes.
  std::vector<std::unique_ptr<CarvedBase>> bases(found.size());
  std::vector<BaseEnd> ends(found.size(), BaseEnd::stopped);
  std::atomic<size_t> next{0};
  std::atomic<bool> halt{false};  // a name taken or a stop: no further base is begun
  const auto work = [&](ProgressSink* bar) {
    while (!halt.load()) {
      const size_t k = next.fetch_add(1);
      if (k >= found.size()) break;
      bases[k] = std::make_unique<CarvedBase>();
      bases[k]->found = std::move(found[k]);
      ends[k] = recoverBase(imagePath, workingFolder, k, *bases[k], stopEvent, bar);
      if (ends[k] == BaseEnd::nameTaken || ends[k] == BaseEnd::stopped) halt = true;
    }
  };
  const size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t helperCount = std::min(found.size(), cores) - std::min<size_t>(found.size(), 1);
  std::vector<std::thread> helpers;
  std::vector<std::exception_ptr> failures(helperCount);
  helpers.reserve(helperCount);
  for (size_t h = 0; h < helperCount; ++h) {
    // Where the system has no thread to spare, fewer threads take all the bases.
    try {
      helpers.emplace_back([&work, &failure = failures[h], &halt] {
        try {
          work(nullptr);
        } catch (...) {
          halt = true;
          failure = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      break;
    }
  }
  std::exception_ptr failure;
  try {
    work(progress);
  } catch (...) {
    halt = true;
    failure = std::current_exception();
  }
  for (std::thread& helper : helpers) helper.join();
  for (const std::exception_ptr& helperFailure : failures)
    if (!failure) failure = helperFailure;
  if (failure) std::rethrow_exception(failure);

  // As if they had been recovered one after another: what comes after a taken name or a stop
  // is left out.
  for (size_t k = 0; k < bases.size(); ++k) {
    if (ends[k] == BaseEnd::nameTaken) {
      carve.outcome.end = dbx::OperationOutcome::End::cannotOpen;
      carve.outcome.reason = FailureReason{"cannot create", bases[k]->reader.basePath(), {}, systemErrorText(EEXIST)};
      break;
    }
    if (ends[k] == BaseEnd::stopped) {
      carve.outcome.end = dbx::OperationOutcome::End::stopped;
      break;
    }
    if (ends[k] == BaseEnd::recovered && bases[k]->reader.validCount > 0) carve.bases.push_back(std::move(bases[k]));
  }
  return carve;
}

}  // namespace vireo
