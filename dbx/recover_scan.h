#pragma once
// Recovery: ignores the header and the index, finds every data block by its own-offset word,
// joins blocks into messages by their links, and makes one record per chain.
#include <string>

#include "dbx/operation.h"
#include "table/message_table.h"

namespace vireo::dbx {

OperationOutcome recoverScan(const std::string& path, MessageTable& table, const OperationControl& control);

}  // namespace vireo::dbx
