#pragma once
// One message of a base's table. A record with invalid set owns no texts (its four texts are
// empty) and is never listed or written.
#include <cstdint>
#include <string_view>
#include <utility>

#include "table/record_texts.h"

namespace vireo {

struct MessageRecord {
  uint64_t time = 0;     // local file time of the Date header (100 ns since 1601); 0 when absent
  int32_t codePage = 0;  // code page of the declared charset; 0 when none
  int32_t number = 0;    // position among the valid records, table order
  int32_t size = 0;      // sum of the blocks' lengths
  int16_t attachment = 0;
  bool deleted = false;
  bool invalid = true;
  // Recovery only: the record holds part of a message (its first block is gone, or its chain is
  // cut short). It is listed and written like any other, never dropped.
  bool fragment = false;
  // Recovery only: the base's index was read and does not reach the message's first block
  // (deleted, or lost from the index).
  bool unindexed = false;

  // The texts of the list's columns, in the ANSI code page (UTF-8); dateText is the user's
  // short date and time.
  std::string_view from() const noexcept { return texts_.text(RecordTexts::kFrom); }
  std::string_view to() const noexcept { return texts_.text(RecordTexts::kTo); }
  std::string_view subject() const noexcept { return texts_.text(RecordTexts::kSubject); }
  std::string_view dateText() const noexcept { return texts_.text(RecordTexts::kDateText); }

  // The four are kept in one buffer, so they are set together.
  void setTexts(std::string_view from, std::string_view to, std::string_view subject, std::string_view dateText) {
    texts_.set(from, to, subject, dateText);
  }
  void clearTexts() noexcept { texts_.clear(); }
  // Hands this record's texts to another without copying them; this one's are then empty.
  void moveTextsTo(MessageRecord& other) noexcept { other.texts_ = std::move(texts_); }

 private:
  RecordTexts texts_;
};

// A large table is mostly its records: keep one small.
static_assert(sizeof(MessageRecord) <= 80);

}  // namespace vireo
