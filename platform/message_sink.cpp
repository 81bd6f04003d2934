#include "platform/message_sink.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace vireo {
namespace {

std::mutex& handlerMutex() {
  static std::mutex mutex;
  return mutex;
}

MessageHandler& currentHandler() {
  static MessageHandler handler = [](const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
  };
  return handler;
}

}  // namespace

MessageHandler setMessageHandler(MessageHandler handler) {
  std::lock_guard lock(handlerMutex());
  MessageHandler previous = std::move(currentHandler());
  currentHandler() = std::move(handler);
  return previous;
}

void showMessageBox(const std::string& text) {
  // Called unlocked: a handler may block (the window waits for a box to be answered on its own
  // thread), and another thread's message or a new handler must not wait behind it.
  MessageHandler handler;
  {
    std::lock_guard lock(handlerMutex());
    handler = currentHandler();
  }
  if (handler) handler(text);
}

std::string formatMessage(const char* format, va_list args) {
  char buffer[1000];
  std::vsnprintf(buffer, sizeof buffer, format, args);
  return buffer;
}

int showMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = formatMessage(format, args);
  va_end(args);
  showMessageBox(text);
  return -1;
}

}  // namespace vireo
