#include "tools/dbx_writer/dbx_writer.h"

// Placeholder: the full layout lands next.
namespace vireo::testing {

DbxWriter::DbxWriter(uint32_t kindWord) : kindWord_(kindWord) {}
int DbxWriter::add(const MessageSpec& spec) {
  specs_.push_back(spec);
  return static_cast<int>(specs_.size()) - 1;
}
int DbxWriter::add(std::string text) {
  MessageSpec spec;
  spec.text = std::move(text);
  return add(spec);
}
void DbxWriter::setEntriesPerNode(int entries) { entriesPerNode_ = entries; }
void DbxWriter::setNewsMarker(uint8_t value) { newsMarker_ = value; }
void DbxWriter::setPlacement(BlockPlacement placement) { placement_ = placement; }
DbxImage DbxWriter::build() { return {}; }

}  // namespace vireo::testing
