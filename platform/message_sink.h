#pragma once
// Where the user-facing messages of the core go: the window shows them in a message box, the
// CLI prints them to stderr, tests capture them. There is no log.
#include <cstdarg>
#include <functional>
#include <string>

namespace vireo {

using MessageHandler = std::function<void(const std::string& text)>;

// Installs a handler and returns the previous one. The default prints to stderr.
MessageHandler setMessageHandler(MessageHandler handler);

// Shows one message (a modal message box in the window). Safe from any thread.
void showMessageBox(const std::string& text);

// Formats as printf does, into at most 1,000 characters (the length of a message box's text).
std::string formatMessage(const char* format, va_list args);

// Formats into a buffer of 1,000 characters and shows the result; returns -1.
int showMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace vireo
