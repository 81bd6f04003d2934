// Recovering a base from any bytes: the scan for blocks, the joining of chains, the headers.
#include "fuzz/base_reading.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vireo::fuzz::openAndReadBase(data, size, 1);
  return 0;
}
