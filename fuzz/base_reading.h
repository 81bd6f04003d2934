#pragma once
// Opens fuzz bytes as a base (browse or recovery), then touches every result a view would: the
// fields of each record and the bytes behind each block list.
#include <cstddef>
#include <cstdint>

namespace vireo::fuzz {

void openAndReadBase(const uint8_t* data, size_t size, int recoverMode);

}  // namespace vireo::fuzz
