#pragma once
// Recovery: ignores the header and the index, finds every data block by its own-offset word,
// joins blocks into messages by their links, and makes one record per chain.
#include <string>

#include "dbx/message_reading.h"
#include "dbx/operation.h"
#include "dbx/seen_record_ends.h"
#include "table/message_table.h"

namespace vireo::dbx {

OperationOutcome recoverScan(const std::string& path, MessageTable& table, const OperationControl& control);

// Recovery with every message's headers parsed, as recoverScan followed by readMessages gives
// them, reading the file once where it can: the chains the scan can put together from its own
// chunks are parsed while it runs, and only the records no such parse fits are read again.
// Given seen, it receives what the scan and joining saw of the records' ends, for markRecovered.
OperationOutcome recoverMessages(const std::string& path, MessageTable& table, const OperationControl& control,
                                 const RecordParser& parse, SeenRecordEnds* seen = nullptr);

}  // namespace vireo::dbx
