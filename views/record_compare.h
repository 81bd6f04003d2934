#pragma once
// The message list's one ordering: how two records compare by a logical column, and the sort of
// a list's rows (record indexes) with it. No secondary key: rows that compare equal keep the
// order they had.
#include <string_view>
#include <vector>

#include "table/message_record.h"

namespace vireo::views {

// Bytes compared as unsigned values after mapping A-Z to a-z and nothing else; -1, 0 or 1.
int compareFoldedText(std::string_view a, std::string_view b);

// -1, 0 or 1 for records a and b by a logical column, flipped when descending. A column that is
// no logical column (-1) compares everything equal, in either direction.
int compareRecords(const MessageRecord& a, const MessageRecord& b, int logicalColumn, bool ascending);

// Reorders rows (indexes into records) by compareRecords; ties keep their current order.
void sortRecordRows(std::vector<int>& rows, const std::vector<MessageRecord>& records, int logicalColumn,
                    bool ascending);

}  // namespace vireo::views
