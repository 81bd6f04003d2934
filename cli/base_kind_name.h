#pragma once
// The name vireo-cli prints for a base kind: mail, news, the three system kinds, other.

namespace vireo::cli {

const char* baseKindName(int kind);

}  // namespace vireo::cli
