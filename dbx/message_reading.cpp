#include "dbx/message_reading.h"

#include <memory>

#include "dbx/base_file.h"
#include "dbx/failure_boundary.h"
#include "platform/progress_sink.h"

namespace vireo::dbx {
namespace {

// Reads the record's blocks into the buffer until more than limit bytes are in it. A block is
// read only as far as the buffer has room: a stored length larger than any real block (a damaged
// indexed message) can then never write past the buffer, and bytes past the limit are never
// parsed anyway.
bool readMessageStart(BaseFile& file, const BlockList& blocks, int limit, uint8_t* buffer) {
  size_t filled = 0;
  for (const BlockRef& block : blocks.entries) {
    if (block.length < 0) return false;
    const size_t room = kReadBufferSize - filled;
    const size_t take = std::min<size_t>(static_cast<size_t>(block.length), room);
    if (!file.readExact(block.offset, buffer + filled, take)) return false;
    filled += take;
    if (filled > static_cast<size_t>(limit) || filled == kReadBufferSize) break;
  }
  return filled >= static_cast<size_t>(limit);
}

}  // namespace

void readMessages(MessageBaseReader& reader) {
  runInFailureBoundary(reader, [&] {
    reader.validCount = 0;
    auto buffer = std::make_unique<uint8_t[]>(kReadBufferSize);
    BaseFile file;
    if (!file.open(reader.workingPath)) failCannotOpen(reader.workingPath, file.error());

    ProgressSink& progress = reader.progressSink();
    const uint32_t count = static_cast<uint32_t>(reader.count());
    progress.setRange(3 * count);
    progress.setPos(2 * count);

    for (int i = 0; i < reader.count(); ++i) {
      if (reader.stopRequested()) failStopped();
      progress.stepIt();
      MessageRecord& record = reader.records[static_cast<size_t>(i)];
      record.invalid = true;
      if (record.size <= 0 || record.size >= kMaxMessageSize) continue;
      const int limit = record.size >= kParseLimit ? kParseLimit : record.size;
      if (!readMessageStart(file, reader.blockLists[static_cast<size_t>(i)], limit, buffer.get())) continue;
      if (reader.parseHeaders(reinterpret_cast<const char*>(buffer.get()), limit, i) == 0) {
        record.clearTexts();
        continue;
      }
      record.invalid = false;
      record.number = reader.validCount++;
    }
  });
}

}  // namespace vireo::dbx
