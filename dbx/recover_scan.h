#pragma once
#include "reader/message_base_reader.h"

namespace vireo::dbx {

// Recovery: ignores the header and the index, finds every data block by its own-offset word,
// joins blocks into messages by their links, and makes one record per chain.
void recoverScan(MessageBaseReader& reader);

}  // namespace vireo::dbx
namespace vireo {
using dbx::recoverScan;
}
