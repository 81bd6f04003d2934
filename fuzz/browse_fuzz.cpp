// Browsing a base from any bytes: the index, the chain table, the data chains, the headers.
#include "fuzz/base_reading.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vireo::fuzz::openAndReadBase(data, size, 0);
  return 0;
}
