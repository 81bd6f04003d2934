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
  // The blocks of one row; the view holds until the table changes.
  BlockSpan blocksOf(size_t index) const {
    const size_t start = index == 0 ? 0 : listEnds[index - 1];
    return {blocks.data() + start, listEnds[index] - start};
  }
  size_t listCount() const { return listEnds.size(); }

  // Appends a record with its block list; capacity grows by 500 when count reaches it.
  void addRecord(MessageRecord record, BlockSpan list) { addRecord(list) = std::move(record); }
  // The same with a new empty record, returned to be filled where it stays. Out of memory leaves
  // the table as it was, a block list per record.
  MessageRecord& addRecord(BlockSpan list) {
    const size_t before = blocks.size();
    blocks.insert(blocks.end(), list.begin(), list.end());
    try {
      listEnds.push_back(blocks.size());
      try {
        records.emplace_back();
      } catch (...) {
        listEnds.pop_back();
        throw;
      }
    } catch (...) {
      blocks.resize(before);
      throw;
    }
    // capacity keeps its steps of 500; the vectors underneath grow geometrically, so a table of
    // 100,000s of records is not moved hundreds of times.
    if (count() >= capacity) capacity += kRecordTableStep;
    return records.back();
  }
  // Gives the records from `first` on, added with empty lists, the lists made apart for them, in
  // order (recovery joins a chain to an earlier record's list, which the one array cannot take).
  // When memory runs out those records are taken out again, so that every record left is whole,
  // and false is returned.
  bool giveLastLists(size_t first, const std::vector<BlockList>& lists) noexcept {
    size_t total = 0;
    for (const BlockList& list : lists) total += list.entries.size();
    try {
      blocks.reserve(blocks.size() + total);
    } catch (const std::bad_alloc&) {
      records.erase(records.begin() + static_cast<std::ptrdiff_t>(first), records.end());
      listEnds.resize(first);
      return false;
    }
    for (size_t i = 0; i < lists.size(); ++i) {
      blocks.insert(blocks.end(), lists[i].entries.begin(), lists[i].entries.end());
      listEnds[first + i] = blocks.size();
    }
    return true;
  }
  // Moves every record of `other`, with its list, to the end of this table: a browse walked in
  // parts joins its parts' tables in index order. Out of memory leaves this table as it was.
  void appendTable(MessageTable&& other) {
    records.reserve(records.size() + other.records.size());
    listEnds.reserve(listEnds.size() + other.listEnds.size());
    blocks.reserve(blocks.size() + other.blocks.size());
    const size_t offset = blocks.size();
    blocks.insert(blocks.end(), other.blocks.begin(), other.blocks.end());
    for (const size_t end : other.listEnds) listEnds.push_back(offset + end);
    for (MessageRecord& record : other.records) records.push_back(std::move(record));
    while (count() >= capacity) capacity += kRecordTableStep;
    other.clearTable();
  }
  // Room for this many more records and blocks where memory allows, so that filling the table
  // does not move it (untouched room costs nothing); without it the table grows as before.
  void reserveRoom(size_t moreRecords, size_t moreBlocks = 0) noexcept {
    try {
      records.reserve(records.size() + moreRecords);
      listEnds.reserve(listEnds.size() + moreRecords);
      blocks.reserve(blocks.size() + moreBlocks);
    } catch (const std::bad_alloc&) {
    }
  }
  // count = 0, as the worker does before an operation; capacity stays.
  void clearTable() {
    records.clear();
    blocks.clear();
    listEnds.clear();
  }
  // count = 0, and the memory goes too.
  void releaseTable() noexcept {
    records = {};
    blocks = {};
    listEnds = {};
  }

  std::vector<MessageRecord> records;
  // Every record's blocks, one list after the other in record order: one array for the table
  // instead of an allocation per message. Record i's list ends at listEnds[i].
  std::vector<BlockRef> blocks;
  std::vector<size_t> listEnds;
  int validCount = 0;  // records whose headers parsed; the next number to give
  int capacity = kRecordTableStep;
};

}  // namespace vireo
