#pragma once
// The summary fields of one message, from the first bytes of its headers.
#include <cstdint>
#include <string>

namespace vireo {

struct SummaryFields {
  std::string from;
  std::string to;
  std::string subject;
  std::string dateText;  // the user's short date and time
  uint64_t time = 0;     // local file time of the Date header; 0 when absent
  int32_t codePage = 0;  // code page of the declared charset; 0 when none
  int16_t attachment = 0;
  int lines = 0;  // header lines read; 0 means the bytes are not a message

  // The parse's own working texts. They are kept here, with the fields, so that a parse into
  // fields used before takes no allocation for them or for the fields of a usual size.
  struct Work {
    std::string value;
    std::string resentTo;
    std::string resentFrom;
  } work;
};

// The summary fields of the first length bytes of a message (not NUL-terminated); texts are
// converted to the ANSI code page. Every field is written: nothing of what fields held before
// is kept but its strings' capacity.
void parseHeaderFields(const char* text, int length, SummaryFields& fields);
// The same into new fields.
SummaryFields parseHeaderFields(const char* text, int length);

// Scans text for the first charset line with a known charset and the first attachment line; an
// output already non-zero is not searched for.
void scanBodyForCharsetAndAttachment(const char* text, int length, int& codePage, int& attachment);

}  // namespace vireo
