#include "reader/message_base_reader.h"

#include <new>

#include "content/header_parser.h"
#include "dbx/index_browse.h"
#include "dbx/message_reading.h"
#include "dbx/recover_scan.h"
#include "platform/file_copy.h"
#include "platform/manual_reset_event.h"
#include "platform/message_sink.h"
#include "platform/progress_sink.h"
#include "reader/allocation.h"
#include "reader/working_folder.h"

namespace vireo {

MessageBaseReader::MessageBaseReader() {
  browseFailed = false;
  removed = false;
  initialise();
}

void MessageBaseReader::initialise() {
  capacity = kRecordTableStep;
  records.clear();
  blockLists.clear();
  validCount = 0;
  currentRow = 0;
  ok = 0;
  recoverMode = 0;
  state = 0;
}

void MessageBaseReader::destroy() {
  records = {};
  blockLists = {};
}

void MessageBaseReader::resetReader() {
  destroy();
  initialise();
}

void MessageBaseReader::clearTable() {
  records.clear();
  blockLists.clear();
}

std::string MessageBaseReader::basePath() const { return baseFolder + "/" + baseName; }

ProgressSink& MessageBaseReader::progressSink() const {
  return progress ? *progress : NullProgress::instance();
}

bool MessageBaseReader::stopRequested() const { return stopEvent && stopEvent->isSet(); }

void MessageBaseReader::addRecord(MessageRecord record, BlockList blocks) {
  blockLists.push_back(std::move(blocks));
  records.push_back(std::move(record));
  // capacity keeps its steps of 500; the vectors underneath grow geometrically, so a table of
  // 100,000s of records is not moved hundreds of times.
  if (count() >= capacity) capacity += kRecordTableStep;
}

int MessageBaseReader::parseHeaders(const char* text, int length, int recordIndex) {
  return vireo::parseHeaders(text, length, records[static_cast<size_t>(recordIndex)]);
}

void MessageBaseReader::openBase(bool copyFirst) {
  if (copyFirst) {
    workingPath = workingFolder() + "/" + std::to_string(readerNumber) + ".dbc";
    std::string error;
    if (!copyFile(basePath(), workingPath, error)) {
      showMessageBox("Cannot copy dbx file\n" + error);
      ok = 0;
      return;
    }
  } else {
    workingPath = basePath();
  }
  try {
    clearTable();
    records.reserve(static_cast<size_t>(capacity));
    blockLists.reserve(static_cast<size_t>(capacity));
  } catch (const std::bad_alloc&) {
    showOutOfMemory();
    ok = 0;
    return;
  }
  if (recoverMode == 1) {
    recoverScan(*this);
  } else {
    browseFailed = false;
    browseIndex(*this);
  }
  if (ok == 1) readMessages(*this);
}

}  // namespace vireo
