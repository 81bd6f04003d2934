#pragma once
// Every modal message box and dialog of the window passes through here before it runs, so that
// tests (and anything else that must not block on a person) can answer it instead. Without an
// answerer, or when it declines, the box or dialog runs for real.
#include <functional>
#include <optional>
#include <string>

namespace vireo {

enum class ModalKind { MessageBox, Dialog };

struct ModalRequest {
  ModalKind kind = ModalKind::MessageBox;
  std::string caption;
  std::string text;        // a message box's text; empty for a dialog
  void* dialog = nullptr;  // the dialog object (a QDialog in the window), for the answerer to fill
};

// The answer is the result the box or dialog would have returned (the button or the dialog
// code); nullopt runs it for real.
using ModalAnswerer = std::function<std::optional<int>(const ModalRequest& request)>;

// Installs an answerer and returns the previous one.
ModalAnswerer setModalAnswerer(ModalAnswerer answerer);

// The installed answerer's answer; nullopt when there is none or it declines. Safe from any
// thread; the answerer runs unlocked, on the caller's thread.
std::optional<int> answerModal(const ModalRequest& request);

}  // namespace vireo
