#pragma once
// Reading every message of a table through its block list, for its headers.
#include <functional>
#include <cstdint>
#include <string>
#include <vector>

#include "dbx/operation.h"
#include "table/message_table.h"

namespace vireo::dbx {

// Parses the first length bytes of record recordIndex's message into that record; returns the
// header lines read, 0 when the bytes are not a message. Called from several threads at once,
// each record by one thread only.
using HeaderParser = std::function<int(const char* text, int length, int recordIndex)>;
// The same parse into a record given by reference, which need not be in a table yet: recovery
// parses messages while it is still finding them.
using RecordParser = std::function<int(const char* text, int length, MessageRecord& record)>;

// Reads the first 1,000,000 bytes of every record's message through its block list and parses
// its headers; valid records are numbered 0, 1, 2 ... in table order. Records whose entry in
// alreadyParsed (when given, one per record) is set are left as they are but numbered all the same.
OperationOutcome readMessages(const std::string& path, MessageTable& table, const OperationControl& control,
                              const HeaderParser& parse, const std::vector<uint8_t>* alreadyParsed = nullptr);

// Valid records numbered 0, 1, 2 ... in table order; validCount is their count.
void numberValidRecords(MessageTable& table);
// Every record back to what a browse alone makes: no texts, invalid, unnumbered, keeping only
// its size and deleted mark; validCount 0.
void forgetParses(MessageTable& table);

}  // namespace vireo::dbx
