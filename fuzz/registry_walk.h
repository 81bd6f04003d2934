#pragma once
// Visits every key and value of a registry hive the way discovery does (depth first, each value
// read as text), with a bound on the keys visited: a damaged hive may hold a loop of keys.
#include "platform/registry_key.h"

namespace vireo::fuzz {

void walkEveryKey(const RegistryKey& root);

}  // namespace vireo::fuzz
