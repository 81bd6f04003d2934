#pragma once
#include "reader/message_base_reader.h"

namespace vireo::dbx {

// Walks the base's index from the file header, adds the loose records of its chain table, and
// builds each message's block list. Sets ok and browseFailed; shows "Bad file format, use message
// base recovery." when the index could not be read.
void browseIndex(MessageBaseReader& reader);

}  // namespace vireo::dbx
namespace vireo {
using dbx::browseIndex;
}
