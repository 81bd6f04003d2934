#include "platform/failure_reason.h"

#include <cstring>

namespace vireo {

std::string describeFailure(const FailureReason& reason) {
  std::string text = reason.what;
  if (reason.offset) text += " at offset " + std::to_string(*reason.offset);
  if (!reason.file.empty()) text += (reason.offset ? " of " : " ") + reason.file;
  if (!reason.detail.empty()) text += (text.empty() ? "" : ": ") + reason.detail;
  return text;
}

std::string systemErrorText(int error) {
  char buffer[256];
  // The GNU strerror_r returns its text, which need not be in the buffer.
  return ::strerror_r(error, buffer, sizeof buffer);
}

}  // namespace vireo
