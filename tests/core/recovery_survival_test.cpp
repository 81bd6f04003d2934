// Recovery keeps what survives: one base, damaged in the ways old disks and careless tools damage
// files. Every message whose blocks all came through must come back byte for byte, and no
// recovered message may join blocks of two different messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <set>

#include "dbx/layout.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

struct Block {
  uint32_t start = 0;  // the header's offset
  uint32_t end = 0;    // one past the last data byte used
  int message = 0;
};

// The base: interleaved blocks, some messages deleted, some only in their blocks (as after a
// compaction that dropped them from the index), sizes from one block to many.
struct SurvivalBase {
  DbxImage image;
  std::vector<std::string> texts;
  std::vector<Block> blocks;  // sorted by start
  std::vector<WrittenNode> nodes;

  SurvivalBase() {
    DbxWriter writer;
    writer.setPlacement(BlockPlacement::interleaved);
    writer.setEntriesPerNode(4);
    std::mt19937 random(77);
    for (int i = 0; i < 120; ++i) {
      MessageSpec item;
      const std::string body = "body of message " + std::to_string(i) + "\r\n" +
                               std::string(random() % 6000, static_cast<char>('a' + i % 26)) + "\r\n";
      item.text = simpleMessage("message " + std::to_string(i), body);
      item.deleted = i % 9 == 4;
      item.listing = i % 11 == 6 ? MessageSpec::Listing::none : MessageSpec::Listing::index;
      item.dataPerBlock = i % 3 == 0 ? 512 : 100 + static_cast<int>(random() % 400);
      texts.push_back(item.text);
      writer.add(item);
    }
    image = writer.build();
    nodes = writer.nodes();
    for (size_t m = 0; m < writer.messages().size(); ++m) {
      const std::vector<uint32_t>& offsets = writer.messages()[m].blockOffsets;
      for (uint32_t at : offsets) {
        const uint32_t used = image.get32(at + dbx::kBlockUsed);
        blocks.push_back({at, at + dbx::kBlockHeaderSize + used, static_cast<int>(m)});
      }
    }
    std::sort(blocks.begin(), blocks.end(), [](const Block& a, const Block& b) { return a.start < b.start; });
  }

  // The message whose block holds this data offset; -1 when none does.
  int ownerOf(uint32_t dataOffset) const {
    auto after = std::upper_bound(blocks.begin(), blocks.end(), dataOffset,
                                  [](uint32_t at, const Block& b) { return at < b.start; });
    if (after == blocks.begin()) return -1;
    const Block& block = *(after - 1);
    return dataOffset < block.end ? block.message : -1;
  }
};

// Byte ranges a damage touched; a message survives when none of its blocks meets one.
using Damage = std::vector<std::pair<uint32_t, uint32_t>>;

std::set<int> survivors(const SurvivalBase& base, const Damage& damage) {
  std::set<int> hurt;
  for (const Block& block : base.blocks)
    for (const auto& [from, to] : damage)
      if (block.start < to && from < block.end) hurt.insert(block.message);
  std::set<int> whole;
  for (int m = 0; m < static_cast<int>(base.texts.size()); ++m)
    if (!hurt.contains(m)) whole.insert(m);
  return whole;
}

void expectSurvivorsRecovered(const SurvivalBase& base, const DbxImage& damaged, const Damage& damage) {
  OpenedBase opened(damaged, /*recover=*/true);
  ASSERT_EQ(opened.reader.ok, 1);
  std::map<std::string, int> recovered;  // text -> times found whole
  for (int r = 0; r < opened.reader.count(); ++r) {
    std::set<int> owners;
    for (const BlockRef& block : opened.reader.blocksOf(static_cast<size_t>(r))) {
      const int owner = base.ownerOf(block.offset);
      if (owner >= 0) owners.insert(owner);
    }
    EXPECT_LE(owners.size(), 1u) << "record " << r << " joins blocks of messages " << *owners.begin() << " and "
                                 << *owners.rbegin();
    ++recovered[readThroughBlocks(opened.reader, r)];
  }
  const std::set<int> whole = survivors(base, damage);
  int missing = 0;
  for (int m : whole) {
    if (!recovered.contains(base.texts[static_cast<size_t>(m)])) {
      ADD_FAILURE() << "message " << m << " survived the damage but was not recovered whole";
      if (++missing == 5) break;
    }
  }
}

TEST(RecoverySurvival, EveryUndamagedMessageComesBackWholeAndAlone) {
  const SurvivalBase base;
  const uint32_t size = base.image.size();
  const uint32_t header = DbxWriter::headerSize();
  auto zeroPages = [&](int percent) {
    return [&, percent](DbxImage& image, std::mt19937& random) {
      Damage d;
      for (uint32_t page = 0; page < (size + 4095) / 4096; ++page) {
        if (static_cast<int>(random() % 100) >= percent) continue;
        const uint32_t end = std::min(size, page * 4096 + 4096);
        for (uint32_t at = page * 4096; at < end; ++at) image.put8(at, 0);
        d.emplace_back(page * 4096, end);
      }
      return d;
    };
  };
  struct Case {
    const char* name;
    std::function<Damage(DbxImage&, std::mt19937&)> damage;
  };
  const std::vector<Case> cases = {
      {"index destroyed",
       [&](DbxImage& image, std::mt19937& random) {
         Damage d;
         const uint32_t nodeSize = dbx::kNodeHeaderSize + dbx::kMaxNodeEntries * dbx::kIndexEntrySize;
         for (const WrittenNode& node : base.nodes) {
           for (uint32_t at = node.offset; at < node.offset + nodeSize && at < image.size(); ++at)
             image.put8(at, static_cast<uint8_t>(random()));
           d.emplace_back(node.offset, node.offset + nodeSize);
         }
         return d;
       }},
      {"header wiped",
       [&](DbxImage& image, std::mt19937&) {
         for (uint32_t at = 0; at < header; ++at) image.put8(at, 0);
         return Damage{{0, header}};
       }},
      {"truncated at 60%",
       [&](DbxImage& image, std::mt19937&) {
         const uint32_t keep = size / 10 * 6;
         image.truncate(keep);
         return Damage{{keep, size}};
       }},
      {"1% of pages zeroed", zeroPages(1)},
      {"5% of pages zeroed", zeroPages(5)},
      {"1% of sectors random",
       [&](DbxImage& image, std::mt19937& random) {
         Damage d;
         for (uint32_t sector = 0; sector < size / 512; ++sector) {
           if (random() % 100 != 0) continue;
           for (uint32_t at = sector * 512; at < sector * 512 + 512; ++at) image.put8(at, static_cast<uint8_t>(random()));
           d.emplace_back(sector * 512, sector * 512 + 512);
         }
         return d;
       }},
  };
  for (const Case& c : cases) {
    for (unsigned seed : {1u, 2u, 3u}) {
      SCOPED_TRACE(std::string(c.name) + ", seed " + std::to_string(seed));
      std::mt19937 random(seed);
      DbxImage damaged = base.image;
      const Damage damage = c.damage(damaged, random);
      expectSurvivorsRecovered(base, damaged, damage);
    }
  }
}

}  // namespace
}  // namespace vireo::testing
