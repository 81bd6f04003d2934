#pragma once
// The messages that tell the user how a reading operation failed: what went wrong and where,
// through the one failure formatter.
#include <string>

#include "dbx/operation.h"

namespace vireo {

inline constexpr const char* kBadFormatMessage = "Bad file format, use message base recovery.";

// Shows what ended the operation on workingPath: nothing for a completion or a stop.
void showOperationFailure(const dbx::OperationOutcome& outcome, const std::string& workingPath);

// "Bad file format, use message base recovery.", with the reason on the next line when the
// outcome was a format failure.
void showBadFormat(const dbx::OperationOutcome& outcome);

}  // namespace vireo
