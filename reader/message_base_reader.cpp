#include "reader/message_base_reader.h"

#include <new>

#include "content/header_parser.h"
#include "dbx/file_header.h"
#include "dbx/index_browse.h"
#include "dbx/message_reading.h"
#include "dbx/recover_scan.h"
#include "dbx/recovered_marks.h"
#include "platform/file_copy.h"
#include "platform/message_sink.h"
#include "platform/out_of_memory.h"
#include "reader/operation_messages.h"

namespace vireo {
namespace {
// The bar's range while the base is copied before it is read.
constexpr uint32_t kCopyProgressRange = 1000;
}  // namespace

MessageBaseReader::MessageBaseReader() {
  browseFailed = false;
  removed = false;
  initialise();
}

void MessageBaseReader::initialise() {
  capacity = kRecordTableStep;
  clearTable();
  validCount = 0;
  currentRow = 0;
  ok = kOperationNotOk;
  recoverMode = kRecoverModeBrowse;
  state = kStateNotRead;
}

void MessageBaseReader::destroy() {
  releaseTable();
}

void MessageBaseReader::resetReader() {
  destroy();
  initialise();
}

std::string MessageBaseReader::basePath() const { return baseFolder + "/" + baseName; }

void MessageBaseReader::detectBaseKind() {
  if (const std::optional<int16_t> kind = dbx::detectBaseKind(basePath())) baseKind = *kind;
}

int MessageBaseReader::parseHeaders(const char* text, int length, int recordIndex) {
  return parseHeadersInto(text, length, records[static_cast<size_t>(recordIndex)]);
}

int MessageBaseReader::parseHeadersInto(const char* text, int length, MessageRecord& record) {
  // One set of fields per parsing thread, reused: its strings keep their capacity, so a parse
  // allocates only the record's one buffer of texts.
  thread_local SummaryFields fields;
  parseHeaderFields(text, length, fields);
  record.setTexts(fields.from, fields.to, fields.subject, fields.dateText);
  record.time = fields.time;
  record.codePage = fields.codePage;
  record.attachment = fields.attachment;
  const int lines = fields.lines;
  // A rare value of many folded lines does not keep its room for the thread's life.
  constexpr size_t kKeptRoom = 64 * 1024;
  if (fields.from.capacity() + fields.to.capacity() + fields.subject.capacity() + fields.dateText.capacity() +
          fields.work.value.capacity() + fields.work.resentTo.capacity() + fields.work.resentFrom.capacity() >
      kKeptRoom)
    fields = SummaryFields();
  return lines;
}

void MessageBaseReader::openBase(bool copyFirst) {
  if (copyFirst) {
    workingPath = workingFolder + "/" + std::to_string(readerNumber) + ".dbc";
    // The working copy is Vireo's own: a copy left by an earlier open is replaced.
    CopyOptions options;
    options.existing = ExistingName::replace;
    // A large base takes a while to copy: the bar follows it (a range of 1,000) and says so,
    // and Stop ends it between pieces.
    ProgressSink& bar = progress ? *progress : NullProgress::instance();
    bar.setCopying(true);
    bar.setRange(kCopyProgressRange);
    bar.setPos(0);
    options.progress = [this, &bar](uint64_t copied, uint64_t total) {
      bar.setPos(total == 0 ? kCopyProgressRange : static_cast<uint32_t>(copied * kCopyProgressRange / total));
      return !(stopEvent && stopEvent->isSet());
    };
    const std::optional<FailureReason> failure = copyFile(basePath(), workingPath, options);
    bar.setPos(0);
    bar.setCopying(false);
    if (failure) {
      // A stop says nothing, as a stopped browse does.
      if (failure->what != kCopyStopped) showMessageBox("Cannot copy dbx file\n" + describeFailure(*failure));
      ok = kOperationNotOk;
      return;
    }
  } else {
    workingPath = basePath();
  }
  try {
    clearTable();
    records.reserve(static_cast<size_t>(capacity));
    listEnds.reserve(static_cast<size_t>(capacity));
  } catch (const std::bad_alloc&) {
    showOutOfMemory();
    ok = kOperationNotOk;
    return;
  }

  const dbx::OperationControl control{stopEvent, progress};
  dbx::OperationOutcome outcome;
  dbx::SeenRecordEnds seen;  // what recovery saw, so that its marks read only the rest
  if (recoverMode == kRecoverModeRecover) {
    outcome = dbx::recoverMessages(workingPath, *this, control, &MessageBaseReader::parseHeadersInto, &seen);
  } else {
    // The headers are parsed as the browse walks the chains: the file is read once.
    browseFailed = false;
    dbx::BrowseResult browse =
        dbx::browseIndex(workingPath, *this, control, dbx::RecordParser(&MessageBaseReader::parseHeadersInto));
    browseFailed = browse.browseFailed;
    outcome = browse.outcome;
  }
  indexUnreadable = false;
  if (outcome.ok() && recoverMode == kRecoverModeRecover) {
    // Fragments and what the index does not list, from one read of each record's few bytes. The
    // index is read only to compare: its bar and failures are not the user's concern.
    indexUnreadable = !dbx::markRecovered(workingPath, *this, dbx::OperationControl{stopEvent, nullptr}, nullptr, &seen);
  }
  ok = outcome.ok() ? kOperationOk : kOperationNotOk;
  const bool browsing = recoverMode != kRecoverModeRecover;
  // A browse that could not read the index says so once, after any other message.
  if (!(browsing && browseFailed && outcome.end == dbx::OperationOutcome::End::badFormat))
    showOperationFailure(outcome, workingPath);
  if (browsing && browseFailed) showBadFormat(outcome);
}

}  // namespace vireo
