#include "dbx/image_carve.h"

#include "dbx/failure_boundary.h"
#include "dbx/image_block_scan.h"

namespace vireo::dbx {

OperationOutcome findBases(const std::string& imagePath, std::vector<FoundBase>& bases, const OperationControl& control) {
  uint64_t read = 0;
  OperationOutcome outcome = runInFailureBoundary([&] {
    const ImageScan scan = scanImage(imagePath, control);
    read = scan.imageSize;
    bases = assembleBases(scan);
  });
  outcome.bytesRead = read;
  return outcome;
}

}  // namespace vireo::dbx
