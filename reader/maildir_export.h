#pragma once
// Messages of one base as a Maildir: one file per message in "<folder>/cur", named the way
// Maildir readers expect ("<time>.<unique>.<host>:2,<flags>"), with tmp/ and new/ beside it.
// Each file is written in tmp/ and renamed into cur/ only whole, so a reader watching the folder
// never sees half a message.
#include <string>
#include <vector>

#include "reader/message_base_reader.h"
#include "reader/message_batch.h"

namespace vireo {

// The indexes of the valid records, those the base takes for deleted only when withDeleted.
std::vector<int> maildirRecordIndexes(const MessageBaseReader& reader, bool withDeleted);

// The info part of a message's name: "2," and the flags the table knows: "T" (trashed) for a
// message the base takes for deleted. The table keeps no read state of its own (browsing reads
// only where a message's data starts), so "S" is never given.
std::string maildirInfo(const MessageRecord& record);

// Creates folder with cur/, new/ and tmp/ when missing and writes records[i] for every index
// given into cur/; hooks as in writeMessageBatch. A folder that cannot be made fails every
// record with the reason.
BatchOutcome writeMaildir(const MessageBaseReader& reader, const std::vector<int>& recordIndexes,
                          const std::string& folder, const BatchHooks& hooks = {});

}  // namespace vireo
