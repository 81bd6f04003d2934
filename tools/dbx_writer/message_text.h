#pragma once
// Message texts for tests: CRLF line ends, as stored in real bases.
#include <string>
#include <string_view>

namespace vireo::testing {

// "From: ...\r\nTo: ...\r\nSubject: ...\r\nDate: ...\r\n\r\n<body>" with the given values; an
// empty value leaves its header out.
std::string simpleMessage(std::string_view subject, std::string_view body = "Hello.\r\n",
                          std::string_view from = "Ann <ann@example.org>",
                          std::string_view to = "Bob <bob@example.org>",
                          std::string_view date = "Tue, 05 Dec 2006 10:00:00 +0000");

// Base64 in lines of 76 characters, each ended by lineEnd (the last one too); an empty lineEnd
// gives one unbroken line, as an encoded word needs.
std::string base64Encode(std::string_view bytes, std::string_view lineEnd = "\r\n");

}  // namespace vireo::testing
