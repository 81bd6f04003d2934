#pragma once
// Opens a base built by the test writer the way the worker does, capturing the messages the
// reader shows.
#include <string>
#include <vector>

#include "platform/message_sink.h"
#include "reader/message_base_reader.h"
#include "reader/worker.h"
#include "tools/dbx_writer/dbx_image.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {

class CapturedMessages {
 public:
  CapturedMessages()
      : previous_(setMessageHandler([this](const std::string& text) { texts.push_back(text); })) {}
  ~CapturedMessages() { setMessageHandler(std::move(previous_)); }
  std::vector<std::string> texts;

 private:
  MessageHandler previous_;
};

struct OpenedBase {
  ScratchDir folder;
  MessageBaseReader reader;
  CapturedMessages shown;

  // Writes the image as base.dbx and opens it (browse, or recovery when recover is set).
  explicit OpenedBase(const DbxImage& image, bool recover = false) {
    image.save(folder.file("base.dbx"));
    reader.baseFolder = folder.path();
    reader.baseName = "base.dbx";
    reader.recoverMode = recover ? 1 : 0;
    reader.openBase(false);
  }

  std::vector<const MessageRecord*> valid() const {
    std::vector<const MessageRecord*> out;
    for (const MessageRecord& r : reader.records)
      if (!r.invalid) out.push_back(&r);
    return out;
  }
  bool showedBadFormat() const {
    for (const std::string& t : shown.texts)
      if (t.starts_with("Bad file format, use message base recovery.")) return true;
    return false;
  }
};

// Fills the table of readers with placeholder bases ("/nowhere/fillerN.dbx") from its current
// count up to count, for tests of the table's limit.
void fillReaderTable(WorkerShared& table, int count);

// The message's bytes as read back through its block list.
std::string readThroughBlocks(const MessageBaseReader& reader, int recordIndex);

}  // namespace vireo::testing
