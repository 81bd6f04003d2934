// The window's responsiveness while it recovers a base of about 2 GB and while it copies that
// base to another folder: the longest wait between ticks of a 10 ms timer on the interface
// thread (repaint and input can be no later than that), the whole recovery's and copy's time, and
// how soon a Stop pressed in each phase is done, against one sequential read of the same file.
// window_bench [BASE_MIB [TOTAL_MB [copy]]]: a writer base of BASE_MIB MiB (default 500) repeated
// up to TOTAL_MB * 1,000,000 bytes (default 2,000); with "copy", only the copy, three times.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <vector>

#include "bench/bench_support.h"
#include "platform/modal_answer.h"
#include "shell/base_tree_model.h"
#include "shell/tree_view.h"
#include "shell/vireo_app.h"
#include "tools/dbx_writer/scratch_dir.h"
#include "views/main_frame.h"
#include "views/progress_bar_sink.h"
#include "views/save_messages_dialog.h"
#include "views/vireo_doc.h"

namespace {

using namespace vireo;

// A writer base of realistic messages of about baseBytes, then copies of its bytes up to
// totalBytes. A copy's blocks do not lie at the offsets they name, so recovery scans the whole
// file and finds the first copy's messages only. Returns the number of messages written.
int writeRepeatedBase(const std::string& path, uint64_t baseBytes, uint64_t totalBytes) {
  int messages = 0;
  const testing::DbxImage image = bench::recoveryBase(baseBytes, messages);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (uint64_t written = 0; written < totalBytes && out;) {
    const uint64_t take = std::min<uint64_t>(image.bytes.size(), totalBytes - written);
    out.write(reinterpret_cast<const char*>(image.bytes.data()), static_cast<std::streamsize>(take));
    written += take;
  }
  return out ? messages : -1;
}

// Which part of a recovery the progress bar shows: the scan fills the first third of a range of
// 300, joining the second third and reading the last of ranges that count candidates and records.
enum class Phase { scan, joining, reading };

struct BarReading {
  uint32_t position = 0;
  uint32_t maximum = 0;
  Phase phase() const {
    if (maximum == 300) return Phase::scan;
    return uint64_t{position} * 3 < uint64_t{maximum} * 2 ? Phase::joining : Phase::reading;
  }
  // How far into its own third the phase is, 0 to 1.
  double withinPhase() const {
    if (maximum == 0) return 0;
    const double third = maximum / 3.0;
    const double start = phase() == Phase::scan ? 0 : phase() == Phase::joining ? third : 2 * third;
    return std::clamp((position - start) / third, 0.0, 1.0);
  }
};

const char* phaseName(Phase phase) {
  return phase == Phase::scan ? "scan" : phase == Phase::joining ? "joining" : "reading";
}

struct RunFigures {
  double seconds = 0;           // from the command to its completion handled
  double longestGapMs = 0;      // between two ticks of the 10 ms timer
  double longestGapEndMs = 0;   // when it ended, from the command
  int ticks = 0;
  double stopToDoneMs = -1;     // from Stop to the completion handled; -1: not stopped
  BarReading atStop;
  int stateAfter = 0;           // the reader's state: 2 recovered, 0 stopped
  int records = 0;
};

// A 10 ms timer on the interface thread that keeps the longest gap between two of its ticks:
// repaint and input wait as long at most.
class TickGaps {
 public:
  TickGaps() {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 now = clock_.nsecsElapsed();
      if (ticks_ > 0 && (now - lastTick_) / 1e6 > longestMs_) {
        longestMs_ = (now - lastTick_) / 1e6;
        longestEndMs_ = now / 1e6;
      }
      lastTick_ = now;
      ++ticks_;
    });
  }
  void start() {
    clock_.start();
    timer_.start();
  }
  void stop() { timer_.stop(); }
  double longestMs() const { return longestMs_; }
  double longestEndMs() const { return longestEndMs_; }  // when the longest gap ended, from start()
  int ticks() const { return ticks_; }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 lastTick_ = 0;
  int ticks_ = 0;
  double longestMs_ = 0;
  double longestEndMs_ = 0;
};

// The real window over a scratch folder, with the base listed and selected in the tree.
class WindowUnderTest {
 public:
  WindowUnderTest(const std::string& scratch, const std::string& base) {
    setModalAnswerer([this](const ModalRequest& request) -> std::optional<int> {
      // The copy's folder dialog gets the folder the bench copies to.
      auto* dialog = qobject_cast<views::SaveMessagesDialog*>(static_cast<QDialog*>(request.dialog));
      if (request.kind == ModalKind::Dialog && dialog && !copyFolder.empty()) {
        dialog->folderEdit()->setText(QString::fromStdString(copyFolder));
        return int{QDialog::Accepted};
      }
      if (request.kind == ModalKind::MessageBox && request.text.starts_with(kBaseCopiedText)) return int{QMessageBox::Ok};
      ++boxes;
      std::fprintf(stderr, "box: %s\n", request.text.c_str());
      return request.kind == ModalKind::MessageBox ? int{QMessageBox::Ok} : int{QDialog::Rejected};
    });
    DocumentSetup setup;
    setup.settingsFile = scratch + "/Vireo.conf";
    setup.fallbackTempFolder = scratch + "/temp_vir";
    setup.exportFolder = scratch + "/export";
    app_.frameSize = QSize(1100, 700);
    app_.ParseCommandLine({QString::fromStdString(base)});
    started_ = app_.InitInstance(setup) && app_.waitForStartBases();
    if (!started_) return;
    tree_ = dynamic_cast<shell::CTreeView_1*>(app_.mainWindow()->treeView());
    const QModelIndex node = tree_ ? tree_->baseModel()->findBase(0) : QModelIndex();
    if (!node.isValid()) {
      started_ = false;
      return;
    }
    tree_->setFocus();
    tree_->expand(node.parent());
    tree_->setCurrentIndex(node);
    QApplication::processEvents();
  }
  ~WindowUnderTest() { setModalAnswerer({}); }

  bool started() const { return started_; }

  // Recovers the base through the tree's Recover command, a 10 ms timer ticking on the interface
  // thread throughout; presses Stop once stopWhen says so.
  RunFigures recover(const std::function<bool(const BarReading&)>& stopWhen = {}) {
    RunFigures figures = runWatched(command::kRecover, "recovery", stopWhen, true);
    const views::CVireoDoc& doc = *app_.document();
    figures.stateAfter = doc.readers[0].state;
    figures.records = doc.readers[0].validCount;
    return figures;
  }

  // Copies the base into folder through "Copy message base to ...", a 10 ms timer ticking on the
  // interface thread throughout; presses Stop once the bar has reached stopAtPermille (of 1,000).
  RunFigures copy(const std::string& folder, uint32_t stopAtPermille = 0) {
    copyFolder = folder;
    const auto stopWhen = [stopAtPermille](const BarReading& bar) {
      return stopAtPermille > 0 && bar.maximum == 1000 && bar.position >= stopAtPermille;
    };
    RunFigures figures = runWatched(command::kCopyBase, "copy", stopWhen, false);
    copyFolder.clear();
    return figures;
  }

  // Starts a recovery and returns, with it still running, once `when` says so (false when the
  // recovery ended first). The bench then closes the window by destroying it.
  bool recoverUntil(const std::function<bool(const BarReading&)>& when) {
    views::CVireoDoc& doc = *app_.document();
    doc.doneEvent.wait(std::chrono::milliseconds(10000));
    QEventLoop loop;
    bool reached = false;
    QTimer watch;
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (!doc.operationRunning) {
        loop.quit();
      } else if (when({tree_->progressSink()->position(), tree_->progressSink()->maximum()})) {
        reached = true;
        loop.quit();
      }
    });
    watch.start();
    app_.mainWindow()->commandAction(command::kRecover)->trigger();
    if (doc.operationRunning) loop.exec();
    return reached;
  }
  std::string tempFolder() const { return app_.document()->tempFolder; }

  // The longest gap between ticks of the same timer while the window is idle, for comparison.
  double idleLongestGapMs(int milliseconds) {
    QEventLoop loop;
    TickGaps gaps;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    gaps.start();
    loop.exec();
    return gaps.longestMs();
  }

  std::atomic<int> boxes{0};
  std::string copyFolder;  // answered in the copy's folder dialog while not empty

 private:
  // A view of the document: the completion's update of all views (hint 6 with no operation
  // running) marks the moment the completion has been handled.
  // Runs commandId, a 10 ms timer ticking on the interface thread throughout, and presses Stop
  // once stopWhen says so. The end is when the operation no longer runs or, with
  // timeCompletion, when the completion's update of every view has been handled.
  RunFigures runWatched(int commandId, const char* what, const std::function<bool(const BarReading&)>& stopWhen,
                        bool timeCompletion) {
    RunFigures figures;
    views::CVireoDoc& doc = *app_.document();
    views::C3WaySplitter_1& frame = *app_.mainWindow();
    // The last run's worker may still be ending after its completion was handled.
    doc.doneEvent.wait(std::chrono::milliseconds(10000));

    QEventLoop loop;
    QElapsedTimer clock;
    qint64 stopAt = -1;
    qint64 doneAt = -1;
    TickGaps gaps;
    // Watches for the moment to stop and for the operation's end.
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (!doc.operationRunning) {
        if (doneAt < 0) doneAt = clock.nsecsElapsed();
        loop.quit();
        return;
      }
      const BarReading bar{tree_->progressSink()->position(), tree_->progressSink()->maximum()};
      if (stopWhen && stopAt < 0 && stopWhen(bar)) {
        figures.atStop = bar;
        stopAt = clock.nsecsElapsed();
        frame.commandAction(command::kStop)->trigger();
      }
    });
    CompletionClock completion(doc, clock, doneAt);

    clock.start();
    gaps.start();
    watch.start();
    frame.commandAction(commandId)->trigger();
    // The command itself empties the list of a base read before, with the same update.
    completion.armed = timeCompletion;
    if (!doc.operationRunning) {
      std::fprintf(stderr, "window_bench: the %s did not start\n", what);
      return figures;
    }
    loop.exec();
    gaps.stop();
    watch.stop();
    figures.longestGapMs = gaps.longestMs();
    figures.longestGapEndMs = gaps.longestEndMs();
    figures.ticks = gaps.ticks();
    figures.seconds = doneAt / 1e9;
    if (stopAt >= 0) figures.stopToDoneMs = (doneAt - stopAt) / 1e6;
    return figures;
  }

  class CompletionClock : public views::CView {
   public:
    CompletionClock(views::CVireoDoc& doc, const QElapsedTimer& clock, qint64& doneAt)
        : doc_(doc), clock_(clock), doneAt_(doneAt) {
      attachDocument(&doc);
    }
    ~CompletionClock() override { attachDocument(nullptr); }
    void OnUpdate(views::CView*, int hint) override {
      if (armed && hint == 6 && !doc_.operationRunning && doneAt_ < 0) doneAt_ = clock_.nsecsElapsed();
    }
    QWidget* widget() override { return nullptr; }

    bool armed = false;

   private:
    views::CVireoDoc& doc_;
    const QElapsedTimer& clock_;
    qint64& doneAt_;
  };

  shell::CVireoApp app_;
  shell::CTreeView_1* tree_ = nullptr;
  bool started_ = false;
};

void printStop(const char* when, const RunFigures& run, double wholeSeconds) {
  std::printf("stop %-13s (pressed at %-7s %3.0f%%): Stop to done %5.1f ms (%.1f%% of a whole recovery), ", when,
              phaseName(run.atStop.phase()), 100 * run.atStop.withinPhase(), run.stopToDoneMs,
              100 * run.stopToDoneMs / 1000 / wholeSeconds);
  if (run.ticks >= 2) std::printf("longest tick gap %.1f ms, ", run.longestGapMs);
  std::printf("%s\n", run.stateAfter == 0 ? "stopped, base not read" : "NOT stopped: the recovery had ended");
}

// The copy of the base through the window into folder: its time, the longest tick gap while it
// ran against an idle window's over as long, and a Stop pressed at 30%. False when the copy was
// not whole or the stopped one left a file.
bool copyFigures(WindowUnderTest& window, const std::string& copies, uint64_t size) {
  std::filesystem::create_directories(copies);
  const RunFigures copied = window.copy(copies);
  std::error_code sizeError;
  const bool copiedWhole = std::filesystem::file_size(copies + "/Large.dbx", sizeError) == size && !sizeError;
  const double idleGap = window.idleLongestGapMs(static_cast<int>(copied.seconds * 1000));
  std::printf("copy of the base through the window: %.3f s (%.2f GB/s), %s\n", copied.seconds,
              static_cast<double>(size) / copied.seconds / 1e9, copiedWhole ? "copied whole" : "NOT COPIED");
  std::printf("  longest gap between 10 ms ticks while it ran: %.1f ms, ending %.0f ms into the copy's %.0f ms; idle window over as long: %.1f ms (goal: under 50 ms)\n",
              copied.longestGapMs, copied.longestGapEndMs, copied.seconds * 1000, idleGap);
  std::filesystem::remove(copies + "/Large.dbx", sizeError);
  const RunFigures copyStopped = window.copy(copies, 300);
  std::error_code listError;
  const bool copiesEmpty = std::filesystem::is_empty(copies, listError) && !listError;
  std::printf("stop during the copy (pressed at %.0f%%): Stop to done %.1f ms, longest tick gap %.1f ms, %s\n",
              copyStopped.atStop.position / 10.0, copyStopped.stopToDoneMs, copyStopped.longestGapMs,
              copiesEmpty ? "no file left" : "A FILE WAS LEFT");
  return copiedWhole && copiesEmpty;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const uint64_t baseBytes = (argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 500) << 20;
  const uint64_t totalBytes = (argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 2000) * 1000000;

  testing::ScratchDir folder;  // under $TMPDIR or /tmp, removed with the base at the end
  const std::string path = folder.file("Large.dbx");
  const int messages = writeRepeatedBase(path, baseBytes, totalBytes);
  if (messages < 0) {
    std::fprintf(stderr, "window_bench: cannot write %s\n", path.c_str());
    return 1;
  }
  const auto size = std::filesystem::file_size(path);
  std::printf("base: %d messages in the first %.0f MiB, repeated to %.2f GB\n", messages,
              static_cast<double>(baseBytes) / (1 << 20), static_cast<double>(size) / 1e9);

  bench::sequentialReadSeconds(path);  // warm the page cache for every measurement
  const double read = bench::medianSeconds(3, [&] { bench::sequentialReadSeconds(path); });
  std::printf("sequential read: %.3f s, %.2f GB/s\n", read, static_cast<double>(size) / read / 1e9);

  std::optional<WindowUnderTest> window;
  window.emplace(folder.path(), path);
  if (!window->started()) {
    std::fprintf(stderr, "window_bench: the window did not start\n");
    return 1;
  }
  // window_bench ... copy: only the copy, three times.
  if (argc > 3 && std::string(argv[3]) == "copy") {
    bool ok = true;
    for (int run = 0; run < 3; ++run) ok = copyFigures(*window, folder.file("copies"), size) && ok;
    return ok ? 0 : 1;
  }
  const double idleGap = window->idleLongestGapMs(1000);
  std::printf("idle window: longest gap between 10 ms ticks %.1f ms\n", idleGap);

  const RunFigures whole = window->recover();
  std::printf("whole recovery through the window: %.3f s, %d messages listed, %.2fx the read\n", whole.seconds,
              whole.records, whole.seconds / read);
  std::printf("  longest gap between 10 ms ticks while it ran: %.1f ms (%.2fx the idle window's)\n",
              whole.longestGapMs, whole.longestGapMs / idleGap);

  struct Moment {
    const char* name;
    std::function<bool(const BarReading&)> reached;
  };
  const std::vector<Moment> moments = {
      {"early in scan", [](const BarReading& b) { return b.phase() == Phase::scan && b.withinPhase() >= 0.05; }},
      {"late in scan", [](const BarReading& b) { return b.phase() == Phase::scan && b.withinPhase() >= 0.9; }},
      {"joining", [](const BarReading& b) { return b.phase() == Phase::joining && b.withinPhase() >= 0.3; }},
      {"reading", [](const BarReading& b) { return b.phase() == Phase::reading && b.withinPhase() >= 0.3; }},
  };
  double worstStop = 0;
  bool allStopped = true;
  for (const Moment& moment : moments) {
    const RunFigures run = window->recover(moment.reached);
    printStop(moment.name, run, whole.seconds);
    worstStop = std::max(worstStop, run.stopToDoneMs);
    allStopped = allStopped && run.stateAfter == 0 && run.stopToDoneMs >= 0;
  }
  std::printf("slowest Stop: %.1f ms (target: within 100 ms)\n", worstStop);

  // From an empty page cache, as an old base on a disk is first read; only where it can be dropped.
  if (bench::dropPageCache()) {
    const double coldRead = bench::sequentialReadSeconds(path);
    bench::dropPageCache();
    const RunFigures cold = window->recover();
    std::printf("cold cache: sequential read %.3f s, recovery through the window %.3f s: %.2fx; longest tick gap %.1f ms\n",
                coldRead, cold.seconds, cold.seconds / coldRead, cold.longestGapMs);
    bench::dropPageCache();
    const RunFigures coldStop = window->recover(moments[0].reached);
    printStop("cold, early", coldStop, cold.seconds);
  }
  const bool copyOk = copyFigures(*window, folder.file("copies"), size);
  const int boxes = window->boxes;
  if (boxes != 0) std::printf("message boxes shown: %d\n", boxes);

  // Closing the window in the middle of a recovery: the document stops the worker and waits for
  // it (at most 10,000 ms), then removes its temp folder's files.
  bool closedClean = false;
  if (window->recoverUntil(moments[0].reached)) {
    const std::string temp = window->tempFolder();
    QElapsedTimer clock;
    clock.start();
    window.reset();
    const double closeMs = clock.nsecsElapsed() / 1e6;
    int left = 0;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(temp, ignored)) {
      const std::string extension = entry.path().extension();
      left += extension == ".dbc" || extension == ".mht" || extension == ".eml";
    }
    closedClean = left == 0 && closeMs < 10000;
    std::printf("closing the window during a recovery: %.1f ms (bound: 10,000 ms), %d working files left\n",
                closeMs, left);
  }
  return allStopped && closedClean && whole.stateAfter == 2 && copyOk ? 0 : 1;
}
