#include "reader/operation_messages.h"

#include "platform/message_sink.h"
#include "platform/out_of_memory.h"

namespace vireo {

using End = dbx::OperationOutcome::End;

void showOperationFailure(const dbx::OperationOutcome& outcome, const std::string& workingPath) {
  switch (outcome.end) {
    case End::completed:
    case End::stopped:
      return;
    case End::cannotOpen:
      showMessage("%s %s\n%s", "Cannot open dbx file", workingPath.c_str(), describeFailure(outcome.reason).c_str());
      return;
    case End::badFormat:
      showBadFormat(outcome);
      return;
    case End::outOfMemory:
      showOutOfMemory();
      return;
    case End::internalError:
      // Not the file's fault: said plainly, so it is reported rather than taken for damage.
      showMessage("Vireo could not finish reading %s because of an internal error:\n%s", workingPath.c_str(),
                  describeFailure(outcome.reason).c_str());
      return;
  }
}

void showBadFormat(const dbx::OperationOutcome& outcome) {
  if (outcome.end == End::badFormat && !outcome.reason.what.empty())
    showMessageBox(std::string(kBadFormatMessage) + "\n" + describeFailure(outcome.reason));
  else
    showMessageBox(kBadFormatMessage);
}

}  // namespace vireo
