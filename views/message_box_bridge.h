#pragma once
// Shows the core's messages (showMessageBox: bad format, cannot copy, out of memory...) as modal
// message boxes on the interface thread. A message from the worker thread is handed to the
// interface thread and the worker waits for the box to be answered, as it would for a box of its
// own. Once the document is closing, worker messages are dropped and a worker still waiting
// stops waiting, so a closing window never waits for a worker that waits for a box.
#include <memory>

#include "platform/message_sink.h"

class QWidget;

namespace vireo::views {

class MessageBoxBridge {
 public:
  // On the interface thread: installs itself as the core's message handler.
  MessageBoxBridge();
  // Puts the previous handler back; a worker that still holds this one is let go.
  ~MessageBoxBridge();
  MessageBoxBridge(const MessageBoxBridge&) = delete;
  MessageBoxBridge& operator=(const MessageBoxBridge&) = delete;

  // The window the boxes are shown over; none: they stand alone.
  void setOwner(QWidget* owner);
  // The document is closing: from now on worker messages are dropped.
  void beginClosing();
  bool closing() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
  MessageHandler previous_;
};

}  // namespace vireo::views
