#include "platform/modal_answer.h"

#include <mutex>

namespace vireo {
namespace {

std::mutex answererMutex;
ModalAnswerer currentAnswerer;

}  // namespace

ModalAnswerer setModalAnswerer(ModalAnswerer answerer) {
  std::lock_guard lock(answererMutex);
  ModalAnswerer previous = std::move(currentAnswerer);
  currentAnswerer = std::move(answerer);
  return previous;
}

std::optional<int> answerModal(const ModalRequest& request) {
  ModalAnswerer answerer;
  {
    std::lock_guard lock(answererMutex);
    answerer = currentAnswerer;
  }
  return answerer ? answerer(request) : std::nullopt;
}

}  // namespace vireo
