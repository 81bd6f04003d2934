#pragma once
// The edge of a reading operation: whatever fails inside (a format violation, a stop, a failed
// allocation, a file that cannot be opened, a fault of the program itself) ends the operation,
// and the outcome says how and where. Files and temporary arrays are RAII, so leaving the body
// frees them.
#include <exception>
#include <new>

#include "dbx/operation.h"
#include "dbx/read_failure.h"

namespace vireo::dbx {

template <class Body>
OperationOutcome runInFailureBoundary(Body&& body) {
  using End = OperationOutcome::End;
  OperationOutcome outcome;
  try {
    body();
  } catch (const ReadFailure& failure) {
    outcome.end = failure.kind() == ReadFailure::Kind::stopped      ? End::stopped
                  : failure.kind() == ReadFailure::Kind::cannotOpen ? End::cannotOpen
                  : failure.kind() == ReadFailure::Kind::outOfMemory ? End::outOfMemory
                                                                     : End::badFormat;
    outcome.reason = failure.reason();
  } catch (const std::bad_alloc&) {
    outcome.end = End::outOfMemory;
  } catch (const std::exception& error) {
    outcome.end = End::internalError;
    outcome.reason = FailureReason{error.what(), {}, std::nullopt, {}};
  } catch (...) {
    outcome.end = End::internalError;
    outcome.reason = FailureReason{"unknown exception", {}, std::nullopt, {}};
  }
  return outcome;
}

}  // namespace vireo::dbx
