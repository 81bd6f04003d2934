#pragma once
// One message of a base's table. A record with invalid set owns no texts (its four strings are
// empty) and is never listed or written.
#include <cstdint>
#include <string>

namespace vireo {

struct MessageRecord {
  std::string from;
  std::string to;
  std::string subject;
  std::string dateText;
  uint64_t time = 0;     // local file time of the Date header (100 ns since 1601); 0 when absent
  int32_t codePage = 0;  // code page of the declared charset; 0 when none
  int16_t attachment = 0;
  bool deleted = false;
  bool invalid = true;
  // Recovery only: the record holds part of a message (its first block is gone, or its chain is
  // cut short). It is listed and written like any other, never dropped.
  bool fragment = false;
  // Recovery only: the base's index was read and does not reach the message's first block
  // (deleted, or lost from the index).
  bool unindexed = false;
  int32_t number = 0;  // position among the valid records, table order
  int32_t size = 0;    // sum of the blocks' lengths

  void clearTexts() {
    from.clear();
    to.clear();
    subject.clear();
    dateText.clear();
  }
};

}  // namespace vireo
