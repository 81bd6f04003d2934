#pragma once
// A base's table of messages: one record and one block list per message found, same index, in
// the order the reading operation found them. The reading operations fill it on the worker
// thread; everyone else reads it, through row(), after the operation has ended.
#include <cstddef>
#include <new>
#include <vector>

#include "table/block_list.h"
#include "table/message_record.h"

namespace vireo {

inline constexpr int kRecordTableStep = 500;

class MessageTable {
 public:
  int count() const { return static_cast<int>(records.size()); }
  // The record of one row, read-only: what the views and the exporters see.
  const MessageRecord& row(int index) const { return records[static_cast<size_t>(index)]; }
  const BlockList& blocksOf(int index) const { return blockLists[static_cast<size_t>(index)]; }

  // Appends a record with its block list; capacity grows by 500 when count reaches it.
  void addRecord(MessageRecord record, BlockList blocks) { addRecord(std::move(blocks)) = std::move(record); }
  // The same with a new empty record, returned to be filled where it stays: moving a record in
  // copies its four strings. Out of memory leaves the table as it was, a block list per record.
  MessageRecord& addRecord(BlockList blocks) {
    blockLists.push_back(std::move(blocks));
    try {
      records.emplace_back();
    } catch (...) {
      blockLists.pop_back();
      throw;
    }
    // capacity keeps its steps of 500; the vectors underneath grow geometrically, so a table of
    // 100,000s of records is not moved hundreds of times.
    if (count() >= capacity) capacity += kRecordTableStep;
    return records.back();
  }
  // Room for this many more records where memory allows, so that filling the table does not move
  // it (untouched room costs nothing); without it the table grows as before.
  void reserveRoom(size_t more) noexcept {
    try {
      records.reserve(records.size() + more);
      blockLists.reserve(blockLists.size() + more);
    } catch (const std::bad_alloc&) {
    }
  }
  // count = 0, as the worker does before an operation; capacity stays.
  void clearTable() {
    records.clear();
    blockLists.clear();
  }

  std::vector<BlockList> blockLists;  // same index as records
  std::vector<MessageRecord> records;
  int validCount = 0;  // records whose headers parsed; the next number to give
  int capacity = kRecordTableStep;
};

}  // namespace vireo
