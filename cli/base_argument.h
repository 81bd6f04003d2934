#pragma once
#include <string>

#include "reader/message_base_reader.h"

namespace vireo::cli {

// Points the reader at the base file named on the command line. False, after printing one line
// that names the path and the reason, when the file cannot be opened for reading.
bool setBase(MessageBaseReader& reader, const std::string& path);

}  // namespace vireo::cli
