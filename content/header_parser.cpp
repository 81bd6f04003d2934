#include "content/header_parser.h"

#include <cstring>

namespace vireo {

// Placeholder until the header parser lands: counts CRLF lines.
int parseHeaders(const char* text, int length, MessageRecord& record) {
  int lines = 0;
  for (int i = 0; i + 1 < length - 3; ++i)
    if (text[i] == '\r' && text[i + 1] == '\n') ++lines;
  record.subject = "(No subject)";
  return lines;
}

void scanBodyForCharsetAndAttachment(const char*, int, int&, int&) {}

}  // namespace vireo
