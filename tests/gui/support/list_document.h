#pragma once
// A window-side document on a private scratch folder, with message tables put straight into its
// readers, for the message list's tests.
#include <cstdint>
#include <string>
#include <vector>

#include "table/message_record.h"
#include "tools/dbx_writer/scratch_dir.h"
#include "views/doc_view.h"
#include "views/vireo_doc.h"

namespace vireo::testing {

DocumentSetup scratchSetup(const ScratchDir& dir);

struct ScratchDocument {
  ScratchDir dir;  // first: the document's folders live in it
  views::CVireoDoc doc{scratchSetup(dir)};

  // Adds a reader with the given state and table; returns its index.
  int addBase(int state, std::vector<MessageRecord> records, bool browseFailed = false);
  // Adds it and makes it the selected base.
  int selectNewBase(int state, std::vector<MessageRecord> records) {
    doc.currentReader = addBase(state, std::move(records));
    return doc.currentReader;
  }
};

// A valid record; number is its position among valid records.
MessageRecord validRecord(int number, std::string subject, std::string from = "Ann", uint64_t time = 0);
MessageRecord invalidRecord();

// A view that notes the hints it is sent.
struct HintRecorder : views::CView {
  std::vector<int> hints;
  void OnUpdate(views::CView*, int hint) override { hints.push_back(hint); }
  QWidget* widget() override { return nullptr; }
};

}  // namespace vireo::testing
