#pragma once
// One message base known to the document, with the table of messages its last operation found.
// The table is written only by the operation that fills it (on the worker thread); everyone else
// reads it after the operation has ended.
#include <cstdint>
#include <string>
#include <vector>

#include "reader/block_list.h"
#include "reader/index_entry.h"
#include "reader/message_record.h"

namespace vireo {

class ManualResetEvent;
class ProgressSink;

class MessageBaseReader {
 public:
  MessageBaseReader();

  void initialise();   // empty table, state 0; browseFailed and removed survive
  void destroy();      // frees the table
  void resetReader();  // destroy, then initialise

  // The operation: optionally copies the base to "<workingFolder>/<readerNumber>.dbc", then browses
  // (recoverMode 0) or recovers (recoverMode 1), then reads every message's headers. ok tells.
  void openBase(bool copyFirst);

  // Fills the summary fields of records[recordIndex] from the first length bytes of its message;
  // returns the header lines read, 0 when the bytes are not a message.
  int parseHeaders(const char* text, int length, int recordIndex);

  // Sets baseKind from the base file itself (not the working copy); unchanged if it cannot be read.
  void detectBaseKind();

  // Writes the stored bytes of records[recordIndex], unchanged, to "<folder>/<number>.<extension>",
  // or "<folder>/<prefix>_<number>.<extension>" when prefix is not -1, replacing an existing file.
  // Returns 0, or -1 when the message could not be read or written whole; then no file of that
  // name is left behind (an earlier one stays). Defined in content/message_export.cpp.
  int writeMessageFile(const std::string& folder, int recordIndex, const std::string& extension,
                       int prefix) const;

  // Copies the base file itself (not the working copy) into destinationFolder, replacing a file
  // of the same name. Returns 0; on failure shows "Cannot copy dbx file", sets ok = 0, returns -1.
  int copyMessageBase(const std::string& destinationFolder);

  // Appends a record with its block list; grows capacity by 500 when count reaches it.
  void addRecord(MessageRecord record, BlockList blocks);
  int count() const { return static_cast<int>(records.size()); }
  void clearTable();  // count = 0, as the worker does before an operation

  std::string basePath() const;  // "<baseFolder>/<baseName>"
  ProgressSink& progressSink() const;
  bool stopRequested() const;

  // Browse working data (exists only while a browse runs).
  int indexCapacity = 0;
  std::vector<IndexEntry> indexEntries;
  int expectedCount = 0;
  int indexFound = 0;

  std::string baseName;
  std::string baseFolder;
  std::string workingPath;
  int16_t baseKind = 0;

  std::vector<BlockList> blockLists;  // same index as records
  std::vector<MessageRecord> records;
  int validCount = 0;
  int currentRow = 0;
  int capacity = 500;
  int readerNumber = 0;
  int state = 0;  // 0 not read, 1 browsed, 2 recovered
  bool browseFailed = false;
  bool removed = false;
  int ok = 0;
  int recoverMode = 0;
  ProgressSink* progress = nullptr;
  ManualResetEvent* stopEvent = nullptr;
};

}  // namespace vireo
