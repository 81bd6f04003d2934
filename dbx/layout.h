#pragma once
// The .dbx layout as far as Vireo reads it. All numbers in the file are little-endian; offsets
// are 32-bit and an offset that is negative as a signed value cannot be reached.
#include <cstdint>

namespace vireo::dbx {

// File header.
inline constexpr uint32_t kKindWordOffset = 4;
inline constexpr uint32_t kMessageCountOffset = 196;
inline constexpr uint32_t kRootNodeOffset = 228;
inline constexpr uint32_t kChainTableFirstSlot = 668;
inline constexpr uint32_t kChainTableLastSlot = 8860;  // 2,049 slots, this one included
inline constexpr uint32_t kChainTableSlotCount = (kChainTableLastSlot - kChainTableFirstSlot) / 4 + 1;
inline constexpr uint32_t kUnusedWordOffset = 9404;
inline constexpr uint32_t kNewsMarkerOffset = 9408;   // 0 here marks a mail base as news
inline constexpr int32_t kMaxHeaderMessageCount = 999999;
inline constexpr uint32_t kFileSignature = 0xFE12ADCF;     // not checked when reading a base;
inline constexpr uint32_t kFileHeaderEnd = kNewsMarkerOffset + 4;  // finding one in an image uses it

// Kind words at offset 4, and the base kinds they give.
inline constexpr uint32_t kKindWordMessages = 0x6F74FDC5;
inline constexpr uint32_t kKindWordFolders = 0x6F74FDC6;
inline constexpr uint32_t kKindWordOffline = 0x6F74FDC7;
inline constexpr uint32_t kKindWordPop3uidl = 0x26FE9D30;
inline constexpr int16_t kBaseKindMail = 1;
inline constexpr int16_t kBaseKindNews = 2;
inline constexpr int16_t kBaseKindOther = 7;
inline constexpr int16_t kBaseKindFolders = 11;
inline constexpr int16_t kBaseKindOffline = 12;
inline constexpr int16_t kBaseKindPop3uidl = 13;

// Index node: a 24-byte header, then up to 51 entries of 12 bytes.
inline constexpr uint32_t kNodeHeaderSize = 24;
inline constexpr uint32_t kNodeSelf = 0;
inline constexpr uint32_t kNodeLeftChild = 8;
inline constexpr uint32_t kNodeParent = 12;
inline constexpr uint32_t kNodeEntryCount = 17;
inline constexpr uint32_t kNodeLeftCount = 20;
inline constexpr uint32_t kMaxNodeEntries = 51;
inline constexpr uint32_t kIndexEntrySize = 12;
inline constexpr uint32_t kEntryRecord = 0;
inline constexpr uint32_t kEntryChild = 4;
inline constexpr uint32_t kEntryChildCount = 8;

// Message information record: a 12-byte header, attribute entries, then the data area.
inline constexpr uint32_t kInfoHeaderSize = 12;
inline constexpr uint32_t kInfoSelf = 0;
inline constexpr uint32_t kInfoAttributeCount = 10;  // signed byte

// Loose record of a chain-table chain: a 20-byte header and up to 10 direct attributes.
inline constexpr uint32_t kLooseHeaderSize = 20;
inline constexpr uint32_t kLooseNext = 16;
inline constexpr uint32_t kLooseAttributeCount = 10;

// Attribute entry: id in the low 7 bits of byte 0, direct flag in bit 7, 24-bit value.
inline constexpr uint32_t kAttributeSize = 4;
inline constexpr uint8_t kAttributeDirect = 0x80;
inline constexpr uint8_t kAttributeIdMask = 0x7F;
inline constexpr uint8_t kAttributeDataOffset = 4;

// Data block: a 16-byte header, then the used bytes.
inline constexpr uint32_t kBlockHeaderSize = 16;
inline constexpr uint32_t kBlockSelf = 0;
inline constexpr uint32_t kBlockSizeField = 4;
inline constexpr uint32_t kBlockUsed = 8;
inline constexpr uint32_t kBlockNext = 12;
inline constexpr uint32_t kDeletedBlockSize = 508;  // in a message's first block: deleted
inline constexpr uint32_t kNormalBlockSize = 512;   // in every other block
inline constexpr int32_t kBlockDataMax = 512;       // larger used counts count as 512 ...
inline constexpr int32_t kBlockUsedMax = 528;       // ... up to this; beyond it a chain stops

// Offsets are 32-bit links; from 2^31 on they are negative as signed values, so no link can
// reach them and nothing there is read or scanned.
inline constexpr uint32_t kMaxReachableOffset = 0x7FFFFFFF;
inline constexpr uint64_t kReachableEnd = uint64_t{kMaxReachableOffset} + 1;
inline constexpr bool reachable(uint64_t offset) { return offset <= kMaxReachableOffset; }

// Messages: at most the first 1,000,000 bytes are parsed, read into a buffer with headroom for
// the block that crosses the limit; a chain of this many bytes or more is never a message.
inline constexpr int kParseLimit = 1000000;
inline constexpr int kReadBufferSize = kParseLimit + kBlockUsedMax;  // 1,000,528
inline constexpr int kMaxMessageSize = 100000000;

// Growth steps of the browse's index entries and of recovery's candidates.
inline constexpr int kIndexEntryStep = 500;
inline constexpr int kCandidateStep = 1000;

}  // namespace vireo::dbx
