#include "dbx/recover_scan.h"

namespace vireo::dbx {

// Placeholder until the scanner lands.
void recoverScan(MessageBaseReader& reader) { reader.ok = 0; }

}  // namespace vireo::dbx
