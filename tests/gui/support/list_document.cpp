#include "tests/gui/support/list_document.h"

namespace vireo::testing {

DocumentSetup scratchSetup(const ScratchDir& dir) {
  DocumentSetup setup;
  setup.settingsFile = dir.file("Vireo.conf");
  setup.fallbackTempFolder = dir.file("temp_vir");
  setup.exportFolder = dir.file("Documents/Vireo");
  return setup;
}

int ScratchDocument::addBase(int state, std::vector<MessageRecord> records, bool browseFailed) {
  const int index = doc.readerCount++;
  MessageBaseReader& reader = doc.readers[static_cast<size_t>(index)];
  reader.baseName = "base" + std::to_string(index) + ".dbx";
  reader.baseFolder = dir.path();
  for (MessageRecord& record : records) reader.addRecord(std::move(record), BlockSpan{});
  reader.validCount = 0;
  for (const MessageRecord& record : reader.records) reader.validCount += record.invalid ? 0 : 1;
  reader.state = state;
  reader.browseFailed = browseFailed;
  return index;
}

MessageRecord validRecord(int number, std::string subject, std::string from, uint64_t time) {
  MessageRecord record;
  record.setTexts(from, "Bob", subject, "05.12.2006 10:00:00");
  record.time = time;
  record.number = number;
  record.invalid = false;
  return record;
}

MessageRecord invalidRecord() { return MessageRecord{}; }

}  // namespace vireo::testing
