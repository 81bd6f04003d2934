#pragma once
// Finding the bases in a disk image or on a block device: one forward pass that collects the
// votes of data blocks, then the pieces they make and the bases those pieces tie into. The image
// is only read.
#include <string>
#include <vector>

#include "dbx/operation.h"
#include "dbx/piece_vote.h"

namespace vireo::dbx {

OperationOutcome findBases(const std::string& imagePath, std::vector<FoundBase>& bases, const OperationControl& control);

}  // namespace vireo::dbx
