#include "tests/core/hive_maker.h"

#include <hivex.h>

#include <cstdint>
#include <cstring>
#include <fstream>

namespace vireo::testing {
namespace {

void put32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void put16(std::string& b, size_t at, uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}

}  // namespace

void writeEmptyHive(const std::string& path) {
  constexpr size_t kBinStart = 0x1000;
  constexpr size_t kBinSize = 0x1000;
  std::string file(kBinStart + kBinSize, '\0');
  // Base block.
  std::memcpy(file.data(), "regf", 4);
  put32(file, 0x04, 1);  // the two sequence numbers agree: the hive was closed cleanly
  put32(file, 0x08, 1);
  put32(file, 0x14, 1);  // version 1.3
  put32(file, 0x18, 3);
  put32(file, 0x20, 1);
  put32(file, 0x24, 0x20);      // root cell, relative to the first bin
  put32(file, 0x28, kBinSize);  // bytes of bins
  put32(file, 0x2C, 1);
  uint32_t checksum = 0;
  for (size_t at = 0; at < 0x1FC; at += 4) {
    uint32_t word = 0;
    std::memcpy(&word, file.data() + at, 4);
    checksum ^= word;
  }
  put32(file, 0x1FC, checksum);

  // The bin.
  std::memcpy(file.data() + kBinStart, "hbin", 4);
  put32(file, kBinStart + 0x04, 0);
  put32(file, kBinStart + 0x08, kBinSize);

  // Root key cell at 0x20: "nk" with a four-letter name.
  const size_t nk = kBinStart + 0x20;
  constexpr uint32_t kNkSize = 0x58;
  put32(file, nk, static_cast<uint32_t>(-static_cast<int32_t>(kNkSize)));
  std::memcpy(file.data() + nk + 4, "nk", 2);
  put16(file, nk + 4 + 0x02, 0x2C);        // root entry, no delete, ASCII name
  put32(file, nk + 4 + 0x10, 0);           // parent
  put32(file, nk + 4 + 0x1C, 0xFFFFFFFF);  // no subkey list
  put32(file, nk + 4 + 0x20, 0xFFFFFFFF);
  put32(file, nk + 4 + 0x28, 0xFFFFFFFF);  // no value list
  const uint32_t skOffset = 0x20 + kNkSize;
  put32(file, nk + 4 + 0x2C, skOffset);
  put32(file, nk + 4 + 0x30, 0xFFFFFFFF);  // no class name
  put16(file, nk + 4 + 0x48, 4);
  std::memcpy(file.data() + nk + 4 + 0x4C, "ROOT", 4);

  // Security cell: an empty self-relative descriptor, linked to itself, used by the root.
  const size_t sk = kBinStart + skOffset;
  constexpr uint32_t kSkSize = 0x30;
  put32(file, sk, static_cast<uint32_t>(-static_cast<int32_t>(kSkSize)));
  std::memcpy(file.data() + sk + 4, "sk", 2);
  put32(file, sk + 4 + 0x04, skOffset);
  put32(file, sk + 4 + 0x08, skOffset);
  put32(file, sk + 4 + 0x0C, 1);   // references
  put32(file, sk + 4 + 0x10, 20);  // descriptor length
  file[sk + 4 + 0x14] = 1;         // revision
  put16(file, sk + 4 + 0x16, 0x8000);

  // The rest of the bin: one free cell.
  const size_t rest = sk + kSkSize;
  put32(file, rest, static_cast<uint32_t>(kBinStart + kBinSize - rest));

  std::ofstream(path, std::ios::binary).write(file.data(), static_cast<std::streamsize>(file.size()));
}

bool writeHive(const std::string& path, const std::vector<HiveKeySpec>& keys) {
  writeEmptyHive(path);
  hive_h* h = hivex_open(path.c_str(), HIVEX_OPEN_WRITE);
  if (!h) return false;
  bool ok = true;
  for (const HiveKeySpec& entry : keys) {
    hive_node_h node = hivex_root(h);
    size_t at = 0;
    while (ok && at < entry.path.size()) {
      size_t cut = entry.path.find('\\', at);
      if (cut == std::string::npos) cut = entry.path.size();
      const std::string step = entry.path.substr(at, cut - at);
      at = cut + 1;
      hive_node_h child = hivex_node_get_child(h, node, step.c_str());
      if (child == 0) child = hivex_node_add_child(h, node, step.c_str());
      ok = child != 0;
      node = child;
    }
    if (!ok) break;
    std::vector<hive_set_value> values;
    std::vector<std::string> names;
    names.reserve(entry.values.size());
    for (const auto& [name, value] : entry.values) {
      names.push_back(name);
      hive_set_value set{names.back().data(), hive_t_none, value.data.size(), const_cast<char*>(value.data.data())};
      // Any 32-bit type, as a damaged or foreign hive may hold: stored without passing through
      // the enum, which cannot represent values beyond its listed ones.
      static_assert(sizeof(set.t) == sizeof(value.type));
      std::memcpy(&set.t, &value.type, sizeof value.type);
      values.push_back(set);
    }
    if (!values.empty()) ok = hivex_node_set_values(h, node, values.size(), values.data(), 0) == 0;
  }
  if (ok) ok = hivex_commit(h, nullptr, 0) == 0;
  hivex_close(h);
  return ok;
}

}  // namespace vireo::testing
