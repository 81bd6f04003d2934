#include "views/record_compare.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "platform/ascii_case.h"
#include "views/list_columns.h"

namespace vireo::views {
namespace {

// Only the ASCII letters fold: the texts are UTF-8 (or whatever a base held), and folding any
// other byte would mix up characters that merely share a byte value.
constexpr std::array<unsigned char, 256> kFoldedBytes = [] {
  std::array<unsigned char, 256> table{};
  for (int byte = 0; byte < 256; ++byte)
    table[static_cast<size_t>(byte)] = static_cast<unsigned char>(asciiLower(static_cast<char>(byte)));
  return table;
}();

template <class T>
int compareValues(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// A record that has the flag sorts before one that has not.
int compareFlagFirst(bool a, bool b) { return a == b ? 0 : (a ? -1 : 1); }

}  // namespace

int compareFoldedText(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const unsigned char x = kFoldedBytes[static_cast<unsigned char>(a[i])];
    const unsigned char y = kFoldedBytes[static_cast<unsigned char>(b[i])];
    if (x != y) return x < y ? -1 : 1;
  }
  return compareValues(a.size(), b.size());
}

int compareRecords(const MessageRecord& a, const MessageRecord& b, int logicalColumn, bool ascending) {
  int result = 0;
  switch (logicalColumn) {
    case kFromColumn: result = compareFoldedText(a.from(), b.from()); break;
    case kToColumn: result = compareFoldedText(a.to(), b.to()); break;
    case kSubjectColumn: result = compareFoldedText(a.subject(), b.subject()); break;
    case kDeletedColumn: result = compareFlagFirst(a.deleted, b.deleted); break;
    case kDateColumn: result = compareValues(a.time, b.time); break;
    case kNumberColumn: result = compareValues(a.number, b.number); break;
    case kAttachmentColumn: result = compareFlagFirst(a.attachment != 0, b.attachment != 0); break;
    default: return 0;
  }
  return ascending ? result : -result;
}

namespace {

std::string_view textOf(const MessageRecord& record, int logicalColumn) {
  return logicalColumn == kFromColumn ? record.from() : logicalColumn == kToColumn ? record.to() : record.subject();
}

// The same order as compareFoldedText, from texts folded once into one buffer: the sort's
// compares then read a few contiguous megabytes instead of chasing 100,000s of separate strings
// (and their records) around the heap, which took most of the time of a sort by a text column.
void sortRowsByFoldedText(std::vector<int>& rows, const std::vector<MessageRecord>& records, int logicalColumn,
                          bool ascending) {
  struct Key {
    size_t offset;
    size_t length;
    int row;
  };
  size_t total = 0;
  for (int row : rows) total += textOf(records[static_cast<size_t>(row)], logicalColumn).size();
  std::string folded;
  folded.reserve(total);
  std::vector<Key> keys;
  keys.reserve(rows.size());
  for (int row : rows) {
    const std::string_view text = textOf(records[static_cast<size_t>(row)], logicalColumn);
    keys.push_back({folded.size(), text.size(), row});
    for (const char byte : text) folded.push_back(static_cast<char>(kFoldedBytes[static_cast<unsigned char>(byte)]));
  }
  const unsigned char* base = reinterpret_cast<const unsigned char*>(folded.data());
  const auto compareKeys = [base](const Key& a, const Key& b) {
    const int bytes = std::memcmp(base + a.offset, base + b.offset, std::min(a.length, b.length));
    return bytes != 0 ? bytes : compareValues(a.length, b.length);
  };
  std::stable_sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
    return ascending ? compareKeys(a, b) < 0 : compareKeys(b, a) < 0;
  });
  for (size_t i = 0; i < keys.size(); ++i) rows[i] = keys[i].row;
}

}  // namespace

void sortRecordRows(std::vector<int>& rows, const std::vector<MessageRecord>& records, int logicalColumn,
                    bool ascending) {
  if (logicalColumn < 0) return;
  if (logicalColumn == kFromColumn || logicalColumn == kToColumn || logicalColumn == kSubjectColumn) {
    sortRowsByFoldedText(rows, records, logicalColumn, ascending);
    return;
  }
  const auto recordAt = [&](int index) -> const MessageRecord& { return records[static_cast<size_t>(index)]; };
  std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
    return compareRecords(recordAt(a), recordAt(b), logicalColumn, ascending) < 0;
  });
}

}  // namespace vireo::views
