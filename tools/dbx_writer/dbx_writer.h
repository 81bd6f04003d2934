#pragma once
// Lays out a whole .dbx base: the file header (kind word, message count, root offset, chain
// table), an index tree of any depth, information records, loose records, and each message's
// chain of data blocks. After build(), messages() and nodes() say where everything went, so a
// test can damage any of it through the image.
#include <cstdint>
#include <string>
#include <vector>

#include "dbx/layout.h"
#include "tools/dbx_writer/dbx_image.h"

namespace vireo::testing {

struct MessageSpec {
  std::string text;  // the message's stored bytes
  enum class Listing { index, loose, none };
  Listing listing = Listing::index;  // none: only its blocks are written (recovery finds it)
  bool deleted = false;              // 508 in the first block's size field
  bool indirectAttribute = false;    // attribute 4 through the record's data area
  int dataPerBlock = 512;            // data bytes per block
  int chainSlot = 0;                 // loose: chain-table slot, 0 .. 2048
};

struct WrittenMessage {
  uint32_t recordOffset = 0;           // information or loose record; 0 for Listing::none
  std::vector<uint32_t> blockOffsets;  // block header offsets, in chain order
  // Where attribute 4 went, for tests that damage it: the attribute entry itself (0 for
  // Listing::none), and, when the attribute is indirect, the word that holds the block offset.
  uint32_t attributeOffset = 0;
  uint32_t indirectWordOffset = 0;  // 0 when attribute 4 is direct
};

struct WrittenNode {
  uint32_t offset = 0;
  uint32_t parent = 0;
  int entries = 0;
  int depth = 0;  // root 0
};

enum class BlockPlacement {
  contiguous,   // each message's blocks in chain order, one message after another
  interleaved,  // blocks of consecutive messages alternate in the file
  reversed,     // each message's later blocks lie before its earlier ones
};

enum class IndexShape {
  balanced,  // every node full where possible, subtrees split evenly: depth grows as a logarithm
  chain,     // each node's last entry leads to the rest: depth = messages / entriesPerNode
};

class DbxWriter {
 public:
  explicit DbxWriter(uint32_t kindWord = dbx::kKindWordMessages);

  int add(const MessageSpec& item);  // returns the message's index
  int add(std::string text);         // an indexed message with default layout

  void setEntriesPerNode(int entries);  // 1 .. 51; small values force deep trees
  void setNewsMarker(uint8_t value);    // the byte at 9,408 (default 1: a mail base)
  void setPlacement(BlockPlacement placement);
  void setIndexShape(IndexShape shape);  // default balanced

  // Layout facts for hand-made files. Records, nodes and blocks all lie after the header;
  // everything up to headerSize() is the file header.
  static constexpr uint32_t kSignature = 0xFE12ADCF;
  static uint32_t headerSize();
  static uint32_t chainSlotOffset(int slot);  // file offset of a chain-table slot

  // Lays out every message added so far; may be called again after more add()s. Throws
  // std::invalid_argument for a item out of range (dataPerBlock < 1, chainSlot outside the
  // table) and std::length_error when the image would pass 2 GiB (offsets must stay
  // non-negative) or a loose message's first block lies beyond a direct attribute's 16 MiB.
  DbxImage build();

  const std::vector<WrittenMessage>& messages() const { return written_; }
  const std::vector<WrittenNode>& nodes() const { return nodes_; }
  uint32_t rootOffset() const { return root_; }

 private:
  uint32_t kindWord_;
  int entriesPerNode_ = 51;
  uint8_t newsMarker_ = 1;
  BlockPlacement placement_ = BlockPlacement::contiguous;
  IndexShape shape_ = IndexShape::balanced;
  std::vector<MessageSpec> specs_;
  std::vector<WrittenMessage> written_;
  std::vector<WrittenNode> nodes_;
  uint32_t root_ = 0;
};

}  // namespace vireo::testing
