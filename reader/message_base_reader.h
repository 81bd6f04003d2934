#pragma once
// One message base known to the document, with the table of messages its last operation found.
// The table is written only by the operation that fills it (on the worker thread); everyone else
// reads it after the operation has ended.
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/failure_reason.h"
#include "platform/user_file_writer.h"
#include "reader/image_origin.h"
#include "table/message_table.h"

namespace vireo {

class ManualResetEvent;
class ProgressSink;

// A reader's state: what its table holds.
inline constexpr int kStateNotRead = 0;
inline constexpr int kStateBrowsed = 1;
inline constexpr int kStateRecovered = 2;
// How openBase reads the base.
inline constexpr int kRecoverModeBrowse = 0;
inline constexpr int kRecoverModeRecover = 1;
// ok: whether the last operation was sound.
inline constexpr int kOperationNotOk = 0;
inline constexpr int kOperationOk = 1;

// A flag that one thread writes while another reads it; a copy takes its value.
class SharedFlag {
 public:
  SharedFlag(bool value = false) : value_(value) {}  // NOLINT: used as a bool
  SharedFlag(const SharedFlag& other) : value_(other.value_.load()) {}
  SharedFlag& operator=(const SharedFlag& other) {
    value_.store(other.value_.load());
    return *this;
  }
  SharedFlag& operator=(bool value) {
    value_.store(value);
    return *this;
  }
  operator bool() const { return value_.load(); }  // NOLINT: read as a bool

 private:
  std::atomic<bool> value_;
};

class MessageBaseReader : public MessageTable {
 public:
  MessageBaseReader();

  void initialise();   // empty table, state 0; browseFailed and removed survive
  void destroy();      // frees the table
  void resetReader();  // destroy, then initialise

  // The operation: optionally copies the base to "<workingFolder>/<readerNumber>.dbc", then browses
  // (recoverMode 0) or recovers (recoverMode 1), then reads every message's headers. ok tells;
  // what went wrong has been shown.
  void openBase(bool copyFirst);

  // Fills the summary fields of records[recordIndex] from the first length bytes of its message;
  // returns the header lines read, 0 when the bytes are not a message.
  int parseHeaders(const char* text, int length, int recordIndex);
  // The same into any record: recovery parses before the record is in the table.
  static int parseHeadersInto(const char* text, int length, MessageRecord& record);

  // Sets baseKind from the base file itself (not the working copy); unchanged if it cannot be read.
  void detectBaseKind();

  // Writes the stored bytes of records[recordIndex], unchanged, to "<folder>/<number>.<extension>",
  // or "<folder>/<prefix>_<number>.<extension>" when prefix is not -1. A file of that name is
  // never replaced: with the same bytes it is left as it is, otherwise the message goes beside it
  // as "<number> (2).<extension>" (UserFileWriter). Returns 0, or -1 when the message could not be
  // read or written whole; then nothing is left under a final name, and failure (when given) says
  // what and where.
  int writeMessageFile(const std::string& folder, int recordIndex, const std::string& extension, int prefix,
                       FailureReason* failure = nullptr) const;

  // Copies the base file itself (not the working copy) into destinationFolder, keeping a file of
  // the same name as writeMessageFile does ("Inbox (2).dbx"); placed, when given, receives the
  // final name. progress, when given, is asked after each piece (CopyOptions); when it stops the
  // copy nothing is left and nothing shown. Returns 0; on failure shows "Cannot copy dbx file",
  // sets ok = 0, returns -1.
  int copyMessageBase(const std::string& destinationFolder, PlacedFile* placed = nullptr,
                      const std::function<bool(uint64_t copied, uint64_t total)>& progress = {});

  std::string basePath() const;  // "<baseFolder>/<baseName>"

  // Whether the table holds messages to show. The state is read first: it stays 0 while the
  // worker fills the table, so the count is read only once the table is whole.
  bool hasMessagesToShow() const { return state != kStateNotRead && count() != 0; }

  std::string baseName;
  std::string baseFolder;
  std::string workingPath;
  int16_t baseKind = 0;

  int currentRow = 0;
  int readerNumber = 0;
  int state = kStateNotRead;
  // Written by the worker during a browse while the window may read it (the list's notice).
  SharedFlag browseFailed = false;
  bool removed = false;
  // Recovery could not read the base's index, so no message is marked as not in it.
  bool indexUnreadable = false;
  // Set for a base found in a disk image (its file is then Vireo's own, in the working folder).
  std::optional<ImageOrigin> fromImage;
  int ok = kOperationNotOk;
  int recoverMode = kRecoverModeBrowse;
  // Set by the worker before each operation: the bar to drive, the stop request to poll, and the
  // folder where working copies are made.
  ProgressSink* progress = nullptr;
  ManualResetEvent* stopEvent = nullptr;
  std::string workingFolder;
};

}  // namespace vireo
