#pragma once

namespace vireo::cli {

// "mail", "news", "folders (system)", ... for a base kind; "other" for any kind not known.
const char* baseKindName(int kind);

}  // namespace vireo::cli
