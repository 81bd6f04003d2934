#include "tools/dbx_writer/dbx_writer.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

namespace vireo::testing {

namespace {

using namespace vireo::dbx;

// Room for every header field read (the news byte at 9,408 included), rounded up.
constexpr uint32_t kHeaderSize = 0x2500;

// Information record: attributes 1 (direct), 2 (indirect) and 4, so a reader has to scan past
// others to reach 4; the data area holds attribute 2's word and, when indirect, attribute 4's.
constexpr uint32_t kInfoAttributes = 3;
constexpr uint32_t kInfoDataArea = kInfoHeaderSize + kInfoAttributes * kAttributeSize;
constexpr uint32_t kInfoRecordSize = kInfoDataArea + 8;
constexpr uint32_t kInfoIndirectValue = 4;  // where attribute 4's word lies in the data area
constexpr uint32_t kLooseRecordSize = kLooseHeaderSize + kLooseAttributeCount * kAttributeSize;

constexpr uint32_t kDirectValueMax = 0xFFFFFF;
constexpr uint64_t kImageMax = std::numeric_limits<int32_t>::max();  // offsets stay non-negative

constexpr uint8_t kAttributeId1 = 1;
constexpr uint8_t kAttributeId2 = 2;
constexpr uint8_t kAttributeId4 = 4;
constexpr uint32_t kAttribute2Word = 0x01C71870;  // any value: nobody reads it

uint32_t attributeWord(uint8_t id, bool direct, uint32_t value) {
  return uint32_t{static_cast<uint8_t>(id | (direct ? kAttributeDirect : 0))} | (value & kDirectValueMax) << 8;
}

uint32_t align4(uint64_t value) { return static_cast<uint32_t>((value + 3) / 4 * 4); }

struct EntryPlan {
  int message = 0;  // index into specs
  int child = -1;   // node index
  uint32_t childCount = 0;
};

struct NodePlan {
  int parent = -1;
  int depth = 0;
  int leftChild = -1;
  uint32_t leftCount = 0;
  std::vector<EntryPlan> entries;
};

// Splits `indexed` (message indices in added order) into nodes so that an in-order walk gives
// them back in order. Iterative, so a chain-shaped index of any depth costs no stack.
std::vector<NodePlan> planIndex(const std::vector<int>& indexed, int perNode, IndexShape shape) {
  struct Task {
    size_t first;
    size_t count;
    int parent;
    int slot;  // -1: the parent's left child; else the parent's entry
    int depth;
  };
  std::vector<NodePlan> nodes;
  if (indexed.empty()) return nodes;
  const size_t per = static_cast<size_t>(perNode);
  nodes.reserve(indexed.size() / per + 1);
  std::vector<Task> tasks{{0, indexed.size(), -1, -1, 0}};
  std::vector<size_t> subtree;  // sizes of the left subtree and of each entry's subtree
  for (size_t next = 0; next < tasks.size(); ++next) {
    const Task task = tasks[next];
    const int self = static_cast<int>(nodes.size());
    nodes.push_back({task.parent, task.depth, -1, 0, {}});
    if (task.parent >= 0) {
      NodePlan& parent = nodes[static_cast<size_t>(task.parent)];
      if (task.slot < 0) {
        parent.leftChild = self;
      } else {
        parent.entries[static_cast<size_t>(task.slot)].child = self;
      }
    }
    const size_t own = std::min(task.count, per);
    const size_t rest = task.count - own;
    subtree.assign(own + 1, 0);
    if (rest > 0 && shape == IndexShape::chain) {
      subtree[own] = rest;
    } else if (rest > 0) {
      for (size_t j = 0; j <= own; ++j) subtree[j] = rest / (own + 1) + (j < rest % (own + 1) ? 1 : 0);
    }
    NodePlan& node = nodes.back();
    node.entries.resize(own);
    size_t at = task.first;
    if (subtree[0] > 0) tasks.push_back({at, subtree[0], self, -1, task.depth + 1});
    node.leftCount = static_cast<uint32_t>(subtree[0]);
    at += subtree[0];
    for (size_t j = 0; j < own; ++j) {
      node.entries[j].message = indexed[at++];
      node.entries[j].childCount = static_cast<uint32_t>(subtree[j + 1]);
      if (subtree[j + 1] > 0) tasks.push_back({at, subtree[j + 1], self, static_cast<int>(j), task.depth + 1});
      at += subtree[j + 1];
    }
  }
  return nodes;
}

}  // namespace

DbxWriter::DbxWriter(uint32_t kindWord) : kindWord_(kindWord) {}

int DbxWriter::add(const MessageSpec& item) {
  specs_.push_back(item);
  return static_cast<int>(specs_.size()) - 1;
}

int DbxWriter::add(std::string text) {
  MessageSpec item;
  item.text = std::move(text);
  return add(item);
}

void DbxWriter::setEntriesPerNode(int entries) {
  if (entries < 1 || entries > static_cast<int>(kMaxNodeEntries)) {
    throw std::invalid_argument("entries per node must be 1 .. 51");
  }
  entriesPerNode_ = entries;
}

void DbxWriter::setNewsMarker(uint8_t value) { newsMarker_ = value; }
void DbxWriter::setPlacement(BlockPlacement placement) { placement_ = placement; }
void DbxWriter::setIndexShape(IndexShape shape) { shape_ = shape; }

uint32_t DbxWriter::headerSize() { return kHeaderSize; }

uint32_t DbxWriter::chainSlotOffset(int slot) {
  if (slot < 0 || slot >= static_cast<int>(kChainTableSlotCount)) throw std::invalid_argument("no such chain slot");
  return kChainTableFirstSlot + 4 * static_cast<uint32_t>(slot);
}

DbxImage DbxWriter::build() {
  const size_t count = specs_.size();
  std::vector<int> indexed;
  std::vector<size_t> blockCounts(count);
  size_t totalBlocks = 0;
  for (size_t m = 0; m < count; ++m) {
    const MessageSpec& item = specs_[m];
    if (item.dataPerBlock < 1) throw std::invalid_argument("dataPerBlock must be at least 1");
    if (item.listing == MessageSpec::Listing::loose) (void)chainSlotOffset(item.chainSlot);
    if (item.listing == MessageSpec::Listing::index) indexed.push_back(static_cast<int>(m));
    const size_t per = static_cast<size_t>(item.dataPerBlock);
    blockCounts[m] = std::max<size_t>(1, (item.text.size() + per - 1) / per);
    totalBlocks += blockCounts[m];
  }

  // Where everything goes: header, information records, loose records, nodes, then blocks.
  written_.assign(count, {});
  uint64_t at = kHeaderSize;
  for (int m : indexed) {
    written_[static_cast<size_t>(m)].recordOffset = static_cast<uint32_t>(at);
    at += kInfoRecordSize;
  }
  for (size_t m = 0; m < count; ++m) {
    if (specs_[m].listing != MessageSpec::Listing::loose) continue;
    written_[m].recordOffset = static_cast<uint32_t>(at);
    at += kLooseRecordSize;
  }
  const std::vector<NodePlan> plan = planIndex(indexed, entriesPerNode_, shape_);
  std::vector<uint32_t> nodeOffsets(plan.size());
  for (size_t n = 0; n < plan.size(); ++n) {
    nodeOffsets[n] = static_cast<uint32_t>(at);
    at += kNodeHeaderSize + kIndexEntrySize * plan[n].entries.size();
  }

  // Blocks in file order, by placement.
  std::vector<std::pair<int, size_t>> order;  // (message, block number in its chain)
  order.reserve(totalBlocks);
  if (placement_ == BlockPlacement::interleaved) {
    std::vector<int> active(count);
    for (size_t m = 0; m < count; ++m) active[m] = static_cast<int>(m);
    for (size_t round = 0; !active.empty(); ++round) {
      size_t kept = 0;
      for (int m : active) {
        order.emplace_back(m, round);
        if (round + 1 < blockCounts[static_cast<size_t>(m)]) active[kept++] = m;
      }
      active.resize(kept);
    }
  } else {
    for (size_t m = 0; m < count; ++m) {
      for (size_t b = 0; b < blockCounts[m]; ++b) {
        order.emplace_back(static_cast<int>(m), placement_ == BlockPlacement::reversed ? blockCounts[m] - 1 - b : b);
      }
    }
  }
  for (size_t m = 0; m < count; ++m) written_[m].blockOffsets.assign(blockCounts[m], 0);
  for (const auto& [m, b] : order) {
    const MessageSpec& item = specs_[static_cast<size_t>(m)];
    const uint64_t per = static_cast<uint64_t>(item.dataPerBlock);
    const uint64_t first = std::min<uint64_t>(per * b, item.text.size());
    const uint32_t used = static_cast<uint32_t>(std::min<uint64_t>(per, item.text.size() - first));
    const uint32_t sizeField = b == 0 && item.deleted ? kDeletedBlockSize : kNormalBlockSize;
    written_[static_cast<size_t>(m)].blockOffsets[b] = static_cast<uint32_t>(at);
    at += kBlockHeaderSize + align4(std::max(used, sizeField));
    if (at > kImageMax) throw std::length_error("the image would pass 2 GiB");
  }

  DbxImage image;
  image.bytes.assign(static_cast<size_t>(at), 0);

  // File header.
  image.put32(0, kSignature);
  image.put32(kKindWordOffset, kindWord_);
  image.put32(kMessageCountOffset, static_cast<uint32_t>(indexed.size()));
  root_ = plan.empty() ? 0 : nodeOffsets[0];
  image.put32(kRootNodeOffset, root_);
  image.put8(kNewsMarkerOffset, newsMarker_);

  // Data blocks.
  for (size_t m = 0; m < count; ++m) {
    const MessageSpec& item = specs_[m];
    const std::vector<uint32_t>& chain = written_[m].blockOffsets;
    const size_t per = static_cast<size_t>(item.dataPerBlock);
    for (size_t b = 0; b < chain.size(); ++b) {
      const size_t first = std::min(per * b, item.text.size());
      const std::string_view data = std::string_view(item.text).substr(first, per);
      const uint32_t sizeField = b == 0 && item.deleted ? kDeletedBlockSize : kNormalBlockSize;
      const uint32_t next = b + 1 < chain.size() ? chain[b + 1] : 0;
      image.writeBlock(chain[b], sizeField, static_cast<int32_t>(data.size()), next, data);
    }
  }

  // Information records.
  for (int index : indexed) {
    const size_t m = static_cast<size_t>(index);
    WrittenMessage& out = written_[m];
    const uint32_t record = out.recordOffset;
    const uint32_t block = out.blockOffsets.front();
    image.put32(record + kInfoSelf, record);
    image.put8(record + kInfoAttributeCount, static_cast<uint8_t>(kInfoAttributes));
    image.put32(record + kInfoHeaderSize, attributeWord(kAttributeId1, true, static_cast<uint32_t>(m)));
    image.put32(record + kInfoHeaderSize + kAttributeSize, attributeWord(kAttributeId2, false, 0));
    image.put32(record + kInfoDataArea, kAttribute2Word);
    out.attributeOffset = record + kInfoHeaderSize + 2 * kAttributeSize;
    if (specs_[m].indirectAttribute || block > kDirectValueMax) {
      image.put32(out.attributeOffset, attributeWord(kAttributeId4, false, kInfoIndirectValue));
      out.indirectWordOffset = record + kInfoDataArea + kInfoIndirectValue;
      image.put32(out.indirectWordOffset, block);
    } else {
      image.put32(out.attributeOffset, attributeWord(kAttributeId4, true, block));
    }
  }

  // Loose records, chained per slot in added order.
  std::vector<uint32_t> chainEnd(kChainTableSlotCount, 0);
  for (size_t m = 0; m < count; ++m) {
    if (specs_[m].listing != MessageSpec::Listing::loose) continue;
    WrittenMessage& out = written_[m];
    const uint32_t record = out.recordOffset;
    const uint32_t block = out.blockOffsets.front();
    const size_t slot = static_cast<size_t>(specs_[m].chainSlot);
    image.put32(record, record);
    image.put32(chainEnd[slot] == 0 ? chainSlotOffset(specs_[m].chainSlot) : chainEnd[slot] + kLooseNext, record);
    chainEnd[slot] = record;
    const uint32_t attributes = record + kLooseHeaderSize;
    image.put32(attributes, attributeWord(kAttributeId1, true, static_cast<uint32_t>(m)));
    image.put32(attributes + kAttributeSize, attributeWord(kAttributeId2, false, 0));
    out.attributeOffset = attributes + 2 * kAttributeSize;
    if (specs_[m].indirectAttribute) {
      // Readers pass over an indirect attribute 4 in a loose record: this one lists nothing.
      image.put32(out.attributeOffset, attributeWord(kAttributeId4, false, 0));
    } else {
      if (block > kDirectValueMax) throw std::length_error("a loose message's block lies beyond 16 MiB");
      image.put32(out.attributeOffset, attributeWord(kAttributeId4, true, block));
    }
  }

  // Index nodes.
  nodes_.clear();
  nodes_.reserve(plan.size());
  for (size_t n = 0; n < plan.size(); ++n) {
    const NodePlan& node = plan[n];
    const uint32_t self = nodeOffsets[n];
    const uint32_t parent = node.parent < 0 ? 0 : nodeOffsets[static_cast<size_t>(node.parent)];
    image.put32(self + kNodeSelf, self);
    image.put32(self + kNodeLeftChild, node.leftChild < 0 ? 0 : nodeOffsets[static_cast<size_t>(node.leftChild)]);
    image.put32(self + kNodeParent, parent);
    image.put8(self + kNodeEntryCount, static_cast<uint8_t>(node.entries.size()));
    image.put32(self + kNodeLeftCount, node.leftCount);
    uint32_t entry = self + kNodeHeaderSize;
    for (const EntryPlan& e : node.entries) {
      image.put32(entry + kEntryRecord, written_[static_cast<size_t>(e.message)].recordOffset);
      image.put32(entry + kEntryChild, e.child < 0 ? 0 : nodeOffsets[static_cast<size_t>(e.child)]);
      image.put32(entry + kEntryChildCount, e.childCount);
      entry += kIndexEntrySize;
    }
    nodes_.push_back({self, parent, static_cast<int>(node.entries.size()), node.depth});
  }
  return image;
}

}  // namespace vireo::testing
