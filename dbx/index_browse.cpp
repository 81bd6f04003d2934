#include "dbx/index_browse.h"

namespace vireo::dbx {

// Placeholder until the browse lands.
void browseIndex(MessageBaseReader& reader) { reader.ok = 0; }

}  // namespace vireo::dbx
