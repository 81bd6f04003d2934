#include "dbx/image_carve.h"

#include "dbx/failure_boundary.h"
#include "dbx/image_block_scan.h"
#include "platform/read_only_file.h"

namespace vireo::dbx {

OperationOutcome findBases(const std::string& imagePath, std::vector<FoundBase>& bases, const OperationControl& control) {
  ReadOnlyFile image;
  uint64_t read = 0;
  OperationOutcome outcome = runInFailureBoundary([&] {
    if (!image.open(imagePath, ReadOnlyFile::Accept::regularFilesAndBlockDevices)) failCannotOpen(image.error());
    const ImageScan scan = scanImage(image, control);
    read = scan.imageSize;
    bases = assembleBases(scan);
  });
  outcome.bytesRead = read;
  return outcome;
}

}  // namespace vireo::dbx
