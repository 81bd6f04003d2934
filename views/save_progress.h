#pragma once
// The progress of a save of many files: a bar with Cancel that shows only when the save takes a
// while. The save runs on the interface thread, so this is also where the window gets its turn:
// events are processed every few milliseconds, user input only once the (modal) bar is up.
#include <QElapsedTimer>
#include <QProgressDialog>
#include <functional>

namespace vireo::views {

class SaveProgress {
 public:
  SaveProgress(int total, QWidget* parent);
  SaveProgress(const SaveProgress&) = delete;
  SaveProgress& operator=(const SaveProgress&) = delete;

  // Before each file, with the number done so far; false once the user cancelled.
  bool keepGoing(int done);
  void cancel() { dialog_.cancel(); }
  QProgressDialog& dialog() { return dialog_; }

  // Called on every keepGoing; for tests, which cancel at a chosen file. Returns the previous one.
  using Observer = std::function<void(SaveProgress& progress, int done)>;
  static Observer setObserver(Observer observer);

 private:
  QProgressDialog dialog_;
  QElapsedTimer sinceEvents_;
};

}  // namespace vireo::views
