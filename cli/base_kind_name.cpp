#include "cli/base_kind_name.h"

#include "dbx/layout.h"

namespace vireo::cli {

const char* baseKindName(int kind) {
  switch (kind) {
    case dbx::kBaseKindMail: return "mail";
    case dbx::kBaseKindNews: return "news";
    case dbx::kBaseKindFolders: return "folders (system)";
    case dbx::kBaseKindOffline: return "offline (system)";
    case dbx::kBaseKindPop3uidl: return "pop3uidl (system)";
    default: return "other";
  }
}

}  // namespace vireo::cli
