#pragma once
#include "reader/message_record.h"

namespace vireo {

// Fills from, to, subject, dateText, time, codePage and attachment of the record from the first
// length bytes of a message (not NUL-terminated). Returns the number of lines read; 0 means the
// bytes are not a message.
int parseHeaders(const char* text, int length, MessageRecord& record);

// Scans text for the first charset line with a known charset and the first attachment line; an
// output already non-zero is not searched for.
void scanBodyForCharsetAndAttachment(const char* text, int length, int& codePage, int& attachment);

}  // namespace vireo
